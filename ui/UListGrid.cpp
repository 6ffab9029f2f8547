#include "ui/UListGrid.h"

#include "controls/UASGrid.h"
#include "controls/UColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TASGrid *NewListGrid(QWidget *parent, std::span<const int> widths,
                     std::function<QString(int row, int col)> text,
                     std::function<bool(int row)> marked)
{
    auto *grid = new TASGrid(parent);
    grid->SetBorderStyle(TBorderStyle::bsSingle);
    grid->SetColCount(static_cast<int>(widths.size()));
    for (size_t col = 0; col < widths.size(); ++col)
        grid->SetColWidths(static_cast<int>(col), widths[col]);
    grid->SetRowHeight(18);
    grid->SetHotHint(true);
    grid->SetOnGetData([text = std::move(text), marked = std::move(marked)](
                           int row, int col, uint32_t &color, uint8_t &, QString &data) {
        data = text(row, col);
        color = row >= 0 && marked(row) ? clRed : clBlack;
    });
    return grid;
}

void LayOutList(QWidget *page, int margin, TASGrid *grid, QLabel *label,
                std::initializer_list<QPushButton *> buttons)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(grid, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(label, 1);
    for (QPushButton *button : buttons)
        row->addWidget(button);
    layout->addLayout(row);
}
