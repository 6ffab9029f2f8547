#include "ui/UUnsavedQuestion.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

TUnsavedChoice AskRealBox(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, UnsavedCaption,
                    QStringLiteral("Значения параметров изменены, но не записаны в прибор.\n"
                                   "Записать их?"),
                    QMessageBox::NoButton, parent);
    QPushButton *write = box.addButton(QStringLiteral("Записать"), QMessageBox::AcceptRole);
    QPushButton *discard =
        box.addButton(QStringLiteral("Не записывать"), QMessageBox::DestructiveRole);
    QPushButton *stay = box.addButton(QStringLiteral("Остаться"), QMessageBox::RejectRole);
    // Enter and Escape keep everything as it is: neither the device nor the values change
    // without the operator pointing at it.
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == write)
        return TUnsavedChoice::Write;
    if (box.clickedButton() == discard)
        return TUnsavedChoice::Discard;
    return TUnsavedChoice::Stay;
}

TUnsavedQuestionFunction &CurrentFunction()
{
    static TUnsavedQuestionFunction function = AskRealBox;
    return function;
}

} // namespace

TUnsavedChoice AskUnsavedEdits(QWidget *parent)
{
    // A copy, so a function that replaces itself while it runs stays alive to its end.
    const TUnsavedQuestionFunction function = CurrentFunction();
    return function(parent);
}

TUnsavedQuestionFunction SetUnsavedQuestionFunction(TUnsavedQuestionFunction function)
{
    TUnsavedQuestionFunction previous = std::move(CurrentFunction());
    CurrentFunction() = function ? std::move(function) : TUnsavedQuestionFunction(AskRealBox);
    return previous;
}
