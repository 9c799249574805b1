#include "ColorBox.h"

#include "ColorValue.h"

#include <QPainter>
#include <QPixmap>

namespace {

struct Entry {
    uint32_t value;
    const char* name;
};

constexpr Entry kColors[] = {
    {0x000000, "黑色"},
    {0x000080, "栗色"},
    {0x008000, "绿色"},
    {0x008080, "橄榄色"},
    {0x800000, "藏青色"},
    {0x800080, "紫色"},
    {0x808000, "蓝绿色"},
    {0x808080, "灰色"},
    {0xC0C0C0, "银色"},
    {0x0000FF, "红色"},
    {0x00FF00, "酸橙色"},
    {0x00FFFF, "黄色"},
    {0xFF0000, "蓝色"},
    {0xFF00FF, "紫红色"},
    {0xFFFF00, "浅绿色"},
    {0xFFFFFF, "白色"},
    {0xC0DCC0, "美元绿"},
    {0xF0CAA6, "天蓝色"},
    {0xF0FBFF, "乳白色"},
    {0xA4A0A0, "中灰色"},
    // Index 25 has no system colour of its own, so it is not offered.
    {ColorValue::kSystemFlag | 0, "滚动条"},
    {ColorValue::kSystemFlag | 1, "桌面"},
    {ColorValue::kSystemFlag | 2, "活动标题栏"},
    {ColorValue::kSystemFlag | 3, "非活动标题栏"},
    {ColorValue::kSystemFlag | 4, "菜单"},
    {ColorValue::kSystemFlag | 5, "窗口"},
    {ColorValue::kSystemFlag | 6, "窗口边框"},
    {ColorValue::kSystemFlag | 7, "菜单文本"},
    {ColorValue::kSystemFlag | 8, "窗口文本"},
    {ColorValue::kSystemFlag | 9, "标题文本"},
    {ColorValue::kSystemFlag | 10, "活动边框"},
    {ColorValue::kSystemFlag | 11, "非活动边框"},
    {ColorValue::kSystemFlag | 12, "应用程序工作区"},
    {ColorValue::kSystemFlag | 13, "突出显示"},
    {ColorValue::kSystemFlag | 14, "突出显示文本"},
    {ColorValue::kSystemFlag | 15, "按钮表面"},
    {ColorValue::kSystemFlag | 16, "按钮阴影"},
    {ColorValue::kSystemFlag | 17, "灰色文本"},
    {ColorValue::kSystemFlag | 18, "按钮文本"},
    {ColorValue::kSystemFlag | 19, "非活动标题文本"},
    {ColorValue::kSystemFlag | 20, "按钮高亮"},
    {ColorValue::kSystemFlag | 21, "三维深阴影"},
    {ColorValue::kSystemFlag | 22, "三维亮色"},
    {ColorValue::kSystemFlag | 23, "提示文本"},
    {ColorValue::kSystemFlag | 24, "提示背景"},
    {ColorValue::kSystemFlag | 26, "热跟踪"},
    {ColorValue::kSystemFlag | 27, "渐变活动标题栏"},
    {ColorValue::kSystemFlag | 28, "渐变非活动标题栏"},
    {ColorValue::kSystemFlag | 29, "菜单高亮"},
    {ColorValue::kSystemFlag | 30, "菜单栏"},
};

QIcon Swatch(const QColor& color) {
    QPixmap pixmap(16, 12);
    pixmap.fill(color);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

} // namespace

ColorBox::ColorBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setMaxVisibleItems(16);
    for (const Entry& entry : kColors) {
        const int32_t value = int32_t(entry.value);
        addItem(Swatch(ColorValue::ToQColor(value)), QString::fromUtf8(entry.name), value);
    }
}

int32_t ColorBox::colorValue() const {
    return currentIndex() < 0 ? ColorValue::kNone : currentData().toInt();
}

void ColorBox::setColorValue(int32_t value) {
    setCurrentIndex(findData(value));
}
