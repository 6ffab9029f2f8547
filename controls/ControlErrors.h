#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

// Errors that a control raises in a user-interface handler and does not handle itself. The
// application's top-level handler (QApplication::notify) catches EControlError and shows what()
// (UTF-8) in a message box; the program goes on.
class EControlError : public std::runtime_error
{
public:
    // Creates the error with its message in UTF-8.
    explicit EControlError(const QString &message);
    // The message as Qt text.
    QString Message() const { return QString::fromUtf8(what()); }
};

// A text that should be an integer is not one: "'<text>' is not a valid integer value".
class EConvertError : public EControlError
{
public:
    using EControlError::EControlError;
    // The error for the text that failed to convert.
    static EConvertError InvalidInteger(const QString &text);
};

// A number lies outside what the operation accepts: "Range check error".
class ERangeError : public EControlError
{
public:
    // Creates the error with the standard text.
    ERangeError();
};

// Who is told about an error raised inside a control's own event handling (a spin step on a text
// that is no number). Such errors never leave the control's event handler, because Qt must not
// be unwound by an exception; the control hands them here instead.
using TControlErrorHandler = std::function<void(const EControlError &error)>;

// Installs the handler for errors raised inside the controls' event handling and returns the
// previous one. An empty handler restores the default: a message box "Ошибка" with the error's
// text, shown once the current event has been handled, at most one at a time.
TControlErrorHandler SetControlErrorHandler(TControlErrorHandler handler);

// Passes an error raised inside a control's event handling to the installed handler.
void ReportControlError(const EControlError &error);
