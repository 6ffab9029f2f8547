#include "ui/UErrorBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace {

void ShowRealBox(QWidget *parent, TBoxKind kind, const QString &text, const QString &caption)
{
    // A box over a window not yet shown (the start-up errors) would be placed against that
    // window's unplaced geometry, at the screen's corner; without an owner it is centred.
    if (parent && !parent->window()->isVisible())
        parent = nullptr;
    QMessageBox::Icon icon = QMessageBox::Critical;
    if (kind == TBoxKind::Warning)
        icon = QMessageBox::Warning;
    else if (kind == TBoxKind::Information)
        icon = QMessageBox::Information;
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    // Qt's Russian texts leave the standard button's "OK" in Latin letters.
    box.button(QMessageBox::Ok)->setText(QStringLiteral("ОК"));
    box.exec();
}

TErrorBoxFunction &CurrentFunction()
{
    static TErrorBoxFunction function = ShowRealBox;
    return function;
}

void ShowBox(QWidget *parent, TBoxKind kind, const QString &text, const QString &caption)
{
    // A copy, so a function that replaces itself while it runs stays alive to its end.
    const TErrorBoxFunction function = CurrentFunction();
    function(parent, kind, text, caption);
}

} // namespace

void ShowErrorBox(QWidget *parent, const QString &text, const QString &caption)
{
    ShowBox(parent, TBoxKind::Error, text, caption);
}

void ShowWarningBox(QWidget *parent, const QString &text, const QString &caption)
{
    ShowBox(parent, TBoxKind::Warning, text, caption);
}

void ShowInformationBox(QWidget *parent, const QString &text, const QString &caption)
{
    ShowBox(parent, TBoxKind::Information, text, caption);
}

TErrorBoxFunction SetErrorBoxFunction(TErrorBoxFunction function)
{
    TErrorBoxFunction previous = std::move(CurrentFunction());
    CurrentFunction() = function ? std::move(function) : TErrorBoxFunction(ShowRealBox);
    return previous;
}
