// Start-up benchmark: the time from a process's start (fork and exec) to the first paint of
// the main window, offscreen, with the sample catalogue and a serial port that opens; and the
// resident memory at that moment. Each run is a fresh process; the figures are medians.
// The last line: startup_ms=<median> rss_mb=<median>.

#include "link/Clock.h"
#include "ui/UAbout.h"
#include "ui/UErrorBox.h"
#include "ui/ULinvar.h"
#include "ui/ULinvarApplication.h"

#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Runs = 15;

// Resident set of this process in kB, from /proc.
long ResidentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

// Reports the moment of the first paint of anything in the main window, then ends the run.
class FirstPaintWatch : public QObject
{
public:
    FirstPaintWatch(QWidget *window, int fd) : Window(window), Fd(fd) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!Done && event->type() == QEvent::Paint && watched->isWidgetType() &&
            (watched == Window || Window->isAncestorOf(static_cast<QWidget *>(watched)))) {
            Done = true;
            const int64_t paintedAt = MonotonicNs();
            // After the paint that is under way has finished.
            QTimer::singleShot(0, [this, paintedAt] {
                char line[64];
                const int n = std::snprintf(line, sizeof line, "%lld %ld\n",
                                            static_cast<long long>(paintedAt), ResidentKb());
                (void)!write(Fd, line, static_cast<size_t>(n));
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *Window;
    int Fd;
    bool Done = false;
};

// The program's start, as the program entry does it, reporting the first paint to `fd`.
int Child(int argc, char **argv, int fd)
{
    TLinvarApplication app(argc, argv);
    SetErrorBoxFunction([](QWidget *, TBoxKind, const QString &text, const QString &) {
        std::fprintf(stderr, "bench_startup: error box: %s\n", qPrintable(text));
    });
    TMainFormLinvar window(QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR));
    TAboutForm about(&window);
    window.SetAboutForm(&about);
    if (window.TerminateRequested())
        return 1;
    FirstPaintWatch watch(&window, fd);
    app.installEventFilter(&watch);
    window.show();
    return app.exec();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return Child(argc, argv, std::atoi(argv[2]));

    // A pseudo-terminal stands in for the serial port the window opens at start.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("bench_startup: pseudo-terminal");
        return 1;
    }
    char dir[] = "/tmp/linvar-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        std::perror("bench_startup: temporary folder");
        return 1;
    }
    const std::string settings = std::string(dir) + "/rs485.conf";
    std::ofstream(settings) << "COM1=" << ptsname(master) << "\n";
    setenv("LINVAR_SETTINGS", settings.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::vector<double> startupMs, rssMb;
    for (int run = 0; run < Runs; ++run) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return 1;
        const int64_t startedAt = MonotonicNs();
        const pid_t pid = fork();
        if (pid == 0) {
            close(pipeFds[0]);
            // The platform plugin's chatter would bury the figures.
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0)
                dup2(null, STDERR_FILENO);
            const std::string fd = std::to_string(pipeFds[1]);
            execl("/proc/self/exe", argv[0], "--child", fd.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        char buffer[128] = {};
        size_t got = 0;
        ssize_t n = 0;
        while ((n = read(pipeFds[0], buffer + got, sizeof buffer - 1 - got)) > 0)
            got += static_cast<size_t>(n);
        close(pipeFds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        long long paintedAt = 0;
        long rssKb = 0;
        if (std::sscanf(buffer, "%lld %ld", &paintedAt, &rssKb) != 2) {
            std::fprintf(stderr, "bench_startup: run %d reported nothing\n", run);
            continue;
        }
        const double ms = static_cast<double>(paintedAt - startedAt) / 1e6;
        startupMs.push_back(ms);
        rssMb.push_back(static_cast<double>(rssKb) / 1024.0);
        std::printf("run %2d: startup %.1f ms, rss %.1f MB\n", run, ms, rssMb.back());
    }
    std::remove(settings.c_str());
    rmdir(dir);
    close(master);
    if (startupMs.empty())
        return 1;
    std::printf("startup_ms=%.1f rss_mb=%.1f\n", Median(startupMs), Median(rssMb));
    return 0;
}
