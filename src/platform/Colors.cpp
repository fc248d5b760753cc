#include "platform/Colors.h"

#include <QApplication>
#include <QPalette>

namespace platform {

namespace {

// The system colour entries a stored colour may name (0x800000nn), each drawn by the palette
// role that shows the same part of the screen.
QColor systemColor(int index) {
    const QPalette pal = QApplication::palette();
    switch (index) {
    case 1:
        return pal.color(QPalette::Window); // desktop
    case 2:
    case 3:
        return pal.color(QPalette::Highlight); // caption bars
    case 4:
        return pal.color(QPalette::Window); // menu
    case 5:
        return pal.color(QPalette::Base); // window background
    case 6:
        return pal.color(QPalette::Dark); // window frame
    case 7:
        return pal.color(QPalette::WindowText); // menu text
    case 8:
        return pal.color(QPalette::Text); // window text
    case 9:
        return pal.color(QPalette::HighlightedText); // caption text
    case 13:
        return pal.color(QPalette::Highlight);
    case 14:
        return pal.color(QPalette::HighlightedText);
    case 15:
        return pal.color(QPalette::Button); // button face
    case 16:
        return pal.color(QPalette::Dark); // button shadow
    case 17:
        return pal.color(QPalette::Disabled, QPalette::Text);
    case 18:
        return pal.color(QPalette::ButtonText);
    case 20:
        return pal.color(QPalette::Light); // button highlight
    case 21:
        return pal.color(QPalette::Shadow);
    case 23:
        return pal.color(QPalette::ToolTipText);
    case 24:
        return pal.color(QPalette::ToolTipBase);
    default:
        return pal.color(QPalette::WindowText);
    }
}

} // namespace

QColor toQColor(qint32 value) {
    const quint32 v = static_cast<quint32>(value);
    if (v & 0x80000000u)
        return systemColor(static_cast<int>(v & 0xFFu));
    return QColor(static_cast<int>(v & 0xFFu), static_cast<int>((v >> 8) & 0xFFu),
                  static_cast<int>((v >> 16) & 0xFFu));
}

qint32 fromQColor(const QColor& color) {
    const QColor c = color.toRgb();
    return static_cast<qint32>(static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) |
                               (static_cast<quint32>(c.blue()) << 16));
}

} // namespace platform
