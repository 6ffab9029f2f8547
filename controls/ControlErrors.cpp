#include "controls/ControlErrors.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

EControlError::EControlError(const QString &message)
    : std::runtime_error(message.toUtf8().toStdString())
{
}

EConvertError EConvertError::InvalidInteger(const QString &text)
{
    return EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

ERangeError::ERangeError() : EControlError(QStringLiteral("Range check error")) {}

namespace {

TControlErrorHandler &InstalledHandler()
{
    static TControlErrorHandler installed;
    return installed;
}

// The default report. It waits until the event that failed has been handled: a modal box opened
// inside a scroll bar's mouse press would run while the bar still repeats its action. Errors that
// arrive while one is waiting or shown are the same failure repeated and are dropped, so the
// operator sees one box per failure rather than a cascade.
void ShowErrorBox(const QString &text)
{
    static bool busy = false;
    if (busy || QCoreApplication::instance() == nullptr) {
        return;
    }
    busy = true;
    QPointer<QWidget> owner = QApplication::activeWindow();
    QTimer::singleShot(0, QCoreApplication::instance(), [owner, text]() {
        QMessageBox::critical(owner, QStringLiteral("Ошибка"), text);
        busy = false;
    });
}

} // namespace

TControlErrorHandler SetControlErrorHandler(TControlErrorHandler handler)
{
    TControlErrorHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}

void ReportControlError(const EControlError &error)
{
    const TControlErrorHandler &handler = InstalledHandler();
    if (handler) {
        handler(error);
    } else {
        ShowErrorBox(error.Message());
    }
}
