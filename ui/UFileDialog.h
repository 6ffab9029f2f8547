#pragma once
// The program's file dialogs. Every dialog goes through one replaceable function, so tests
// can answer them without a person at the screen, as they do the message boxes.

#include <QString>

#include <functional>

class QWidget;

// Whether the dialog picks a file to write or one to read.
enum class TFileDialogKind
{
    Save,
    Open
};

// Shows one modal file dialog: owner, kind, caption, the path it starts at and the filter;
// returns the chosen path, or an empty text when the operator cancelled.
using TFileDialogFunction =
    std::function<QString(QWidget *parent, TFileDialogKind kind, const QString &caption,
                          const QString &start, const QString &filter)>;

// Asks for a file name through the current dialog function; empty when cancelled.
QString AskFileName(QWidget *parent, TFileDialogKind kind, const QString &caption,
                    const QString &start, const QString &filter);
// Replaces the function behind the dialogs (an empty one restores the real dialogs); returns
// the previous function.
TFileDialogFunction SetFileDialogFunction(TFileDialogFunction function);
