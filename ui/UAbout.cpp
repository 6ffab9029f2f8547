#include "ui/UAbout.h"

#include "ui/UAppIcon.h"

#include "controls/UAInternetLabel.h"

#include <QDate>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе ..."));
    // A fixed dialog border: no resizing, no minimise or maximise box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(277, 156);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    setFont(font);

    Image = new QLabel(this);
    Image->setGeometry(12, 10, 34, 34);
    Image->setPixmap(DrawAppIcon(32));
    Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // A single line along the top edge of the separator.
    Bevel = new QFrame(this);
    Bevel->setGeometry(0, 120, 269, 6);
    auto *line = new QFrame(Bevel);
    line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    line->setGeometry(0, 0, 269, 2);

    VerLabel_1 = new QLabel(this);
    VerLabel_1->setGeometry(57, 10, 208, 31);
    VerLabel_1->setWordWrap(true);
    VerLabel_1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    VerLabel_1->setText(QStringLiteral("Параметры интерфейса RS485\n"
                                       "© Разработчики Linvar, 2025-%d"));

    VerLabel = new TAInternetLabel(this);
    VerLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    VerLabel->setFont(font);

    wwwLabel = new TAInternetLabel(this);
    wwwLabel->setFont(font);
    wwwLabel->setText(WebAddress());
    wwwLabel->move(11, 132);
    wwwLabel->adjustSize();
    wwwLabel->OnClick = [this](QObject *) { wwwLabelClick(); };

    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseButton->setGeometry(192, 128, 75, 25);
    CloseButton->setDefault(true);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    // The version label is sized to its text and keeps its right edge at 265.
    VerLabel->setText(QStringLiteral("Версия: ") + GetProductVersion());
    VerLabel->adjustSize();
    VerLabel->setGeometry(265 - VerLabel->width(), 100, VerLabel->width(), 14);

    // The span of years ends in the year the program started.
    QString title = VerLabel_1->text();
    const qsizetype placeholder = title.indexOf(QStringLiteral("%d"));
    if (placeholder >= 0)
        title.replace(placeholder, 2, QString::number(QDate::currentDate().year()));
    VerLabel_1->setText(title);

    // The close button is the only control that takes the focus.
    for (QWidget *child : findChildren<QWidget *>())
        child->setFocusPolicy(Qt::NoFocus);
    CloseButton->setFocusPolicy(Qt::StrongFocus);
    CloseButton->setFocus();
}

void TAboutForm::wwwLabelClick()
{
    // The desktop's handler reports nothing useful back; a failure is left unreported.
    QDesktopServices::openUrl(QUrl(WebAddress()));
}

QString TAboutForm::GetProductVersion()
{
    return QStringLiteral(LINVAR_VERSION);
}

QString TAboutForm::WebAddress()
{
    return QStringLiteral(LINVAR_WEB_ADDRESS);
}
