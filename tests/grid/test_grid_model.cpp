#include "tests/grid/GridTestSupport.h"

namespace {

struct RowCountCase
{
    int Rows;
    int Selected;
    int NewRows;
    int WantSelected;
    int WantEvents;
};

void PrintTo(const RowCountCase &c, std::ostream *os)
{
    *os << c.Rows << " rows, row " << c.Selected << ", to " << c.NewRows << " rows";
}

class GridRowCount : public GridTest, public ::testing::WithParamInterface<RowCountCase>
{
};

} // namespace

TEST_P(GridRowCount, KeepsSelectionInRangeAndNotifiesLater)
{
    const RowCountCase c = GetParam();
    MakeSelected(c.Rows, c.Selected);

    Grid->SetRowCount(c.NewRows);
    EXPECT_EQ(Grid->RowCount(), std::max(c.NewRows, 0));
    EXPECT_EQ(Grid->SelectedRow(), c.WantSelected);
    EXPECT_EQ(SelEvents, 0) << "the selection event must not run inside the setter";
    Settle();
    EXPECT_EQ(SelEvents, c.WantEvents);
    if (c.NewRows <= 0) {
        EXPECT_EQ(Grid->TopRow(), 0);
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
    Grid->SetRowCount(30);
    Settle();
    bool askedRow5 = false;
    for (const Call &c : Calls) {
        askedRow5 = askedRow5 || c.Row == 5;
    }
    EXPECT_TRUE(askedRow5);
}

TEST_F(GridTest, OutOfRangeAssignmentsAreIgnored)
{
    Make(5);
    ASSERT_TRUE(Grid->SetColWidths(0, 100));
    ASSERT_TRUE(Grid->SetColWidths(1, 70));
    Grid->SetColCount(0);
    Grid->SetColCount(-2);
    EXPECT_EQ(Grid->ColCount(), 2);
    EXPECT_EQ(Grid->ColWidths(0), 100);

    Grid->SetColCount(3);
    EXPECT_EQ(Grid->ColWidths(0), 60);
    EXPECT_EQ(Grid->ColWidths(1), 60);
    EXPECT_EQ(Grid->ColWidths(2), 60);
    EXPECT_EQ(Grid->ColWidths(3), 0);
    EXPECT_EQ(Grid->ColWidths(-1), 0);

    EXPECT_TRUE(Grid->SetColWidths(3, 10));
    EXPECT_FALSE(Grid->SetColWidths(1, -1));
    EXPECT_EQ(Grid->ColWidths(1), 60);

    Grid->SetTitleHeight(0);
    Grid->SetRowHeight(-1);
    Grid->SetFontSize(0);
    EXPECT_EQ(Grid->TitleHeight(), 20);
    EXPECT_EQ(Grid->RowHeight(), 21);
    EXPECT_EQ(Grid->FontSize(), 9);
}

TEST_F(GridTest, SelectedRowSetterScrollsIntoViewAndSkipsBadValues)
{
    Make(30);
    Grid->SetSelectedRow(30);
    Grid->SetSelectedRow(-1);
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 0);
    EXPECT_TRUE(Calls.empty()) << "an ignored assignment repaints nothing";
    EXPECT_EQ(SelEvents, 0);

    Grid->SetSelectedRow(0);
    Settle();
    EXPECT_FALSE(Calls.empty()) << "assigning the current row still repaints";
    EXPECT_EQ(SelEvents, 0);

    Grid->SetSelectedRow(25);
    EXPECT_EQ(Grid->TopRow(), 15);
    EXPECT_EQ(Grid->SelectedOffset(), 10);
    Grid->SetSelectedRow(4);
    EXPECT_EQ(Grid->TopRow(), 4);
    Settle();
    EXPECT_EQ(SelEvents, 2);
    EXPECT_EQ(SelSeen, (std::vector<int>{4, 4})) << "events read the then-current row";
}

TEST_F(GridTest, ScrollRangesFollowClientSize)
{
    Make(30, 300, 260);
    EXPECT_EQ(Grid->VisibleRows(), 11);
    EXPECT_EQ(Grid->VScrollMax(), 19);
    EXPECT_EQ(Grid->verticalScrollBar()->maximum(), 19);
    EXPECT_EQ(Grid->HScrollMax(), 0);
    EXPECT_FALSE(Grid->horizontalScrollBar()->isVisible());

    Make(30, 100, 260);
    EXPECT_EQ(Grid->HScrollMax(), 1);
    EXPECT_TRUE(Grid->horizontalScrollBar()->isVisible());

    Grid->SetRowCount(5);
    Settle();
    EXPECT_EQ(Grid->VScrollMax(), 0);
    EXPECT_FALSE(Grid->verticalScrollBar()->isVisible());
}

TEST_F(GridTest, NoWholeRowVisibleKeepsSelectedRowOnTop)
{
    Make(30, 300, 30);
    EXPECT_EQ(Grid->VisibleRows(), 0);
    Grid->SetSelectedRow(12);
    EXPECT_EQ(Grid->TopRow(), 12);
    EXPECT_LE(Grid->TopRow(), Grid->VScrollMax());
}

TEST_F(GridTest, PaintAsksOnlyShownCellsInOrder)
{
    Make(30, 300, 260);
    Grid->SetSelectedRow(29);
    Settle();
    Calls.clear();
    Render();
    ASSERT_GE(Calls.size(), 4u);
    EXPECT_EQ(Calls[0].Row, -1);
    EXPECT_EQ(Calls[0].Col, 0);
    EXPECT_EQ(Calls[1].Row, -1);
    EXPECT_EQ(Calls[1].Col, 1);
    // Rows 19..29 fill the view; nothing past RowCount - 1 is asked.
    std::vector<int> rows;
    for (size_t i = 2; i < Calls.size(); i += 2) {
        EXPECT_EQ(Calls[i].Col, 0);
        EXPECT_EQ(Calls[i + 1].Col, 1);
        EXPECT_EQ(Calls[i + 1].Row, Calls[i].Row);
        rows.push_back(Calls[i].Row);
    }
    ASSERT_EQ(rows.size(), 11u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i], 19 + int(i));
    }
}

TEST_F(GridTest, PaintStopsAtClientEdges)
{
    Make(1000, 100, 100, 5);
    Calls.clear();
    Render();
    for (const Call &c : Calls) {
        EXPECT_LE(c.Col, 1) << "columns right of the client area are not asked";
        EXPECT_LE(c.Row, 3) << "rows below the client area are not asked";
    }
}
