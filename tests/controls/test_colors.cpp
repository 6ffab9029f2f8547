#include "controls/UColors.h"

#include <gtest/gtest.h>

namespace {

TEST(ColorFromTColor, DecodesRedGreenBlueAndTheSystemColoursInUse)
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Button, QColor(4, 5, 6));
    EXPECT_EQ(ColorFromTColor(0xFF0000, palette), QColor(0, 0, 255));
    EXPECT_EQ(ColorFromTColor(0x0000FF, palette), QColor(255, 0, 0));
    EXPECT_EQ(ColorFromTColor(0x123456, palette), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(ColorFromTColor(0xFF000005, palette), QColor(1, 2, 3));
    EXPECT_EQ(ColorFromTColor(0xFF00000F, palette), QColor(4, 5, 6));
}

} // namespace
