#pragma once

#include <qcustomplot.h>

// A QCustomPlot whose layers paint into images instead of pixmaps, so that a series can
// blend its antialiased pixels straight into its layer: an image draw per strip of them
// costs more than computing them.
class ImagePlot : public QCustomPlot {
    Q_OBJECT
  public:
    using QCustomPlot::QCustomPlot;

  protected:
    // Runs first in every full replot, before the layers are handed their buffers.
    void updateLayout() override;
};
