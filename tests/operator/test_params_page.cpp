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

#include <fstream>
#include <set>
#include <sstream>

namespace {

using ParamsPage = TOperatorTest;

// The window on a bus behind a network serial server, reached as port 7.
class RemoteBus : public TOperatorTest
{
public:
    RemoteBus() { Remote = true; }
};
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

// A point of the value cell of grid row `row`, where the editor floats when the row is selected.
constexpr TPoint GridValue(int row)
{
    return {Layout::GridValuesBelowRow0.X + 33, GridRow(row).Y};
}

// The one dialog the program shows, once it is drawn; NoWindow when none came.
TXWindow WaitForDialog(TLinvarRun &run)
{
    TXWindow dialog = NoWindow;
    WaitUntil([&] {
        const std::vector<TXWindow> dialogs = run.Dialogs();
        dialog = dialogs.size() == 1 ? dialogs.front() : NoWindow;
        return dialog != NoWindow && !Uniform(run.X.Grab(dialog));
    });
    return dialog;
}

// The rightmost column that holds text (near-black pixels) in `area` of a window.
int TextRightEdge(TLinvarRun &run, TXWindow window, TRect area)
{
    const TImage image = run.X.Grab(window, area);
    int right = -1;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const uint32_t p = image.At(x, y);
            if ((p >> 16 & 0xFF) < 80 && (p >> 8 & 0xFF) < 80 && (p & 0xFF) < 80)
                right = std::max(right, x);
        }
    }
    return right;
}

std::string ReadText(const std::string &path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
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

TEST_F(ParamsPage, WheelStepsOnlyTheFocusedEditorOncePerNotchAndElseScrollsTheGrid)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));

    // The focus goes on to a button. Turned over row 1's value, the wheel moves the selection
    // there, which brings the editor under the pointer; the next turns, over the editor that
    // has no focus, go on scrolling the grid and change no value.
    run.X.Key(XK_Tab);
    run.X.Hover(run.Main, GridValue(1));
    run.X.Wheel(-3);
    EXPECT_EQ(Write(run), TValues({{1, 12}, {2, 96}, {3, 4}, {4, 250}}));

    // Chosen by a click, the editor has the focus: each notch over it is one raw step.
    run.Click(GridRow(1));
    run.X.Hover(run.Main, GridValue(1));
    run.X.Wheel(2);
    EXPECT_EQ(Write(run), TValues({{1, 12}, {2, 98}, {3, 4}, {4, 250}}));
}

TEST_F(ParamsPage, ClickOnTheSelectedRowGivesTheEditorTheKeys)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));
    run.Click(GridRow(2));
    // Away to a button and back by a click on the row that stays selected.
    run.X.Key(XK_Tab);
    run.Click(GridRow(2));
    Retype(run, "44");
    EXPECT_EQ(Write(run), TValues({{1, 12}, {2, 96}, {3, 44}, {4, 250}}));
}

TEST_F(ParamsPage, PartlyShownLastRowScrollsIntoViewWithItsEditor)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));
    // So low a window shows three rows of device 12 and the top of the fourth.
    run.X.Resize(run.Main, 445, 188);
    ASSERT_TRUE(WaitUntil([&] { return run.X.ScreenRect(run.Main).Height == 188; }));
    run.Click({GridRow(3).X, GridRow(3).Y - 8});
    Retype(run, "7");
    // Back to the usual size, where the buttons are.
    run.X.Resize(run.Main, 445, 391);
    ASSERT_TRUE(WaitUntil([&] { return run.X.ScreenRect(run.Main).Height == 391; }));
    EXPECT_EQ(Write(run), TValues({{1, 12}, {2, 96}, {3, 4}, {4, 700}}));
}

TEST_F(ParamsPage, BackAfterAnEditAsksAndStayingKeepsTheEdit)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));
    Retype(run, "20");
    run.Click(Layout::BackButton);
    const TXWindow question = WaitForDialog(run);
    ASSERT_NE(question, NoWindow) << "\"Назад\" left the edit without asking";
    EXPECT_EQ(run.X.Title(question), "Подтверждение");
    // Escape is "Остаться": the page stays with the edit, which a write then sends.
    run.X.Key(XK_Escape);
    ASSERT_TRUE(WaitUntil([&] { return run.Dialogs().empty(); }));
    EXPECT_FALSE(run.ListPageShown());
    run.Click(GridRow(0));
    EXPECT_EQ(Write(run), TValues({{1, 20}, {2, 96}, {3, 4}, {4, 250}}));
    // Written, nothing is unsaved: "Назад" goes back at once.
    run.Click(Layout::BackButton);
    EXPECT_TRUE(WaitUntil([&] { return run.ListPageShown(); }));
    EXPECT_TRUE(run.Dialogs().empty());
}

TEST_F(ParamsPage, SetSavedInARussianDialogHoldsTheTypedValueBroughtToItsMaximum)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));
    // "Сетевой адрес" goes up to 127; the menu takes no focus from the editor.
    Retype(run, "300");
    run.Click(Layout::SetMenu);
    run.Click(Layout::SaveSetItem);
    const TXWindow dialog = WaitForDialog(run);
    ASSERT_NE(dialog, NoWindow);

    // The dialog's two buttons stand one above the other at its lower right, their labels
    // centred: "Сохранить" reaches further right than "Отмена", where "Save" would stop
    // short of "Cancel".
    const TRect frame = run.X.ScreenRect(dialog);
    const auto russian = [&] {
        const int accept =
            TextRightEdge(run, dialog, {frame.Width - 110, frame.Height - 66, 104, 24});
        const int cancel =
            TextRightEdge(run, dialog, {frame.Width - 110, frame.Height - 36, 104, 24});
        return accept > cancel + 4;
    };
    EXPECT_TRUE(WaitUntil(russian, 3'000)) << "the file dialog's buttons are not in Russian";

    // Enter takes the offered name in the home folder.
    run.X.Key(XK_Return);
    const std::string path = run.Home() + "/прибор-12.json";
    ASSERT_TRUE(WaitUntil([&] { return ReadText(path).find('}') != std::string::npos; }));
    const std::string saved = ReadText(path);
    EXPECT_NE(saved.find("\"raw\": 127"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("\"raw\": 300"), std::string::npos) << saved;
}

namespace {

// A two-wire converter whose receiver stays on while it sends hands every request back
// before the reply.
class EchoBus : public TOperatorTest
{
public:
    EchoBus() { BusLines = "echo"; }
};

// The bus with one more device, at 40 (type 18: rows 1, 2, 5 and 7), whose parameter 1 is its
// bus address: it takes a new address written to it once it has replied.
class MovingBus : public TOperatorTest
{
public:
    MovingBus()
    {
        BusLines = "device 40 type 18 version 1.11 identify 5\nparam 1 byte 40 address\n"
                   "param 2 word 96\nparam 5 byte 0\nparam 7 word 20";
    }
};
constexpr int Device40Row = 3;

// The frames a request of `command` to `address` went out in after the first `from`.
size_t Sent(TLinvarRun &run, size_t from, uint8_t command, uint8_t address)
{
    return Select(run.Requests(), from, command, address).size();
}

} // namespace

// The link drops the echo: a person's poll, opening and write put on the wire what they put
// there on a quiet converter, each request once, none repeated for an echo taken as a reply.
TEST_F(EchoBus, APollAnOpeningAndAWriteSendTheFramesOfAQuietBus)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(run.Poll());
    EXPECT_TRUE(WaitUntil([&] { return InkBands(run.Grab(Layout::List)) == 4; }))
        << InkBands(run.Grab(Layout::List)) << " entries shown";
    for (const uint8_t address : {5, 12, 33, 90}) {
        EXPECT_EQ(Sent(run, 0, CMD_PING, address), 1u) << int(address);
        EXPECT_EQ(Sent(run, 0, CMD_IDENTIFY, address), 1u) << int(address);
    }

    const size_t opened = run.Requests().size();
    run.X.DoubleClick(run.Main, ListRow(Device12Row));
    ASSERT_TRUE(WaitForPage(run, opened, Device12));
    ASSERT_TRUE(WaitUntil([&] { return ReadIndices(run, opened, Device12).size() == 4; }));

    const size_t written = run.Requests().size();
    EXPECT_EQ(Write(run), (TValues{{1, 12}, {2, 96}, {3, 4}, {4, 250}}));
    const std::vector<TFrame> frames = run.Requests();
    EXPECT_EQ(frames.size() - written, Device12Params);
    EXPECT_EQ(Sent(run, opened, CMD_READ_PARAM, Device12), Device12Params);
}

TEST_F(RemoteBus, PollReadAndWriteThroughRfc2217OnPort7)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(OpenDevice12(run));
    Retype(run, "5");
    EXPECT_EQ(Write(run), TValues({{1, 5}, {2, 96}, {3, 4}, {4, 250}}));
}

// An operator gives a device a new address and another value in one write: the address goes
// to the old address, everything after it to the new one, a box says where the device is
// now, and its list entry opens it there.
TEST_F(MovingBus, AWrittenAddressMovesTheDeviceAndTheRestOfTheWriteFollowsIt)
{
    TLinvarRun &run = *Run;
    ASSERT_TRUE(run.Poll());
    ASSERT_TRUE(WaitUntil([&] { return InkBands(run.Grab(Layout::List)) == 5; }));
    size_t mark = run.Requests().size();
    run.X.DoubleClick(run.Main, ListRow(Device40Row));
    ASSERT_TRUE(WaitForPage(run, mark, 40));
    ASSERT_TRUE(WaitUntil([&] { return ReadIndices(run, mark, 40).size() == 4; }));

    Retype(run, "41");
    for (int row = 0; row < 3; ++row)
        run.X.Key(XK_Down);
    Retype(run, "33"); // 33 is another device's address: the write must not go there
    mark = run.Requests().size();
    run.Click(Layout::SaveButton);
    const TXWindow box = WaitForDialog(run);
    ASSERT_NE(box, NoWindow);
    EXPECT_EQ(run.X.Title(box), "Сообщение");
    EXPECT_EQ(WrittenValues(Select(run.Requests(), mark, CMD_WRITE_PARAM, 40)), (TValues{{1, 41}}));
    EXPECT_EQ(WrittenValues(Select(run.Requests(), mark, CMD_WRITE_PARAM, 41)),
              (TValues{{2, 96}, {5, 0}, {7, 33}}));
    EXPECT_TRUE(Select(run.Requests(), mark, CMD_WRITE_PARAM, 33).empty());
    run.X.Key(XK_Return);
    ASSERT_TRUE(WaitUntil([&] { return run.Dialogs().empty(); }));

    run.Click(Layout::BackButton);
    ASSERT_TRUE(WaitUntil([&] { return run.ListPageShown(); }));
    mark = run.Requests().size();
    run.X.DoubleClick(run.Main, ListRow(Device40Row));
    EXPECT_TRUE(WaitForPage(run, mark, 41));
}
