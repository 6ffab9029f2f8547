#include "tests/operator/OperatorSupport.h"

#include "link/Link.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// A person's pace: the pointer rests on a control before the press, a button is held down
// for a moment, keys follow each other quickly but not at once.
constexpr int RestMs = 150;
constexpr int HoldMs = 100;
constexpr int DoubleClickGapMs = 60;
constexpr int KeyMs = 25;
constexpr int StartTimeoutMs = 10'000;

void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Options of a child whose stdout and stderr go to the file `path`.
TChildOptions LogTo(const std::string &path)
{
    TChildOptions options;
    options.Stdout = TChildOutput::File;
    options.Stderr = TChildOutput::File;
    options.LogPath = path;
    return options;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A failed request (a window that went away between lookup and use) must not end the runner,
// which is what Xlib's default handler does.
int IgnoreXError(Display *, XErrorEvent *)
{
    return 0;
}

// The 32-bit items (windows, cardinals) of a window property; empty when it is not set.
std::vector<unsigned long> PropertyItems(Display *dpy, Window window, const char *name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(dpy, window, XInternAtom(dpy, name, False), 0, 1024, False, type,
                       &actualType, &format, &count, &after, &data);
    // Xlib hands 32-bit items over as longs.
    const auto *items = reinterpret_cast<const unsigned long *>(data);
    std::vector<unsigned long> result(items, items + (format == 32 ? count : 0));
    if (data != nullptr)
        XFree(data);
    return result;
}

// The text of a window property; empty when it is not set.
std::string PropertyText(Display *dpy, Window window, Atom name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    XGetWindowProperty(dpy, window, name, 0, 1024, False, type, &actualType, &format, &count,
                       &after, &data);
    std::string text = data != nullptr && format == 8
                           ? std::string(reinterpret_cast<const char *>(data), count)
                           : std::string();
    if (data != nullptr)
        XFree(data);
    return text;
}

} // namespace

bool Uniform(const TImage &image)
{
    for (uint32_t pixel : image.Pixels) {
        if (pixel != image.Pixels.front())
            return false;
    }
    return !image.Pixels.empty();
}

int InkBands(const TImage &image)
{
    // The background is the colour most pixels have.
    std::map<uint32_t, size_t> counts;
    for (uint32_t pixel : image.Pixels)
        ++counts[pixel];
    uint32_t background = 0;
    size_t most = 0;
    for (const auto &[colour, count] : counts) {
        if (count > most) {
            background = colour;
            most = count;
        }
    }
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < image.Height; ++y) {
        bool ink = false;
        for (int x = 0; x < image.Width && !ink; ++x)
            ink = image.At(x, y) != background;
        if (ink && !inBand)
            ++bands;
        inBand = ink;
    }
    return bands;
}

bool SavePpm(const TImage &image, const std::string &path)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.Width << " " << image.Height << "\n255\n";
    for (uint32_t pixel : image.Pixels) {
        const char rgb[3] = {char(pixel >> 16), char(pixel >> 8), char(pixel)};
        out.write(rgb, 3);
    }
    return bool(out);
}

// ---- TXSession

TXSession &TXSession::Get()
{
    static TXSession session;
    return session;
}

TXSession::TXSession()
{
    if (Folder.Path.empty())
        Failure = "cannot create a temporary folder";
    else if (StartServer())
        StartWindowManager();
}

TXSession::~TXSession()
{
    if (Dpy != nullptr)
        XCloseDisplay(Dpy);
    WindowManager.Stop();
    Server.Stop();
}

bool TXSession::StartServer()
{
    // Xvfb picks a free display number itself and writes it to the descriptor we pass.
    int numberPipe[2];
    if (pipe2(numberPipe, O_CLOEXEC) != 0) {
        Failure = "pipe: " + std::string(std::strerror(errno));
        return false;
    }
    const std::string numberFd = std::to_string(numberPipe[1]);
    TChildOptions options = LogTo(Folder.File("xvfb.log"));
    options.KeepFd = numberPipe[1];
    const bool started = Server.Start({LINVAR_XVFB_PATH, "-displayfd", numberFd, "-screen", "0",
                                       "1024x768x24", "-nolisten", "tcp", "-noreset"},
                                      options);
    close(numberPipe[1]);
    std::string number;
    pollfd p{numberPipe[0], POLLIN, 0};
    while (started && number.find('\n') == std::string::npos && poll(&p, 1, StartTimeoutMs) > 0) {
        char buffer[16];
        const ssize_t n = read(numberPipe[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, size_t(n));
    }
    close(numberPipe[0]);
    if (!started || number.find('\n') == std::string::npos) {
        Failure = "Xvfb did not start: " + Server.Error() + ReadFile(Folder.File("xvfb.log"));
        return false;
    }
    FDisplayName = ":" + number.substr(0, number.find('\n'));
    XSetErrorHandler(IgnoreXError);
    Dpy = XOpenDisplay(FDisplayName.c_str());
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (Dpy == nullptr || !XTestQueryExtension(Dpy, &event, &error, &major, &minor)) {
        Failure = "cannot use display " + FDisplayName + " with XTest";
        return false;
    }
    return true;
}

bool TXSession::StartWindowManager()
{
    TChildOptions options = LogTo(Folder.File("openbox.log"));
    options.Environment = {"DISPLAY=" + FDisplayName};
    if (!WindowManager.Start({LINVAR_OPENBOX_PATH, "--sm-disable"}, options)) {
        Failure = "openbox did not start";
        return false;
    }
    // A window manager announces itself on the root window once it manages windows.
    const bool up = WaitUntil(
        [&] {
            return WindowManager.Running() && !PropertyItems(Dpy, DefaultRootWindow(Dpy),
                                                             "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
                                                   .empty();
        },
        StartTimeoutMs);
    if (!up)
        Failure = "openbox did not take over the screen: " + ReadFile(Folder.File("openbox.log"));
    return up;
}

std::vector<TXWindow> TXSession::WindowsOf(pid_t pid)
{
    std::vector<TXWindow> found;
    const Window root = DefaultRootWindow(Dpy);
    for (unsigned long window : PropertyItems(Dpy, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        if (PropertyItems(Dpy, window, "_NET_WM_PID", XA_CARDINAL) ==
            std::vector<unsigned long>{static_cast<unsigned long>(pid)})
            found.push_back(window);
    }
    return found;
}

TXWindow TXSession::TransientFor(TXWindow window)
{
    Window owner = None;
    return XGetTransientForHint(Dpy, window, &owner) ? owner : NoWindow;
}

std::string TXSession::Title(TXWindow window)
{
    const std::string title = PropertyText(Dpy, window, XInternAtom(Dpy, "_NET_WM_NAME", False),
                                           XInternAtom(Dpy, "UTF8_STRING", False));
    return !title.empty() ? title : PropertyText(Dpy, window, XA_WM_NAME, AnyPropertyType);
}

bool TXSession::Viewable(TXWindow window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Dpy, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    // The manager sets the frame's extents once it has put the window into its frame.
    return PropertyItems(Dpy, window, "_NET_FRAME_EXTENTS", XA_CARDINAL).size() == 4;
}

TImage TXSession::Grab(TXWindow window, TRect area)
{
    TImage image;
    XImage *shot = XGetImage(Dpy, window, area.X, area.Y, unsigned(area.Width),
                             unsigned(area.Height), AllPlanes, ZPixmap);
    if (shot == nullptr)
        return image;
    image.Width = area.Width;
    image.Height = area.Height;
    image.Pixels.reserve(size_t(area.Width) * size_t(area.Height));
    for (int y = 0; y < area.Height; ++y) {
        for (int x = 0; x < area.Width; ++x)
            image.Pixels.push_back(uint32_t(XGetPixel(shot, x, y)) & 0xFFFFFFu);
    }
    XDestroyImage(shot);
    return image;
}

TImage TXSession::Grab(TXWindow window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Dpy, window, &attributes))
        return {};
    return Grab(window, {0, 0, attributes.width, attributes.height});
}

TPoint TXSession::RootPoint(TXWindow window, TPoint at)
{
    int x = 0;
    int y = 0;
    Window child = None;
    XTranslateCoordinates(Dpy, window, DefaultRootWindow(Dpy), at.X, at.Y, &x, &y, &child);
    return {x, y};
}

void TXSession::Hover(TXWindow window, TPoint at)
{
    const TPoint root = RootPoint(window, at);
    XTestFakeMotionEvent(Dpy, -1, root.X, root.Y, CurrentTime);
    XFlush(Dpy);
    Pause(RestMs);
}

void TXSession::Button(bool down)
{
    XTestFakeButtonEvent(Dpy, 1, down ? True : False, CurrentTime);
    XFlush(Dpy);
}

void TXSession::Press(TXWindow window, TPoint at)
{
    Hover(window, at);
    Button(true);
    Pause(HoldMs);
}

void TXSession::Click(TXWindow window, TPoint at)
{
    Press(window, at);
    Button(false);
}

void TXSession::DoubleClick(TXWindow window, TPoint at)
{
    Hover(window, at);
    for (int i = 0; i < 2; ++i) {
        Button(true);
        Pause(DoubleClickGapMs);
        Button(false);
        Pause(DoubleClickGapMs);
    }
}

void TXSession::ClickCloseBox(TXWindow window)
{
    // openbox's themes put the close box last in the title bar, a square as high as the bar:
    // its centre lies half a title height in from the frame's right edge.
    const std::vector<unsigned long> extents =
        PropertyItems(Dpy, window, "_NET_FRAME_EXTENTS", XA_CARDINAL); // left, right, top, bottom
    XWindowAttributes attributes;
    if (extents.size() == 4 && XGetWindowAttributes(Dpy, window, &attributes)) {
        const int right = int(extents[1]);
        const int top = int(extents[2]);
        Click(window, {attributes.width + right - top / 2, -top / 2});
    }
}

void TXSession::Wheel(int notches)
{
    // The X server reports a wheel notch as a click of button 4 (up) or 5 (down).
    const unsigned button = notches > 0 ? 4 : 5;
    for (int i = 0; i < (notches > 0 ? notches : -notches); ++i) {
        XTestFakeButtonEvent(Dpy, button, True, CurrentTime);
        XTestFakeButtonEvent(Dpy, button, False, CurrentTime);
        XFlush(Dpy);
        Pause(RestMs);
    }
}

TRect TXSession::ScreenRect(TXWindow window)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(Dpy, window, &attributes))
        return {};
    const TPoint origin = RootPoint(window, {0, 0});
    return {origin.X, origin.Y, attributes.width, attributes.height};
}

void TXSession::Resize(TXWindow window, int width, int height)
{
    XResizeWindow(Dpy, window, unsigned(width), unsigned(height));
    XFlush(Dpy);
    Pause(RestMs);
}

void TXSession::Key(unsigned long keySym, unsigned long modifier)
{
    const KeyCode code = XKeysymToKeycode(Dpy, keySym);
    const KeyCode held = modifier != 0 ? XKeysymToKeycode(Dpy, modifier) : 0;
    if (held != 0)
        XTestFakeKeyEvent(Dpy, held, True, CurrentTime);
    XTestFakeKeyEvent(Dpy, code, True, CurrentTime);
    XFlush(Dpy);
    Pause(KeyMs);
    XTestFakeKeyEvent(Dpy, code, False, CurrentTime);
    if (held != 0)
        XTestFakeKeyEvent(Dpy, held, False, CurrentTime);
    XFlush(Dpy);
    Pause(KeyMs);
}

void TXSession::Type(const std::string &text)
{
    for (char c : text) {
        switch (c) {
        case '-':
            Key(XK_minus);
            break;
        case '.':
            Key(XK_period);
            break;
        case ',':
            Key(XK_comma);
            break;
        default:
            if (c >= '0' && c <= '9')
                Key(XK_0 + static_cast<unsigned long>(c - '0'));
        }
    }
}

// ---- Frames in the simulator's log

std::vector<TFrame> RequestFrames(const std::string &logPath)
{
    // The simulator logs every read from its side of the line as "linvar-sim: rx HEX...";
    // a request may arrive in pieces (the check byte on its own), so the pieces are joined.
    std::vector<uint8_t> bytes;
    std::istringstream log(ReadFile(logPath));
    std::string line;
    while (std::getline(log, line)) {
        if (log.eof() || line.rfind("linvar-sim: rx ", 0) != 0)
            continue;
        std::istringstream hex(line.substr(15));
        unsigned value = 0;
        while (hex >> std::hex >> value)
            bytes.push_back(uint8_t(value));
    }
    std::vector<TFrame> frames;
    size_t i = 0;
    while (i + 1 < bytes.size()) {
        const size_t length = bytes[i + 1];
        if (length >= 5 && i + length < bytes.size() && bytes[i + 2] == 0 &&
            Crc8(&bytes[i], length) == bytes[i + length]) {
            frames.push_back({bytes[i], bytes[i + 3],
                              std::vector<uint8_t>(bytes.begin() + long(i) + 4,
                                                   bytes.begin() + long(i + length))});
            i += length + 1;
        } else {
            ++i;
        }
    }
    return frames;
}

std::vector<TFrame> Select(const std::vector<TFrame> &frames, size_t from, uint8_t command,
                           uint8_t address)
{
    std::vector<TFrame> selected;
    for (size_t i = from; i < frames.size(); ++i) {
        if (frames[i].Command == command && frames[i].Address == address)
            selected.push_back(frames[i]);
    }
    return selected;
}

std::vector<std::pair<int, int>> WrittenValues(const std::vector<TFrame> &frames)
{
    std::vector<std::pair<int, int>> values;
    for (const TFrame &frame : frames) {
        if (frame.Command != CMD_WRITE_PARAM || frame.Data.size() < 2)
            continue;
        // A byte parameter carries one value byte, a word two, low first.
        const int value =
            frame.Data.size() == 2 ? frame.Data[1] : frame.Data[1] | frame.Data[2] << 8;
        auto at = values.begin();
        while (at != values.end() && at->first < frame.Data[0])
            ++at;
        if (at != values.end() && at->first == frame.Data[0])
            at->second = value;
        else
            values.insert(at, {frame.Data[0], value});
    }
    return values;
}

// ---- TLinvarRun

TLinvarRun::TLinvarRun(const std::string &busLines, bool remote, const std::string &busConfig)
    : X(TXSession::Get())
{
    if (!X.Ready()) {
        Failure = X.Error();
        return;
    }
    if (Folder.Path.empty()) {
        Failure = "cannot create a temporary folder";
        return;
    }
    SimLog = Folder.File("sim.log");
    ProgramLog = Folder.File("linvar.log");
    FHome = Folder.File("home");
    std::filesystem::create_directory(FHome);

    // The simulator logs the frames it receives on its stderr.
    SimulatorProcess::TOptions options;
    options.Arguments = {"--verbose"};
    options.LogPath = SimLog;
    // Short ping time-outs and untimed sending, so that a sweep of the bus takes seconds.
    options.SettingsLines = {"StartTimeOut=0", "TimeoutConstant=15", "CmdTimeoutConstant=150",
                             "USARTMode=1", "SmartPI=1"};
    if (remote)
        options.Port = 200;
    std::string bus = busConfig;
    if (!busLines.empty()) {
        std::ifstream in(bus);
        std::ostringstream text;
        text << busLines << '\n' << in.rdbuf();
        bus = Folder.Write("bus.conf", text.str());
    }
    Simulator = std::make_unique<SimulatorProcess>(bus, options);
    if (!Simulator->Ready()) {
        Failure = "simulator: " + Simulator->Error();
        return;
    }
    if (remote) {
        Server = std::make_unique<TSer2netProcess>(Simulator->DevicePath());
        if (!Server->Ready()) {
            Failure = "ser2net: " + Server->Error();
            return;
        }
        std::ofstream(Simulator->SettingsPath(), std::ios::app)
            << "COM7=" << Server->Rfc2217Url() << "\n";
    }

    // The scripts run other tests offscreen; this program must reach the X server.
    TChildOptions program = LogTo(ProgramLog);
    program.Environment = {"DISPLAY=" + X.DisplayName(),
                           "QT_QPA_PLATFORM=xcb",
                           "LINVAR_SETTINGS=" + Simulator->SettingsPath(),
                           "LC_ALL=ru_RU.UTF-8",
                           "LANG=ru_RU.UTF-8",
                           "HOME=" + FHome};
    if (!Program.Start({LINVAR_PROGRAM_PATH}, program)) {
        Failure = Program.Error();
        return;
    }
    const bool shown = WaitUntil([this] {
        for (TXWindow window : X.WindowsOf(Program.Pid())) {
            if (X.TransientFor(window) == NoWindow && X.Viewable(window))
                Main = window;
        }
        // Painted: the list page's "Опрос" is drawn.
        return Main != NoWindow && !Uniform(Grab(ButtonArea(Layout::PollButton)));
    });
    if (!shown) {
        std::string seen;
        for (TXWindow window : X.WindowsOf(Program.Pid()))
            seen += " '" + X.Title(window) + (X.Viewable(window) ? "'" : "' (not viewable)");
        Failure = "the main window did not show; windows:" + seen + "; program output:\n" +
                  ProgramOutput();
        return;
    }
    ParamsDisabled = Grab(ButtonArea(Layout::ParamsButton));
}

TLinvarRun::~TLinvarRun()
{
    Program.Stop();
    Server.reset();
    Simulator.reset();
}

std::string TLinvarRun::ProgramOutput() const
{
    return ReadFile(ProgramLog);
}

bool TLinvarRun::Poll()
{
    const size_t mark = Requests().size();
    Click(Layout::PollButton);
    return WaitUntil(
        [&] { return !Select(Requests(), mark, CMD_PING, 126).empty() && ParamsEnabled(); },
        20'000);
}

std::vector<TXWindow> TLinvarRun::Dialogs()
{
    std::vector<TXWindow> dialogs;
    for (TXWindow window : X.WindowsOf(Program.Pid())) {
        if (window != Main && X.Viewable(window))
            dialogs.push_back(window);
    }
    return dialogs;
}

// ---- TOperatorTest

void TOperatorTest::SetUp()
{
    Run = std::make_unique<TLinvarRun>(BusLines, Remote);
    ASSERT_TRUE(Run->Ready()) << Run->Error();
}

void TOperatorTest::TearDown()
{
    if (!ProgramMayEnd) {
        EXPECT_TRUE(Run->Program.Running()) << "the program ended; its output:\n"
                                            << Run->ProgramOutput();
    }
    if (HasFailure() && Run->Main != NoWindow && Run->Program.Running()) {
        const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        const std::string path = name + ".ppm";
        if (SavePpm(Run->X.Grab(Run->Main), path))
            std::printf("The window at the failure: %s\n", path.c_str());
    }
    Run.reset();
}
