#pragma once
// The read-only tables of the traffic window: one look and one layout for every list of figures.

#include <QString>

#include <functional>
#include <initializer_list>
#include <span>

class QLabel;
class QPushButton;
class QWidget;
class TASGrid;

// Makes a grid in `parent` with a single border, the columns of `widths`, 18-pixel rows and
// hints for cut-off cells; it asks `text` for each cell (the title row is -1) and draws the
// body rows for which `marked` holds in red.
TASGrid *NewListGrid(QWidget *parent, std::span<const int> widths,
                     std::function<QString(int row, int col)> text,
                     std::function<bool(int row)> marked);

// Lays `page` out as a list with `margin` pixels around: `grid` fills it, and in the row
// below `label` takes the width that `buttons` leave.
void LayOutList(QWidget *page, int margin, TASGrid *grid, QLabel *label,
                std::initializer_list<QPushButton *> buttons);
