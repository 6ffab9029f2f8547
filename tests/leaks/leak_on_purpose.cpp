// Leaks 64 bytes on purpose from a timer's handler in a running application, the way a leak
// in a click handler, a timer or a posted message would. The sanitizer build's leak check
// must report it: suppressions broad enough to hide it would hide our own leaks too.

#include <QApplication>
#include <QTimer>

#include <cstring>

namespace {

// The only pointer to the block, cleared at once: nothing can reach the block afterwards.
char *volatile Lost = nullptr;

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        Lost = new char[64];
        std::memset(Lost, 0x5A, 64);
        Lost = nullptr;
        app.quit();
    });
    return app.exec();
}
