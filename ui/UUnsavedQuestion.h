#pragma once
// The question asked before the parameter page's unsaved values would be left behind ("Назад",
// closing the window). It goes through one replaceable function, as the message boxes do, so
// tests can answer it without a person at the screen.

#include <QString>

#include <functional>

class QWidget;

// The operator's answer.
enum class TUnsavedChoice
{
    Write,   // write the values to the device, then carry on
    Discard, // carry on without writing
    Stay     // stay on the page with the values as they are
};

// Asks the question with `parent` as the owner window and returns the answer.
using TUnsavedQuestionFunction = std::function<TUnsavedChoice(QWidget *parent)>;

// Caption of the question's box.
inline const QString UnsavedCaption = QStringLiteral("Подтверждение");

// Asks whether to write the unsaved values through the current function.
TUnsavedChoice AskUnsavedEdits(QWidget *parent);
// Replaces the function behind the question (an empty one restores the real box); returns the
// previous function.
TUnsavedQuestionFunction SetUnsavedQuestionFunction(TUnsavedQuestionFunction function);
