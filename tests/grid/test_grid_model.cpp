#include "GridTestSupport.h"

namespace {

struct RowCountCase
{
    int rows;
    int selected;
    int newRows;
    int wantSelected;
    int wantEvents;
};

void PrintTo(const RowCountCase &c, std::ostream *os)
{
    *os << c.rows << " rows, row " << c.selected << ", to " << c.newRows << " rows";
}

class GridRowCount : public GridTest, public ::testing::WithParamInterface<RowCountCase>
{
};

} // namespace

TEST_P(GridRowCount, KeepsSelectionInRangeAndNotifiesLater)
{
    const RowCountCase c = GetParam();
    Make(c.rows);
    grid->SetSelectedRow(c.selected);
    Settle();
    Reset();

    grid->SetRowCount(c.newRows);
    EXPECT_EQ(grid->RowCount(), std::max(c.newRows, 0));
    EXPECT_EQ(grid->SelectedRow(), c.wantSelected);
    EXPECT_EQ(selEvents, 0) << "the selection event must not run inside the setter";
    Settle();
    EXPECT_EQ(selEvents, c.wantEvents);
    if (c.newRows <= 0) {
        EXPECT_EQ(grid->TopRow(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridRowCount,
    ::testing::Values(RowCountCase{0, -1, 5, 0, 1}, RowCountCase{10, 7, 4, 3, 1},
                      RowCountCase{10, 3, 0, -1, 1}, RowCountCase{10, 3, -4, -1, 1},
                      RowCountCase{10, 3, 20, 3, 0}, RowCountCase{0, -1, 0, -1, 0}));

TEST_F(GridTest, RowCountGrowthShowsNewRowsAtOnce)
{
    Make(2);
    grid->SetRowCount(30);
    Settle();
    bool askedRow5 = false;
    for (const Call &c : calls) {
        askedRow5 = askedRow5 || c.row == 5;
    }
    EXPECT_TRUE(askedRow5);
}

TEST_F(GridTest, OutOfRangeAssignmentsAreIgnored)
{
    Make(5);
    ASSERT_TRUE(grid->SetColWidths(0, 100));
    ASSERT_TRUE(grid->SetColWidths(1, 70));
    grid->SetColCount(0);
    grid->SetColCount(-2);
    EXPECT_EQ(grid->ColCount(), 2);
    EXPECT_EQ(grid->ColWidths(0), 100);

    grid->SetColCount(3);
    EXPECT_EQ(grid->ColWidths(0), 60);
    EXPECT_EQ(grid->ColWidths(1), 60);
    EXPECT_EQ(grid->ColWidths(2), 60);
    EXPECT_EQ(grid->ColWidths(3), 0);
    EXPECT_EQ(grid->ColWidths(-1), 0);

    EXPECT_TRUE(grid->SetColWidths(3, 10));
    EXPECT_FALSE(grid->SetColWidths(1, -1));
    EXPECT_EQ(grid->ColWidths(1), 60);

    grid->SetTitleHeight(0);
    grid->SetRowHeight(-1);
    grid->SetFontSize(0);
    EXPECT_EQ(grid->TitleHeight(), 20);
    EXPECT_EQ(grid->RowHeight(), 21);
    EXPECT_EQ(grid->FontSize(), 9);
}

TEST_F(GridTest, SelectedRowSetterScrollsIntoViewAndSkipsBadValues)
{
    Make(30);
    grid->SetSelectedRow(30);
    grid->SetSelectedRow(-1);
    Settle();
    EXPECT_EQ(grid->SelectedRow(), 0);
    EXPECT_TRUE(calls.empty()) << "an ignored assignment repaints nothing";
    EXPECT_EQ(selEvents, 0);

    grid->SetSelectedRow(0);
    Settle();
    EXPECT_FALSE(calls.empty()) << "assigning the current row still repaints";
    EXPECT_EQ(selEvents, 0);

    grid->SetSelectedRow(25);
    EXPECT_EQ(grid->TopRow(), 15);
    EXPECT_EQ(grid->SelectedOffset(), 10);
    grid->SetSelectedRow(4);
    EXPECT_EQ(grid->TopRow(), 4);
    Settle();
    EXPECT_EQ(selEvents, 2);
    EXPECT_EQ(selSeen, (std::vector<int>{4, 4})) << "events read the then-current row";
}

TEST_F(GridTest, ScrollRangesFollowClientSize)
{
    Make(30, 300, 260);
    EXPECT_EQ(grid->VisibleRows(), 11);
    EXPECT_EQ(grid->VScrollMax(), 19);
    EXPECT_EQ(grid->verticalScrollBar()->maximum(), 19);
    EXPECT_EQ(grid->HScrollMax(), 0);
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());

    Make(30, 100, 260);
    EXPECT_EQ(grid->HScrollMax(), 1);
    EXPECT_TRUE(grid->horizontalScrollBar()->isVisible());

    grid->SetRowCount(5);
    Settle();
    EXPECT_EQ(grid->VScrollMax(), 0);
    EXPECT_FALSE(grid->verticalScrollBar()->isVisible());
}

TEST_F(GridTest, NoWholeRowVisibleKeepsSelectedRowOnTop)
{
    Make(30, 300, 30);
    EXPECT_EQ(grid->VisibleRows(), 0);
    grid->SetSelectedRow(12);
    EXPECT_EQ(grid->TopRow(), 12);
    EXPECT_LE(grid->TopRow(), grid->VScrollMax());
}

TEST_F(GridTest, PaintAsksOnlyShownCellsInOrder)
{
    Make(30, 300, 260);
    grid->SetSelectedRow(29);
    Settle();
    calls.clear();
    Render();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].row, -1);
    EXPECT_EQ(calls[0].col, 0);
    EXPECT_EQ(calls[1].row, -1);
    EXPECT_EQ(calls[1].col, 1);
    // Rows 19..29 fill the view; nothing past RowCount - 1 is asked.
    std::vector<int> rows;
    for (size_t i = 2; i < calls.size(); i += 2) {
        EXPECT_EQ(calls[i].col, 0);
        EXPECT_EQ(calls[i + 1].col, 1);
        EXPECT_EQ(calls[i + 1].row, calls[i].row);
        rows.push_back(calls[i].row);
    }
    ASSERT_EQ(rows.size(), 11u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], 19 + int(i));
    }
}

TEST_F(GridTest, PaintStopsAtClientEdges)
{
    Make(1000, 100, 100, 5);
    calls.clear();
    Render();
    for (const Call &c : calls) {
        EXPECT_LE(c.col, 1) << "columns right of the client area are not asked";
        EXPECT_LE(c.row, 3) << "rows below the client area are not asked";
    }
}
