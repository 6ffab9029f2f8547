#include "ControlErrors.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

EControlError::EControlError(const QString &Message)
    : std::runtime_error(Message.toUtf8().toStdString())
{
}

EConvertError EConvertError::InvalidInteger(const QString &Text)
{
    return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Text));
}

ERangeError::ERangeError() : EControlError(QStringLiteral("Range check error")) {}

namespace {

TControlErrorHandler &InstalledHandler()
{
    static TControlErrorHandler Handler;
    return Handler;
}

// The default report. It waits until the event that failed has been handled: a modal box opened
// inside a scroll bar's mouse press would run while the bar still repeats its action. Errors that
// arrive while one is waiting or shown are the same failure repeated and are dropped, so the
// operator sees one box per failure rather than a cascade.
void ShowErrorBox(const QString &Text)
{
    static bool Busy = false;
    if (Busy || QCoreApplication::instance() == nullptr) {
        return;
    }
    Busy = true;
    QPointer<QWidget> Owner = QApplication::activeWindow();
    QTimer::singleShot(0, QCoreApplication::instance(), [Owner, Text]() {
        QMessageBox::critical(Owner, QStringLiteral("Ошибка"), Text);
        Busy = false;
    });
}

} // namespace

TControlErrorHandler SetControlErrorHandler(TControlErrorHandler Handler)
{
    TControlErrorHandler Previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(Handler);
    return Previous;
}

void ReportControlError(const EControlError &Error)
{
    const TControlErrorHandler &Handler = InstalledHandler();
    if (Handler) {
        Handler(Error);
    } else {
        ShowErrorBox(Error.Message());
    }
}
