// linvar-gallery [picture.png] [--show]
// Lays out the fixed-point spin edit, the port number spin edit and the hyperlink label in the
// states a person wants to compare (sizes, frames, the hover look) and saves the window as a
// PNG (default controls-gallery.png). With --show the window stays open to be tried by hand.
// Without a display it renders offscreen.

#include "UAInternetLabel.h"
#include "UComPortSpinEdit.h"
#include "UDivisorSpinEdit.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFormLayout>
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

namespace {

// A fixed-point editor as the parameter page uses it, with a frame or without.
TDivisorSpinEdit *DivisorEdit(QWidget *Parent, std::uint32_t Divisor, std::int32_t Value,
                              int Height, bool Frame)
{
    auto *Edit = new TDivisorSpinEdit(Parent);
    Edit->SetDivisor(Divisor);
    Edit->SetMinValue(-1000);
    Edit->SetMaxValue(1000);
    Edit->SetValue(Value);
    Edit->setFrame(Frame);
    Edit->setFixedSize(160, Height);
    return Edit;
}

} // namespace

int main(int argc, char *argv[])
{
    QString Output = QStringLiteral("controls-gallery.png");
    bool Show = false;
    for (int I = 1; I < argc; ++I) {
        const QString Argument = QString::fromLocal8Bit(argv[I]);
        if (Argument == QLatin1String("--show")) {
            Show = true;
        } else {
            Output = Argument;
        }
    }
    if (!Show && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication App(argc, argv);

    QWidget Window;
    Window.setWindowTitle(QStringLiteral("Элементы управления"));
    auto *Layout = new QFormLayout(&Window);

    Layout->addRow(QStringLiteral("Делитель 8, 12:"), DivisorEdit(&Window, 8, 12, 21, true));
    Layout->addRow(QStringLiteral("Без рамки, 17 пикселей:"),
                   DivisorEdit(&Window, 10, -125, 17, false));
    Layout->addRow(QStringLiteral("Делитель 3, 1:"), DivisorEdit(&Window, 3, 1, 21, true));
    Layout->addRow(QStringLiteral("Делитель 1000000, 1:"),
                   DivisorEdit(&Window, 1000000, 1, 21, true));
    Layout->addRow(QStringLiteral("Высокий (ползунок):"), DivisorEdit(&Window, 1, 42, 80, true));

    auto *Port = new TComPortSpinEdit(&Window);
    Port->SetValue(3);
    Port->setFixedSize(60, 21);
    Layout->addRow(QStringLiteral("Последовательный порт:"), Port);

    auto *Link = new TAInternetLabel(QStringLiteral("https://linvar.example.org"), &Window);
    Layout->addRow(QStringLiteral("Ссылка:"), Link);
    auto *Hovered = new TAInternetLabel(QStringLiteral("Версия: 1.0.0"), &Window);
    Layout->addRow(QStringLiteral("Ссылка под указателем:"), Hovered);
    auto *Green = new TAInternetLabel(QStringLiteral("FocusColor $00A000"), &Window);
    Green->SetFocusColor(0x00A000);
    Layout->addRow(QStringLiteral("Свой цвет, под указателем:"), Green);

    Window.show();
    // The hover look, as the pointer would give it.
    for (TAInternetLabel *Label : {Hovered, Green}) {
        QEnterEvent Enter(QPointF(1, 1), QPointF(1, 1), Label->mapToGlobal(QPointF(1, 1)));
        QApplication::sendEvent(Label, &Enter);
    }

    const QPixmap Picture = Window.grab();
    if (!Picture.save(Output, "PNG")) {
        std::fprintf(stderr, "linvar-gallery: cannot write %s\n", qPrintable(Output));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(Output), Picture.width(), Picture.height());
    return Show ? App.exec() : 0;
}
