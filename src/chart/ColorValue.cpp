#include "ColorValue.h"

#include <QGuiApplication>
#include <QPalette>

namespace ColorValue {

namespace {

// System colour indices in the order the stored values number them.
QColor SystemColor(int index) {
    const QPalette pal = QGuiApplication::palette();
    switch (index) {
    case 0:
        return pal.color(QPalette::Button); // scroll bar
    case 1:
        return QColor(0x3A, 0x6E, 0xA5); // desktop
    case 2:
        return pal.color(QPalette::Highlight); // active caption
    case 3:
        return pal.color(QPalette::Mid); // inactive caption
    case 4:
        return pal.color(QPalette::Window); // menu
    case 5:
        return pal.color(QPalette::Base); // window
    case 6:
        return pal.color(QPalette::Shadow); // window frame
    case 7:
        return pal.color(QPalette::WindowText); // menu text
    case 8:
        return pal.color(QPalette::Text); // window text
    case 9:
        return pal.color(QPalette::HighlightedText); // caption text
    case 10:
        return pal.color(QPalette::Window); // active border
    case 11:
        return pal.color(QPalette::Window); // inactive border
    case 12:
        return pal.color(QPalette::Dark); // application workspace
    case 13:
        return pal.color(QPalette::Highlight); // highlight
    case 14:
        return pal.color(QPalette::HighlightedText); // highlight text
    case 15:
        return pal.color(QPalette::Button); // button face
    case 16:
        return pal.color(QPalette::Dark); // button shadow
    case 17:
        return pal.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18:
        return pal.color(QPalette::ButtonText); // button text
    case 19:
        return pal.color(QPalette::Disabled, QPalette::WindowText); // inactive caption text
    case 20:
        return pal.color(QPalette::Light); // button highlight
    case 21:
        return pal.color(QPalette::Shadow); // 3D dark shadow
    case 22:
        return pal.color(QPalette::Midlight); // 3D light
    case 23:
        return pal.color(QPalette::ToolTipText); // info text
    case 24:
        return pal.color(QPalette::ToolTipBase); // info background
    case 26:
        return pal.color(QPalette::Link); // hot light
    case 27:
        return pal.color(QPalette::Highlight); // gradient active caption
    case 28:
        return pal.color(QPalette::Mid); // gradient inactive caption
    case 29:
        return pal.color(QPalette::Highlight); // menu highlight
    case 30:
        return pal.color(QPalette::Window); // menu bar
    default:
        return QColor(Qt::black);
    }
}

} // namespace

QColor ToQColor(int32_t value) {
    const uint32_t v = uint32_t(value);
    if (IsSystem(value))
        return SystemColor(int(v & 0xFFu));
    return QColor(int(v & 0xFFu), int((v >> 8) & 0xFFu), int((v >> 16) & 0xFFu));
}

int32_t FromQColor(const QColor& color) {
    return Rgb(color.red(), color.green(), color.blue());
}

} // namespace ColorValue
