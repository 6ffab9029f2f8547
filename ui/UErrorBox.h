#pragma once
// The program's modal error boxes. Every box the program shows goes through one replaceable
// function, so tests can read and dismiss them without a person at the screen.

#include <QString>

#include <functional>

class QWidget;

// Shows one modal error box: the owner window, the text and the caption.
using TErrorBoxFunction =
    std::function<void(QWidget *parent, const QString &text, const QString &caption)>;

// Caption of the window's own error boxes.
inline const QString ErrorCaption = QStringLiteral("Ошибка");

// Shows a modal box with the error icon; returns when the operator has closed it.
void ShowErrorBox(QWidget *parent, const QString &text, const QString &caption = ErrorCaption);
// Replaces the function behind ShowErrorBox (an empty one restores the real box); returns
// the previous function.
TErrorBoxFunction SetErrorBoxFunction(TErrorBoxFunction function);
