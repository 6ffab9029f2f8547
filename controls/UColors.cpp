#include "UColors.h"

QColor ColorFromTColor(std::uint32_t value, const QPalette &palette)
{
    if ((value >> 24) != 0xFF) {
        return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    }
    // System colours by their index, mapped onto the nearest palette role.
    switch (value & 0xFF) {
    case 2:  // active caption
    case 13: // highlight
    case 27: // active caption gradient
    case 29: // highlighted menu item
        return palette.color(QPalette::Highlight);
    case 5: // window background
        return palette.color(QPalette::Base);
    case 6:  // window frame
    case 21: // dark 3-D shadow
        return palette.color(QPalette::Shadow);
    case 7: // menu text
        return palette.color(QPalette::WindowText);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 9:  // caption text
    case 14: // highlighted text
        return palette.color(QPalette::HighlightedText);
    case 0:  // scroll bar
    case 15: // button face
        return palette.color(QPalette::Button);
    case 3:  // inactive caption
    case 12: // application workspace
        return palette.color(QPalette::Mid);
    case 16: // button shadow
        return palette.color(QPalette::Dark);
    case 17: // grey text
    case 19: // inactive caption text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return palette.color(QPalette::Light);
    case 22: // light 3-D edge
        return palette.color(QPalette::Midlight);
    case 23: // tooltip text
        return palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return palette.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return palette.color(QPalette::Link);
    default: // desktop, menu, borders, menu bar and unknown indices
        return palette.color(QPalette::Window);
    }
}
