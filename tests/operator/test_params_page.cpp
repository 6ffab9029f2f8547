// The parameter page as an operator uses it: opened by a double click and by its button,
// buttons that take a pointer's click and the keyboard's Tab, rows chosen with the pointer and
// the keys, values typed into the floating editor, defaults, and what "Записать" puts on the
// wire. The program runs in a Russian locale, whose decimal mark is a comma.
//
// Device 12 of the bus (type 9, firmware 2.05) has four parameters: index 1 "Сетевой адрес"
// (byte, 1..127, default 1), 2 "Скорость обмена" (word, divisor 10, 12..1152, default 96),
// 3 "Задержка ответа" (byte, 0..250, default 4) and 4 "Тайм-аут приёма" (word, divisor 100,
// 10..6000, default 150); the device holds 12, 96, 4 and 250.

#include "tests/operator/OperatorSupport.h"

#include "link/Link.h"

#include <X11/keysym.h>

#include <set>

namespace {

using ParamsPage = TOperatorTest;
using TValues = std::vector<std::pair<int, int>>;

constexpr uint8_t Device12 = 12;
constexpr int Device12Row = 1;
constexpr uint8_t Device33 = 33;
constexpr int Device33Row = 2;
constexpr size_t Device12Params = 4;

// The parameter indices read from `address` after the first `from` frames.
std::set<int> ReadIndices(TLinvarRun &run, size_t from, uint8_t address)
{
    std::set<int> indices;
    for (const TFrame &frame : Select(run.Requests(), from, CMD_READ_PARAM, address))
        indices.insert(frame.Data.at(0));
    return indices;
}

// Waits until the parameters of `address` have been read and the page shows them.
bool WaitForPage(TLinvarRun &run, size_t from, uint8_t address)
{
    return WaitUntil(
        [&] { return !run.ListPageShown() && !ReadIndices(run, from, address).empty(); });
}

// Polls the bus and opens device 12 by a double click on its entry.
bool OpenDevice12(TLinvarRun &run)
{
    if (!run.Poll())
        return false;
    const size_t mark = run.Requests().size();
    run.X.DoubleClick(run.Main, ListRow(Device12Row));
    return WaitForPage(run, mark, Device12);
}

// The look of "Назад", which the write locks: neither the pointer nor the focus is there.
TImage BackButtonLook(TLinvarRun &run)
{
    return run.Grab(ButtonArea(Layout::BackButton));
}

// Waits for the end of a write that began after the first `from` frames: every parameter
// written, the page locked meanwhile and unlocked again ("Назад" drawn as `idle`).
bool WaitForWrite(TLinvarRun &run, size_t from, const TImage &idle)
{
    return WaitUntil([&] { return BackButtonLook(run) != idle; }, 5'000) && WaitUntil([&] {
               return Select(run.Requests(), from, CMD_WRITE_PARAM, Device12).size() >=
                          Device12Params &&
                      BackButtonLook(run) == idle;
           });
}

// Clicks "Записать" on device 12's page and returns the values written.
TValues Write(TLinvarRun &run)
{
    const TImage idle = BackButtonLook(run);
    const size_t mark = run.Requests().size();
    run.Click(Layout::SaveButton);
    if (!WaitForWrite(run, mark, idle))
        return {};
    return WrittenValues(Select(run.Requests(), mark, CMD_WRITE_PARAM, Device12));
}

// Replaces the whole text of the editor, which has the keyboard focus, by typing.
void Retype(TLinvarRun &run, const std::string &text)
{
    run.X.Key(XK_a, XK_Control_L);
    run.X.Type(text);
}

} // namespace

TEST_F(ParamsPage, OpensByDoubleClickAndByButtonAndBackReturnsToTheList)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(run.Poll());
    EXPECT_TRUE(run.ListPageShown());

    size_t mark = run.Requests().size();
    run.X.DoubleClick(run.Main, ListRow(Device12Row));
    ASSERT_TRUE(WaitForPage(run, mark, Device12));
    EXPECT_EQ(ReadIndices(run, mark, Device12), std::set<int>({1, 2, 3, 4}));

    run.Click(Layout::BackButton);
    ASSERT_TRUE(WaitUntil([&] { return run.ListPageShown(); })) << "\"Назад\" took no click";

    // Another entry chosen with the pointer, then the button.
    run.Click(ListRow(Device33Row));
    mark = run.Requests().size();
    run.Click(Layout::ParamsButton);
    ASSERT_TRUE(WaitForPage(run, mark, Device33));
    EXPECT_TRUE(Select(run.Requests(), mark, CMD_READ_PARAM, Device12).empty());
}

TEST_F(ParamsPage, ButtonsTakeThePointersClickAndTabReachesThem)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));

    // Held down, "Записать" is drawn pressed (and stays so while held); released, it writes.
    const TImage idle = BackButtonLook(run);
    run.X.Hover(run.Main, Layout::SaveButton);
    const TImage hovered = run.Grab(ButtonArea(Layout::SaveButton));
    size_t mark = run.Requests().size();
    run.X.Press(run.Main, Layout::SaveButton);
    EXPECT_TRUE(
        WaitUntil([&] { return run.Grab(ButtonArea(Layout::SaveButton)) != hovered; }, 1'000))
        << "\"Записать\" is not drawn pressed while held";
    run.X.Button(false);
    ASSERT_TRUE(WaitForWrite(run, mark, idle)) << "\"Записать\" took no click";
    EXPECT_EQ(WrittenValues(Select(run.Requests(), mark, CMD_WRITE_PARAM, Device12)),
              TValues({{1, 12}, {2, 96}, {3, 4}, {4, 250}}));

    // From the editor, Tab moves the focus on until a button has it; Space presses that button,
    // whichever it is: a write, the defaults in the grid, or the list page.
    const TImage values = run.Grab(Layout::GridValuesBelowRow0);
    mark = run.Requests().size();
    std::string acted;
    for (int tabs = 0; tabs < 6 && acted.empty(); ++tabs) {
        run.X.Key(XK_Tab);
        run.X.Key(XK_space);
        WaitUntil(
            [&] {
                if (!Select(run.Requests(), mark, CMD_WRITE_PARAM, Device12).empty())
                    acted = "Записать";
                else if (run.ListPageShown())
                    acted = "Назад";
                else if (run.Grab(Layout::GridValuesBelowRow0) != values)
                    acted = "По умолчанию";
                return !acted.empty();
            },
            500);
    }
    EXPECT_FALSE(acted.empty()) << "Tab never brought a button the focus";
}

TEST_F(ParamsPage, TypedValuesReachTheWireAsTyped)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));

    // The editor opens on row 0 with the focus. Emptied, it must not fill itself in: typing 3
    // gives 3 (not 13, the minimum 1 followed by the 3).
    run.X.Key(XK_a, XK_Control_L);
    run.X.Key(XK_BackSpace);
    run.X.Type("3");
    run.X.Key(XK_Down);
    // A full stop is a decimal mark too, though the locale's is the comma.
    Retype(run, "19.2");
    run.X.Key(XK_Down);
    // A minus sign first is kept (-5, not 05); leaving the row clamps to the minimum 0.
    Retype(run, "-5");
    run.X.Key(XK_Down);
    Retype(run, "3,75");
    EXPECT_EQ(Write(run), TValues({{1, 3}, {2, 192}, {3, 0}, {4, 375}}));
}

TEST_F(ParamsPage, RowsChosenWithThePointerAndTheKeysAndDefaultsReachTheWire)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(run.Poll());
    run.Click(ListRow(Device12Row));
    const size_t mark = run.Requests().size();
    run.Click(Layout::ParamsButton);
    ASSERT_TRUE(WaitForPage(run, mark, Device12));

    // A click on a row's name puts the editor there; Up, Home and End move it on.
    run.Click(GridRow(3));
    Retype(run, "7");
    run.X.Key(XK_Up);
    Retype(run, "9");
    run.X.Key(XK_Home);
    Retype(run, "44");
    run.X.Key(XK_End);
    EXPECT_EQ(Write(run), TValues({{1, 44}, {2, 96}, {3, 9}, {4, 700}}));

    // "По умолчанию" puts the catalogue's defaults in every row, and they are what is written.
    run.Click(Layout::DefButton);
    EXPECT_EQ(Write(run), TValues({{1, 1}, {2, 96}, {3, 4}, {4, 150}}));
}
