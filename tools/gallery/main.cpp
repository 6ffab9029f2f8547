// linvar-gallery [picture.png] [--show]
// Lays out the fixed-point spin edit, the port number spin edit and the hyperlink label in the
// states a person wants to compare (sizes, frames, the hover look) and saves the window as a
// PNG (default controls-gallery.png). With --show the window stays open to be tried by hand.
// Without a display it renders offscreen.

#include "controls/UAInternetLabel.h"
#include "controls/UComPortSpinEdit.h"
#include "controls/UDivisorSpinEdit.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

namespace {

// A fixed-point editor as the parameter page uses it, with a frame or without.
TDivisorSpinEdit *DivisorEdit(QWidget *parent, std::uint32_t divisor, std::int32_t value,
                              int height, bool frame)
{
    auto *edit = new TDivisorSpinEdit(parent);
    edit->SetDivisor(divisor);
    edit->SetMinValue(-1000);
    edit->SetMaxValue(1000);
    edit->SetValue(value);
    edit->setFrame(frame);
    edit->setFixedSize(160, height);
    return edit;
}

} // namespace

int main(int argc, char *argv[])
{
    QString output = QStringLiteral("controls-gallery.png");
    bool show = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--show")) {
            show = true;
        } else {
            output = argument;
        }
    }
    if (!show && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Элементы управления"));
    auto *layout = new QFormLayout(&window);

    layout->addRow(QStringLiteral("Делитель 8, 12:"), DivisorEdit(&window, 8, 12, 21, true));
    layout->addRow(QStringLiteral("Без рамки, 17 пикселей:"),
                   DivisorEdit(&window, 10, -125, 17, false));
    layout->addRow(QStringLiteral("Делитель 3, 1:"), DivisorEdit(&window, 3, 1, 21, true));
    layout->addRow(QStringLiteral("Делитель 1000000, 1:"),
                   DivisorEdit(&window, 1000000, 1, 21, true));
    layout->addRow(QStringLiteral("Высокий (ползунок):"), DivisorEdit(&window, 1, 42, 80, true));

    auto *port = new TComPortSpinEdit(&window);
    port->SetValue(3);
    port->setFixedSize(60, 21);
    layout->addRow(QStringLiteral("Последовательный порт:"), port);

    auto *link = new TAInternetLabel(QStringLiteral("https://linvar.example.org"), &window);
    layout->addRow(QStringLiteral("Ссылка:"), link);
    auto *hovered = new TAInternetLabel(QStringLiteral("Версия: 1.0.0"), &window);
    layout->addRow(QStringLiteral("Ссылка под указателем:"), hovered);
    auto *green = new TAInternetLabel(QStringLiteral("FocusColor $00A000"), &window);
    green->SetFocusColor(0x00A000);
    layout->addRow(QStringLiteral("Свой цвет, под указателем:"), green);

    window.show();
    // The hover look, as the pointer would give it.
    for (TAInternetLabel *label : {hovered, green}) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), label->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(label, &enter);
    }

    const QPixmap picture = window.grab();
    if (!picture.save(output, "PNG")) {
        std::fprintf(stderr, "linvar-gallery: cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(output), picture.width(), picture.height());
    return show ? app.exec() : 0;
}
