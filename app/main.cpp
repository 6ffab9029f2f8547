// Program entry: the application with its top-level error handler, the main window, the About
// box (hidden until asked for) and the message loop.

#include "link/Clock.h"
#include "ui/UAbout.h"
#include "ui/UAppIcon.h"
#include "ui/ULinvar.h"
#include "ui/ULinvarApplication.h"

int main(int argc, char *argv[])
{
    // Sleeps and read time-outs keep to the millisecond for the program's whole life.
    const TTimerResolution timerResolution;
    TLinvarApplication app(argc, argv);
    app.setWindowIcon(AppIcon());
    TMainFormLinvar window;
    TAboutForm about(&window);
    window.SetAboutForm(&about);
    // With no port to work on the window has said so; the program ends without running.
    if (window.TerminateRequested())
        return 1;
    window.show();
    return app.exec();
}
