#pragma once
// The program's modal message boxes. Every box the program shows goes through one replaceable
// function, so tests can read and dismiss them without a person at the screen.

#include <QString>

#include <functional>

class QWidget;

// The box's icon: an error (the operation failed), a warning (it ended, not wholly) or an
// information (it went through, with something the operator must know).
enum class TBoxKind
{
    Error,
    Warning,
    Information
};

// Shows one modal box: the owner window, its kind, the text and the caption.
using TErrorBoxFunction = std::function<void(QWidget *parent, TBoxKind kind, const QString &text,
                                             const QString &caption)>;

// Caption of the window's own error boxes.
inline const QString ErrorCaption = QStringLiteral("Ошибка");
// Caption of its warnings.
inline const QString WarningCaption = QStringLiteral("Предупреждение");
// Caption of its information boxes.
inline const QString InformationCaption = QStringLiteral("Сообщение");

// Shows a modal box with the error icon; returns when the operator has closed it.
void ShowErrorBox(QWidget *parent, const QString &text, const QString &caption = ErrorCaption);
// Shows a modal box with the warning icon; returns when the operator has closed it.
void ShowWarningBox(QWidget *parent, const QString &text, const QString &caption = WarningCaption);
// Shows a modal box with the information icon; returns when the operator has closed it.
void ShowInformationBox(QWidget *parent, const QString &text,
                        const QString &caption = InformationCaption);
// Replaces the function behind both boxes (an empty one restores the real box); returns the
// previous function.
TErrorBoxFunction SetErrorBoxFunction(TErrorBoxFunction function);
