#pragma once
// Support of the operator tests: one X server with a window manager for the whole test run,
// the processes a test starts (each stopped by its own pid), input through XTest as a person's
// pointer and keyboard arrive, window lookup and screenshots, and the request frames that the
// bus simulator logged. The tests see the program only as a person and the bus see it.

#include "tests/support/ChildProcess.h"
#include "tests/support/Ser2netProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

// An X window id (Xlib's Window). Xlib stays out of this header: its macros None, Bool and
// Status break GoogleTest's headers.
using TXWindow = unsigned long;
constexpr TXWindow NoWindow = 0;
struct _XDisplay;

// A point in a window's client area.
struct TPoint
{
    int X = 0;
    int Y = 0;
};

// A rectangle in a window's client area.
struct TRect
{
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

// The area of a push button around its centre.
constexpr TRect ButtonArea(TPoint centre)
{
    return {centre.X - 36, centre.Y - 9, 72, 18};
}

// Where a person finds the controls, in client coordinates of the main window, which has a
// fixed size (445 × 391) and the layout of docs/screenshots; the About box likewise.
namespace Layout {
constexpr TPoint AboutMenu{47, 10};
constexpr TPoint SetMenu{150, 10};
constexpr TPoint SaveSetItem{150, 30};
constexpr TPoint ZeroAddressBox{209, 37};
constexpr TRect List{8, 56, 300, 262};
constexpr TPoint ListRow0{60, 62};
constexpr int ListRowPitch = 16;
constexpr TPoint PollButton{310, 345};
constexpr TPoint ParamsButton{395, 345};
constexpr TPoint GridRow0{100, 55};
constexpr int GridRowPitch = 21;
// Value cells of rows 1 to 3, where the editor does not float right after a read.
constexpr TRect GridValuesBelowRow0{372, 67, 66, 62};
constexpr TPoint GridTitle{100, 34};
constexpr TPoint DefButton{177, 346};
constexpr TPoint SaveButton{281, 346};
constexpr TPoint BackButton{389, 346};
constexpr TPoint AboutCloseButton{229, 140};
constexpr TPoint TrafficMenu{255, 10};
// In the traffic window's client area: the attempts' rows, the health tab, the health grid's
// rows below its title.
constexpr TRect TrafficRows{20, 62, 360, 270};
constexpr TPoint HealthTab{140, 18};
constexpr TRect HealthRows{12, 56, 700, 100};
constexpr int HealthRowPitch = 18;
} // namespace Layout

// A point of list entry `row`.
constexpr TPoint ListRow(int row)
{
    return {Layout::ListRow0.X, Layout::ListRow0.Y + row * Layout::ListRowPitch};
}

// A point of the name cell of grid row `row`.
constexpr TPoint GridRow(int row)
{
    return {Layout::GridRow0.X, Layout::GridRow0.Y + row * Layout::GridRowPitch};
}

// Pixels of a screenshot, 0xRRGGBB each, row by row.
struct TImage
{
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;

    // The pixel at (x, y).
    uint32_t At(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    bool operator==(const TImage &other) const = default;
};

// True when every pixel has one colour: nothing is drawn there but a background.
bool Uniform(const TImage &image);
// Bands of rows that hold anything but the background (the commonest colour): the lines of
// text in a list, a highlighted entry counting as one.
int InkBands(const TImage &image);
// Writes the image as a binary PPM file (for a person to look at after a failure).
bool SavePpm(const TImage &image, const std::string &path);

// The X server (Xvfb) and window manager (openbox) shared by every test of the run; they are
// started on first use and stopped when the runner ends.
class TXSession
{
public:
    // The one session of this run.
    static TXSession &Get();
    ~TXSession();

    // True when the server and the window manager run.
    bool Ready() const { return Dpy != nullptr && Failure.empty(); }
    // Why the session is not ready.
    const std::string &Error() const { return Failure; }
    // The display name for the programs started on it, e.g. ":3".
    const std::string &DisplayName() const { return FDisplayName; }

    // The managed top-level windows of process `pid`, in the order the manager lists them.
    std::vector<TXWindow> WindowsOf(pid_t pid);
    // The window that `window` is a dialog of, or NoWindow.
    TXWindow TransientFor(TXWindow window);
    // The caption of a window (_NET_WM_NAME, else WM_NAME).
    std::string Title(TXWindow window);
    // True when the window is mapped, has its frame and can be drawn.
    bool Viewable(TXWindow window);
    // A screenshot of `area` of a window's client area; empty when it cannot be taken.
    TImage Grab(TXWindow window, TRect area);
    // A screenshot of the whole client area.
    TImage Grab(TXWindow window);

    // Moves the pointer onto `at` in the window and lets it rest there as a hand does.
    void Hover(TXWindow window, TPoint at);
    // Presses or releases the left button where the pointer is.
    void Button(bool down);
    // Hovers, presses the left button and holds it down as long as a finger does.
    void Press(TXWindow window, TPoint at);
    // A click: hover, press, hold, release.
    void Click(TXWindow window, TPoint at);
    // A double click at `at`, within the toolkit's double-click time.
    void DoubleClick(TXWindow window, TPoint at);
    // Clicks the close box in the window's title bar (drawn by the window manager).
    void ClickCloseBox(TXWindow window);
    // Turns the wheel by `notches` where the pointer is: up when positive, down when negative.
    void Wheel(int notches);
    // Where a window's client area lies on the screen, in root coordinates.
    TRect ScreenRect(TXWindow window);
    // Asks for a window's client area to be `width` × `height`, as dragging its frame does.
    void Resize(TXWindow window, int width, int height);
    // Presses and releases a key, with `modifier` (a key symbol such as XK_Control_L) held.
    void Key(unsigned long keySym, unsigned long modifier = 0);
    // Types digits, signs, full stops and commas one key at a time.
    void Type(const std::string &text);

private:
    TXSession();
    bool StartServer();
    bool StartWindowManager();
    TPoint RootPoint(TXWindow window, TPoint at);

    std::string Failure;
    TTempDir Folder{"linvar-operator-x-"};
    std::string FDisplayName;
    _XDisplay *Dpy = nullptr;
    TChildProcess Server;
    TChildProcess WindowManager;
};

// A request frame that the program sent, as the simulator received it.
struct TFrame
{
    uint8_t Address = 0;
    uint8_t Command = 0;
    std::vector<uint8_t> Data; // bytes 5..L: what follows the command
};

// The request frames of a simulator log (its --verbose output), in order, retries included:
// every complete frame with a right check byte in the bytes it received.
std::vector<TFrame> RequestFrames(const std::string &logPath);
// The frames after the first `from` of `frames` whose command is `command` and whose address
// is `address`.
std::vector<TFrame> Select(const std::vector<TFrame> &frames, size_t from, uint8_t command,
                           uint8_t address);
// The last value written to each parameter index by the write frames among `frames`, as
// (index, raw value) pairs in index order.
std::vector<std::pair<int, int>> WrittenValues(const std::vector<TFrame> &frames);

// One run of the program on the simulated bus under the shared X server: the simulator with
// its frame log, the program with the sample catalogue in a Russian (comma) locale, its main
// window. Everything it starts, it stops by pid.
class TLinvarRun
{
public:
    // `busLines`: directives put before the bus's own (`echo`: a converter that hands back
    // what it sends). `remote`: the program reaches the bus through a network serial server
    // (ser2net on the simulator's pseudo-terminal), as port 7 mapped to its RFC 2217 address;
    // the simulator's own port number is then outside the numbers the window tries at start.
    // `busConfig`: the simulator configuration file of the bus.
    explicit TLinvarRun(const std::string &busLines = {}, bool remote = false,
                        const std::string &busConfig = LINVAR_OPERATOR_BUS);
    ~TLinvarRun();
    TLinvarRun(const TLinvarRun &) = delete;
    TLinvarRun &operator=(const TLinvarRun &) = delete;

    // True when the simulator runs and the main window is shown.
    bool Ready() const { return Failure.empty(); }
    // Why the run is not ready.
    const std::string &Error() const { return Failure; }

    TXSession &X;
    TChildProcess Program;
    // The program's main window.
    TXWindow Main = NoWindow;

    // A click on the main window.
    void Click(TPoint at) { X.Click(Main, at); }
    // A screenshot of part of the main window.
    TImage Grab(TRect area) { return X.Grab(Main, area); }
    // The request frames sent so far.
    std::vector<TFrame> Requests() const { return RequestFrames(SimLog); }
    // The program's output so far (Qt warnings and the like), for failure messages.
    std::string ProgramOutput() const;
    // The program's home folder, a fresh one of the run's own: its file dialogs start there.
    const std::string &Home() const { return FHome; }

    // True while the list page is shown: nothing is drawn where the parameter page has
    // "По умолчанию".
    bool ListPageShown() { return Uniform(Grab(ButtonArea(Layout::DefButton))); }
    // True when "Параметры" is drawn otherwise than disabled, as at the start.
    bool ParamsEnabled() { return Grab(ButtonArea(Layout::ParamsButton)) != ParamsDisabled; }
    // Clicks "Опрос" and waits for the sweep's end: the last address polled and "Параметры"
    // enabled for the first entry.
    bool Poll();
    // The program's windows other than the main window (the About box, error boxes).
    std::vector<TXWindow> Dialogs();

private:
    TTempDir Folder{"linvar-operator-"};
    std::unique_ptr<SimulatorProcess> Simulator;
    std::unique_ptr<TSer2netProcess> Server;
    std::string Failure;
    std::string SimLog;
    std::string ProgramLog;
    std::string FHome;
    TImage ParamsDisabled;
};

// Fixture of the operator tests: a fresh program run per test; at its end the program must
// still be running unless the test let it end, and a failure leaves a screenshot behind.
class TOperatorTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<TLinvarRun> Run;
    // Directives a fixture adds to the bus's configuration before the program starts.
    std::string BusLines;
    // Set by a fixture whose program reaches the bus through ser2net (TLinvarRun's `remote`).
    bool Remote = false;
    // Set by a test that closes the program itself.
    bool ProgramMayEnd = false;
};
