#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

// Colour values as the controls take them (the grid's cell colours and fixed colours, the label's
// FocusColor): red in the lowest byte, then green, then blue (0x00BBGGRR). A value whose top byte
// is 0xFF names a system colour by the index in its low byte.

// Plain colours.
constexpr std::uint32_t clBlack = 0x000000;
constexpr std::uint32_t clWhite = 0xFFFFFF;
constexpr std::uint32_t clGray = 0x808080;
constexpr std::uint32_t clBlue = 0xFF0000;
constexpr std::uint32_t clRed = 0x0000FF;
constexpr std::uint32_t clPurple = 0x800080;
// System colours: window background (index 5), window text (8) and button face (15).
constexpr std::uint32_t clWindow = 0xFF000005;
constexpr std::uint32_t clWindowText = 0xFF000008;
constexpr std::uint32_t clBtnFace = 0xFF00000F;

// Turns a colour value into a Qt colour; a system colour is taken from the nearest role of
// palette, an index without a role of its own gives the palette's window colour.
QColor ColorFromTColor(std::uint32_t value, const QPalette &palette);
