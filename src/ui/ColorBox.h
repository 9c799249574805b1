#pragma once

#include <QComboBox>
#include <cstdint>

// A drop-down colour picker over stored colour values: the standard colours, a few extended
// ones and the system colours, each entry a swatch and a name. A value that is not offered
// shows no selection.
class ColorBox : public QComboBox {
    Q_OBJECT
  public:
    explicit ColorBox(QWidget* parent = nullptr);

    // ColorValue::kNone while nothing is selected.
    int32_t colorValue() const;
    void setColorValue(int32_t value);
};
