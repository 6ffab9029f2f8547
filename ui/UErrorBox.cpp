#include "UErrorBox.h"

#include <QMessageBox>

namespace {

void ShowRealErrorBox(QWidget *parent, const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

TErrorBoxFunction &CurrentFunction()
{
    static TErrorBoxFunction function = ShowRealErrorBox;
    return function;
}

} // namespace

void ShowErrorBox(QWidget *parent, const QString &text, const QString &caption)
{
    // A copy, so a function that replaces itself while it runs stays alive to its end.
    const TErrorBoxFunction function = CurrentFunction();
    function(parent, text, caption);
}

TErrorBoxFunction SetErrorBoxFunction(TErrorBoxFunction function)
{
    TErrorBoxFunction previous = std::move(CurrentFunction());
    CurrentFunction() = function ? std::move(function) : TErrorBoxFunction(ShowRealErrorBox);
    return previous;
}
