#include "tests/grid/GridTestSupport.h"

#include <QCursor>
#include <QKeySequence>
#include <QLabel>
#include <QWheelEvent>

namespace {

void Wheel(QWidget *w, int delta)
{
    const QPointF pos(30, 60);
    QWheelEvent ev(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &ev);
}

void Move(QWidget *w, QPoint pos)
{
    QTest::mouseMove(w, pos);
    QApplication::processEvents();
}

struct KeyCase
{
    int Rows;
    int Start;
    int Key;
    int WantSelected;
    int WantTop;
    int WantEvents;
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.Rows << " rows, row " << c.Start << ", "
        << QKeySequence(c.Key).toString().toStdString();
}

class GridKeys : public GridTest, public ::testing::WithParamInterface<KeyCase>
{
};

} // namespace

TEST_P(GridKeys, MoveSelectionAndScroll)
{
    const KeyCase c = GetParam();
    MakeSelected(c.Rows, c.Start, true);
    QTest::keyClick(Grid.get(), Qt::Key(c.Key));
    EXPECT_EQ(Grid->SelectedRow(), c.WantSelected);
    EXPECT_EQ(Grid->TopRow(), c.WantTop);
    Settle();
    EXPECT_EQ(SelEvents, c.WantEvents);
}

// n = 11 rows per page: client height 260, title 20, rows 21.
INSTANTIATE_TEST_SUITE_P(
    Cases, GridKeys,
    ::testing::Values(
        KeyCase{30, 2, Qt::Key_PageDown, 13, 3, 1}, KeyCase{10, 2, Qt::Key_PageDown, 9, 0, 1},
        KeyCase{30, 0, Qt::Key_End, 29, 19, 1}, KeyCase{30, 29, Qt::Key_End, 29, 19, 0},
        KeyCase{30, 29, Qt::Key_Down, 29, 19, 0}, KeyCase{30, 0, Qt::Key_Up, 0, 0, 0},
        KeyCase{30, 0, Qt::Key_Home, 0, 0, 0}, KeyCase{30, 29, Qt::Key_Home, 0, 0, 1},
        KeyCase{30, 15, Qt::Key_PageUp, 4, 4, 1}, KeyCase{30, 10, Qt::Key_Down, 11, 1, 1},
        KeyCase{30, 5, Qt::Key_Left, 5, 0, 0}, KeyCase{0, -1, Qt::Key_Down, -1, 0, 0}));

TEST_F(GridTest, EnterChoosesRowAtOnce)
{
    Make(0);
    Grid->setFocus();
    QTest::keyClick(Grid.get(), Qt::Key_Return);
    EXPECT_EQ(Choices, 1) << "raised synchronously, with or without rows";
    EXPECT_EQ(Grid->SelectedRow(), -1);
}

TEST_F(GridTest, ClickSelectsRowAndOnlyRedrawsWhenItMoves)
{
    Make(30);
    QTest::mouseClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 3 * 21 + 5));
    EXPECT_EQ(Grid->SelectedRow(), 3);
    EXPECT_TRUE(Grid->hasFocus());
    Settle();
    EXPECT_EQ(SelEvents, 1);
    for (const Call &c : Calls) {
        EXPECT_TRUE(c.Row == 0 || c.Row == 3) << "only the two frames' rows are redrawn";
    }

    Reset();
    const QPoint nothing[] = {QPoint(30, 20 + 3 * 21 + 9), // the selected row again
                              QPoint(0, 70),               // x = 0
                              QPoint(30, 20),              // on the title's bottom edge
                              QPoint(30, 10)};             // title row
    for (const QPoint &p : nothing) {
        QTest::mouseClick(Vp(), Qt::LeftButton, {}, p);
    }
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 3);
    EXPECT_EQ(SelEvents, 0);
    for (const Call &c : Calls) {
        EXPECT_EQ(c.Row, -1) << "only the pressed title is redrawn";
    }

    Make(3);
    QTest::mouseClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 3 * 21 + 5));
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 0) << "a click below the last row does nothing";
    EXPECT_EQ(SelEvents, 0);
}

TEST_F(GridTest, DoubleClickChoosesWherever)
{
    Make(30);
    QTest::mouseDClick(Vp(), Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(Choices, 1);
    EXPECT_EQ(Grid->SelectedRow(), 0);
    QTest::mouseDClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 2 * 21 + 5));
    EXPECT_EQ(Choices, 2);
    EXPECT_EQ(Grid->SelectedRow(), 2);
}

TEST_F(GridTest, WheelMovesOneRowPerTurn)
{
    Make(30);
    Wheel(Vp(), 120);
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 0);
    EXPECT_EQ(SelEvents, 0);

    Wheel(Vp(), -360);
    Wheel(Vp(), -120);
    EXPECT_EQ(Grid->SelectedRow(), 2);
    Settle();
    EXPECT_EQ(SelEvents, 2);

    Grid->SetSelectedRow(29);
    Settle();
    Reset();
    Wheel(Vp(), -120);
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 29);
    EXPECT_EQ(SelEvents, 0);
    Wheel(Vp(), 120);
    EXPECT_EQ(Grid->SelectedRow(), 28);
}

TEST_F(GridTest, ClickOnAPartlyShownRowScrollsItIntoView)
{
    // 11 whole rows fit below the title (20 + 11 * 21 = 251); row 11 shows its top 9 pixels.
    Make(30);
    ASSERT_EQ(Grid->VisibleRows(), 11);
    EXPECT_EQ(Grid->RowAt(255), 11);
    EXPECT_EQ(Grid->RowAt(15), -1) << "the title is no row";
    QTest::mouseClick(Vp(), Qt::LeftButton, {}, QPoint(30, 255));
    EXPECT_EQ(Grid->SelectedRow(), 11);
    EXPECT_EQ(Grid->TopRow(), 1);
    EXPECT_FALSE(Grid->LastSelectionByWheel());
    Wheel(Vp(), -120);
    EXPECT_TRUE(Grid->LastSelectionByWheel());
}

TEST_F(GridTest, ColumnResizeByDraggingTitleBorder)
{
    Make(5);
    // Within 4 pixels of the border between columns 0 and 1 (at 60).
    Move(Vp(), QPoint(57, 10));
    EXPECT_EQ(Vp()->cursor().shape(), Qt::SplitHCursor);
    Move(Vp(), QPoint(56, 10));
    EXPECT_EQ(Vp()->cursor().shape(), Qt::ArrowCursor);
    Move(Vp(), QPoint(63, 10));
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(63, 10));
    EXPECT_EQ(Grid->ResizeCol(), 0);
    EXPECT_EQ(Grid->PressedCol(), -1);
    Move(Vp(), QPoint(200, 100));
    EXPECT_EQ(Vp()->cursor().shape(), Qt::SplitHCursor) << "split cursor while armed";

    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_EQ(Grid->ColWidths(0), 60);
    EXPECT_EQ(Grid->ResizeCol(), 0) << "a release too far left keeps the resize armed";
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(40, 100));
    EXPECT_EQ(Grid->ColWidths(0), 40);
    EXPECT_EQ(Grid->ResizeCol(), -1);

    // A press near a cell's edge with the arrow cursor presses nothing.
    Move(Vp(), QPoint(44, 10));
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(44, 10));
    EXPECT_EQ(Grid->PressedCol(), -1);
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(44, 10));
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(45, 10));
    EXPECT_EQ(Grid->PressedCol(), 1);

    // Shrinking the columns drops a pressed cell and an armed resize that no longer exist.
    Grid->SetColCount(1);
    EXPECT_EQ(Grid->PressedCol(), -1);
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(45, 10));
    EXPECT_EQ(Grid->ColWidths(0), 60);
}

TEST_F(GridTest, HotHintShowsWholeTextOfCutCells)
{
    Texts = QStringList{QStringLiteral("short"), QStringLiteral("a rather long value text")};
    Make(5);
    const QPoint longCell(90, 20 + 21 + 5);
    const QPoint shortCell(20, 20 + 21 + 5);

    Move(Vp(), longCell);
    EXPECT_TRUE(Calls.empty()) << "no hint work while HotHint is off";
    EXPECT_FALSE(Grid->HintWindow()->isVisible());

    Grid->SetHotHint(true);
    Move(Vp(), shortCell);
    EXPECT_FALSE(Grid->HintWindow()->isVisible());
    Move(Vp(), longCell);
    EXPECT_TRUE(Grid->HintWindow()->isVisible());
    EXPECT_EQ(Grid->HintWindow()->text(), Texts[1]);
    EXPECT_EQ(Grid->HintCell(), 1 * 2 + 1);

    Move(Vp(), shortCell);
    EXPECT_FALSE(Grid->HintWindow()->isVisible());
    EXPECT_EQ(Grid->HintCell(), -1);

    Move(Vp(), longCell);
    ASSERT_TRUE(Grid->HintWindow()->isVisible());
    Move(Vp(), QPoint(90, 10));
    EXPECT_FALSE(Grid->HintWindow()->isVisible()) << "over the title row";

    Move(Vp(), longCell);
    QCursor::setPos(Grid->mapToGlobal(QPoint(-50, -50)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Vp(), &leave);
    EXPECT_FALSE(Grid->HintWindow()->isVisible()) << "the pointer left the grid";

    ASSERT_TRUE(Grid->SetColWidths(1, 12));
    Move(Vp(), QPoint(65, 20 + 21 + 5));
    EXPECT_FALSE(Grid->HintWindow()->isVisible()) << "columns of 12 pixels get no hint";
}

TEST_F(GridTest, HintStaysWhileThePointerRestsOnTheCell)
{
    Texts = QStringList{QStringLiteral("short"), QStringLiteral("a rather long value text")};
    Make(5);
    Grid->SetHotHint(true);
    const QPoint longCell(90, 20 + 21 + 5);
    Move(Vp(), longCell);
    ASSERT_TRUE(Grid->HintWindow()->isVisible());

    // The pointer rests on the cell, under the hint window. Where the window system hands the
    // pointer to the hint anyway, the grid gets a Leave that the hint caused: the hint stays.
    QCursor::setPos(Vp()->mapToGlobal(longCell));
    QApplication::processEvents();
    QEvent hintsOwnLeave(QEvent::Leave);
    QApplication::sendEvent(Vp(), &hintsOwnLeave);
    QApplication::processEvents();
    EXPECT_TRUE(Grid->HintWindow()->isVisible());
    EXPECT_EQ(Grid->HintCell(), 1 * 2 + 1);

    // Off the grid, over the hint or not, the hint goes.
    QCursor::setPos(Grid->mapToGlobal(QPoint(-50, -50)));
    QEvent leftHint(QEvent::Leave);
    QApplication::sendEvent(Grid->HintWindow(), &leftHint);
    EXPECT_FALSE(Grid->HintWindow()->isVisible());
    EXPECT_EQ(Grid->HintCell(), -1);
}

TEST_F(GridTest, ScrollBarsMoveViewNotSelection)
{
    Make(100000);
    QScrollBar *bar = Grid->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Grid->TopRow(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Grid->TopRow(), 12);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(Grid->TopRow(), 0);

    // Thumb tracking keeps counting past the 16-bit range, also in one big jump.
    for (int pos : {65000, 65535, 65536, 70000, 99000}) {
        bar->setSliderPosition(pos);
        EXPECT_EQ(Grid->TopRow(), pos);
        EXPECT_EQ(bar->value(), pos);
    }
    bar->setSliderPosition(5);
    EXPECT_EQ(Grid->TopRow(), 5);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Grid->TopRow(), Grid->VScrollMax());
    Settle();
    EXPECT_EQ(Grid->SelectedRow(), 0);
    EXPECT_EQ(SelEvents, 0);
    for (const Call &c : Calls) {
        EXPECT_LT(c.Row, 100000);
    }
}
