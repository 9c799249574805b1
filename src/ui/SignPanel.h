#pragma once

#include <QLabel>

// A small raised panel showing a sign ("+" or "-") that reacts to clicks; the owning dialog
// decides what a click does to the text.
class SignPanel : public QLabel {
    Q_OBJECT
  public:
    explicit SignPanel(QWidget* parent = nullptr);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
