#include "GridTestSupport.h"

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
    int rows;
    int start;
    int key;
    int wantSelected;
    int wantTop;
    int wantEvents;
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.rows << " rows, row " << c.start << ", "
        << QKeySequence(c.key).toString().toStdString();
}

class GridKeys : public GridTest, public ::testing::WithParamInterface<KeyCase>
{
};

} // namespace

TEST_P(GridKeys, MoveSelectionAndScroll)
{
    const KeyCase c = GetParam();
    Make(c.rows);
    grid->SetSelectedRow(c.start);
    grid->setFocus();
    Settle();
    Reset();
    QTest::keyClick(grid.get(), Qt::Key(c.key));
    EXPECT_EQ(grid->SelectedRow(), c.wantSelected);
    EXPECT_EQ(grid->TopRow(), c.wantTop);
    Settle();
    EXPECT_EQ(selEvents, c.wantEvents);
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
    grid->setFocus();
    QTest::keyClick(grid.get(), Qt::Key_Return);
    EXPECT_EQ(choices, 1) << "raised synchronously, with or without rows";
    EXPECT_EQ(grid->SelectedRow(), -1);
}

TEST_F(GridTest, ClickSelectsRowAndOnlyRedrawsWhenItMoves)
{
    Make(30);
    QTest::mouseClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 3 * 21 + 5));
    EXPECT_EQ(grid->SelectedRow(), 3);
    EXPECT_TRUE(grid->hasFocus());
    Settle();
    EXPECT_EQ(selEvents, 1);
    for (const Call &c : calls) {
        EXPECT_TRUE(c.row == 0 || c.row == 3) << "only the two frames' rows are redrawn";
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
    EXPECT_EQ(grid->SelectedRow(), 3);
    EXPECT_EQ(selEvents, 0);
    for (const Call &c : calls) {
        EXPECT_EQ(c.row, -1) << "only the pressed title is redrawn";
    }

    Make(3);
    QTest::mouseClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 3 * 21 + 5));
    Settle();
    EXPECT_EQ(grid->SelectedRow(), 0) << "a click below the last row does nothing";
    EXPECT_EQ(selEvents, 0);
}

TEST_F(GridTest, DoubleClickChoosesWherever)
{
    Make(30);
    QTest::mouseDClick(Vp(), Qt::LeftButton, {}, QPoint(30, 10));
    EXPECT_EQ(choices, 1);
    EXPECT_EQ(grid->SelectedRow(), 0);
    QTest::mouseDClick(Vp(), Qt::LeftButton, {}, QPoint(30, 20 + 2 * 21 + 5));
    EXPECT_EQ(choices, 2);
    EXPECT_EQ(grid->SelectedRow(), 2);
}

TEST_F(GridTest, WheelMovesOneRowPerTurn)
{
    Make(30);
    Wheel(Vp(), 120);
    Settle();
    EXPECT_EQ(grid->SelectedRow(), 0);
    EXPECT_EQ(selEvents, 0);

    Wheel(Vp(), -360);
    Wheel(Vp(), -120);
    EXPECT_EQ(grid->SelectedRow(), 2);
    Settle();
    EXPECT_EQ(selEvents, 2);

    grid->SetSelectedRow(29);
    Settle();
    Reset();
    Wheel(Vp(), -120);
    Settle();
    EXPECT_EQ(grid->SelectedRow(), 29);
    EXPECT_EQ(selEvents, 0);
    Wheel(Vp(), 120);
    EXPECT_EQ(grid->SelectedRow(), 28);
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
    EXPECT_EQ(grid->ResizeCol(), 0);
    EXPECT_EQ(grid->PressedCol(), -1);
    Move(Vp(), QPoint(200, 100));
    EXPECT_EQ(Vp()->cursor().shape(), Qt::SplitHCursor) << "split cursor while armed";

    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(3, 100));
    EXPECT_EQ(grid->ColWidths(0), 60);
    EXPECT_EQ(grid->ResizeCol(), 0) << "a release too far left keeps the resize armed";
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(40, 100));
    EXPECT_EQ(grid->ColWidths(0), 40);
    EXPECT_EQ(grid->ResizeCol(), -1);

    // A press near a cell's edge with the arrow cursor presses nothing.
    Move(Vp(), QPoint(44, 10));
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(44, 10));
    EXPECT_EQ(grid->PressedCol(), -1);
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(44, 10));
    QTest::mousePress(Vp(), Qt::LeftButton, {}, QPoint(45, 10));
    EXPECT_EQ(grid->PressedCol(), 1);

    // Shrinking the columns drops a pressed cell and an armed resize that no longer exist.
    grid->SetColCount(1);
    EXPECT_EQ(grid->PressedCol(), -1);
    QTest::mouseRelease(Vp(), Qt::LeftButton, {}, QPoint(45, 10));
    EXPECT_EQ(grid->ColWidths(0), 60);
}

TEST_F(GridTest, HotHintShowsWholeTextOfCutCells)
{
    texts = QStringList{QStringLiteral("short"), QStringLiteral("a rather long value text")};
    Make(5);
    const QPoint longCell(90, 20 + 21 + 5);
    const QPoint shortCell(20, 20 + 21 + 5);

    Move(Vp(), longCell);
    EXPECT_TRUE(calls.empty()) << "no hint work while HotHint is off";
    EXPECT_FALSE(grid->HintWindow()->isVisible());

    grid->SetHotHint(true);
    Move(Vp(), shortCell);
    EXPECT_FALSE(grid->HintWindow()->isVisible());
    Move(Vp(), longCell);
    EXPECT_TRUE(grid->HintWindow()->isVisible());
    EXPECT_EQ(grid->HintWindow()->text(), texts[1]);
    EXPECT_EQ(grid->HintCell(), 1 * 2 + 1);

    Move(Vp(), shortCell);
    EXPECT_FALSE(grid->HintWindow()->isVisible());
    EXPECT_EQ(grid->HintCell(), -1);

    Move(Vp(), longCell);
    ASSERT_TRUE(grid->HintWindow()->isVisible());
    Move(Vp(), QPoint(90, 10));
    EXPECT_FALSE(grid->HintWindow()->isVisible()) << "over the title row";

    Move(Vp(), longCell);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Vp(), &leave);
    EXPECT_FALSE(grid->HintWindow()->isVisible());

    ASSERT_TRUE(grid->SetColWidths(1, 12));
    Move(Vp(), QPoint(65, 20 + 21 + 5));
    EXPECT_FALSE(grid->HintWindow()->isVisible()) << "columns of 12 pixels get no hint";
}

TEST_F(GridTest, ScrollBarsMoveViewNotSelection)
{
    Make(100000);
    QScrollBar *bar = grid->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid->TopRow(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(grid->TopRow(), 12);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(grid->TopRow(), 0);

    // Thumb tracking keeps counting past the 16-bit range, also in one big jump.
    for (int pos : {65000, 65535, 65536, 70000, 99000}) {
        bar->setSliderPosition(pos);
        EXPECT_EQ(grid->TopRow(), pos);
        EXPECT_EQ(bar->value(), pos);
    }
    bar->setSliderPosition(5);
    EXPECT_EQ(grid->TopRow(), 5);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(grid->TopRow(), grid->VScrollMax());
    Settle();
    EXPECT_EQ(grid->SelectedRow(), 0);
    EXPECT_EQ(selEvents, 0);
    for (const Call &c : calls) {
        EXPECT_LT(c.row, 100000);
    }
}
