#include "controls/UColors.h"

#include <iterator>

namespace {

// A system colour's nearest palette entry.
struct TSystemColor
{
    QPalette::ColorRole Role;
    QPalette::ColorGroup Group = QPalette::Current;
};

// The system colours by their index. Desktop, menu, borders, menu bar and indices beyond
// the table take the window colour.
const TSystemColor SystemColors[] = {
    {QPalette::Button},                   // 0 scroll bar
    {QPalette::Window},                   // 1 desktop
    {QPalette::Highlight},                // 2 active caption
    {QPalette::Mid},                      // 3 inactive caption
    {QPalette::Window},                   // 4 menu
    {QPalette::Base},                     // 5 window background
    {QPalette::Shadow},                   // 6 window frame
    {QPalette::WindowText},               // 7 menu text
    {QPalette::Text},                     // 8 window text
    {QPalette::HighlightedText},          // 9 caption text
    {QPalette::Window},                   // 10 active border
    {QPalette::Window},                   // 11 inactive border
    {QPalette::Mid},                      // 12 application workspace
    {QPalette::Highlight},                // 13 highlight
    {QPalette::HighlightedText},          // 14 highlighted text
    {QPalette::Button},                   // 15 button face
    {QPalette::Dark},                     // 16 button shadow
    {QPalette::Text, QPalette::Disabled}, // 17 grey text
    {QPalette::ButtonText},               // 18 button text
    {QPalette::Text, QPalette::Disabled}, // 19 inactive caption text
    {QPalette::Light},                    // 20 button highlight
    {QPalette::Shadow},                   // 21 dark 3-D shadow
    {QPalette::Midlight},                 // 22 light 3-D edge
    {QPalette::ToolTipText},              // 23 tooltip text
    {QPalette::ToolTipBase},              // 24 tooltip background
    {QPalette::Window},                   // 25 unused
    {QPalette::Link},                     // 26 hot-tracked item
    {QPalette::Highlight},                // 27 active caption gradient
    {QPalette::Window},                   // 28 inactive caption gradient
    {QPalette::Highlight},                // 29 highlighted menu item
};

} // namespace

QColor ColorFromTColor(std::uint32_t value, const QPalette &palette)
{
    if ((value >> 24) != 0xFF) {
        return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    }
    const std::uint32_t index = value & 0xFF;
    if (index >= std::size(SystemColors)) {
        return palette.color(QPalette::Window);
    }
    const TSystemColor &color = SystemColors[index];
    return palette.color(color.Group, color.Role);
}
