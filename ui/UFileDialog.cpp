#include "ui/UFileDialog.h"

#include <QFileDialog>

namespace {

QString ShowRealDialog(QWidget *parent, TFileDialogKind kind, const QString &caption,
                       const QString &start, const QString &filter)
{
    return kind == TFileDialogKind::Save
               ? QFileDialog::getSaveFileName(parent, caption, start, filter)
               : QFileDialog::getOpenFileName(parent, caption, start, filter);
}

TFileDialogFunction &CurrentFunction()
{
    static TFileDialogFunction function = ShowRealDialog;
    return function;
}

} // namespace

QString AskFileName(QWidget *parent, TFileDialogKind kind, const QString &caption,
                    const QString &start, const QString &filter)
{
    // A copy, so a function that replaces itself while it runs stays alive to its end.
    const TFileDialogFunction function = CurrentFunction();
    return function(parent, kind, caption, start, filter);
}

TFileDialogFunction SetFileDialogFunction(TFileDialogFunction function)
{
    TFileDialogFunction previous = std::move(CurrentFunction());
    CurrentFunction() = function ? std::move(function) : TFileDialogFunction(ShowRealDialog);
    return previous;
}
