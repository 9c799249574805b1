#pragma once

#include <QPen>
#include <QWidget>

// A horizontal line drawn with the pen being edited, so the operator sees width and colour
// before committing them.
class LineSample : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLength = 73;

    explicit LineSample(QWidget* parent = nullptr);

    void setPen(int width, const QColor& color);
    QPen pen() const { return m_pen; }

    QSize sizeHint() const override { return {kLength, 17}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPen m_pen;
};
