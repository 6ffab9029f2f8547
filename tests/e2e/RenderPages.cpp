// Renders the window's two pages (the second also after a write the device did not
// confirm), the traffic window and the About box to PNG files, against the simulated bus,
// so a person can look at them: linvar_render_pages OUTPUT_FOLDER.
// Run it under a display (scripts/render-pages.sh starts Xvfb); offscreen works too.

#include "tests/e2e/E2eSupport.h"
#include "ui/UAbout.h"
#include "ui/ULinvarApplication.h"
#include "ui/UTrafficForm.h"

#include "controls/UDivisorSpinEdit.h"

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <cstdio>

namespace {

bool Save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    QTest::qWait(200);
    const bool saved = widget->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TLinvarApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));

    WindowOnBus bus;
    if (!bus.Sim().Ready()) {
        std::fprintf(stderr, "simulator: %s\n", bus.Sim().Error().c_str());
        return 1;
    }
    TMainFormLinvar &w = bus.Window();
    TAboutForm about(&w);
    w.SetAboutForm(&about);

    bool ok = bus.Poll() && bus.SelectAddress(12);
    ok = ok && Save(&w, out.filePath(QStringLiteral("device-list.png")));
    ok = ok && bus.ReadParams();
    if (ok) {
        // The second row selected, so the floating editor shows over a scaled value.
        w.TabSheet2->ASGridCSelRow();
        QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    }
    ok = ok && Save(&w, out.filePath(QStringLiteral("parameters.png")));
    // The device at 33 takes no write: its rows show the operator's values, marked.
    ok = ok && bus.ClickAndWaitIdle(w.TabSheet2->CancelButton) && bus.SelectAddress(33) &&
         bus.ReadParams() && bus.ClickAndWaitIdle(w.TabSheet2->SaveButton);
    ok = ok && Save(&w, out.filePath(QStringLiteral("unconfirmed.png")));
    w.TrafficItem->trigger();
    ok = ok && bus.ClickAndWaitIdle(w.TabSheet2->CancelButton) && bus.Poll();
    if (ok)
        w.TrafficForm->TakeAttempts();
    ok = ok && Save(w.TrafficForm, out.filePath(QStringLiteral("traffic.png")));
    w.TrafficForm->close();
    about.show();
    ok = ok && Save(&about, out.filePath(QStringLiteral("about.png")));
    about.hide();
    return ok ? 0 : 1;
}
