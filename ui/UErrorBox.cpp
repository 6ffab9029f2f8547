#include "UErrorBox.h"

#include <QMessageBox>
#include <QWidget>

namespace {

void ShowRealErrorBox(QWidget *parent, const QString &text, const QString &caption)
{
    // A box over a window not yet shown (the start-up errors) would be placed against that
    // window's unplaced geometry, at the screen's corner; without an owner it is centred.
    if (parent && !parent->window()->isVisible())
        parent = nullptr;
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
