#include "UDivisorSpinEditBase.h"

#include "ControlErrors.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>

namespace {

// The bar's own value means nothing: the number lives in the text. It rests in the middle so
// that a tall editor shows a trough on both sides of the thumb, and the steps of 0 keep the
// arrows from moving it.
constexpr int BarRange = 100;
constexpr int BarRest = BarRange / 2;

// Scroll bar that lets its owner stop the auto-repeat of a held arrow.
class TSpinBar : public QScrollBar
{
public:
    using QScrollBar::QScrollBar;
    // Ends the auto-repeat of the action started by the current mouse press.
    void StopRepeat() { setRepeatAction(QAbstractSlider::SliderNoAction); }
};

std::function<void()> &BeepFunction()
{
    static std::function<void()> Function;
    return Function;
}

// Carriage return is a control character the editor refuses; the other control characters
// (backspace and the editing keys) reach the edit.
bool IsPassingControl(QChar Character)
{
    return Character.unicode() < 32 && Character != QLatin1Char('\r');
}

// A popup menu takes the focus only for a moment, and activating or deactivating the whole
// window leaves the window's focused control as it was: neither enters nor leaves the editor.
bool IsEntryOrExit(Qt::FocusReason Reason)
{
    return Reason != Qt::PopupFocusReason && Reason != Qt::ActiveWindowFocusReason;
}

} // namespace

TSpinEditBase::TSpinEditBase(QWidget *Parent) : QLineEdit(Parent)
{
    auto *Bar = new TSpinBar(Qt::Vertical, this);
    Bar->setRange(0, BarRange);
    Bar->setSingleStep(0);
    Bar->setPageStep(0);
    Bar->setValue(BarRest);
    Bar->setFocusPolicy(Qt::NoFocus);
    Bar->setCursor(Qt::ArrowCursor);
    Bar->setContextMenuPolicy(Qt::NoContextMenu);
    Bar->installEventFilter(this);
    FBar = Bar;

    connect(FBar, &QAbstractSlider::actionTriggered, this, &TSpinEditBase::SpinAction);
    connect(FBar, &QAbstractSlider::sliderReleased, this, [this]() {
        SpinAction(QAbstractSlider::SliderNoAction);
        FBar->setValue(BarRest);
    });
    connect(this, &QLineEdit::textChanged, this, [this]() {
        if (OnChange) {
            OnChange(this);
        }
    });
    PlaceBar();
}

std::function<void()> TSpinEditBase::SetBeep(std::function<void()> Beep)
{
    std::function<void()> Previous = std::move(BeepFunction());
    BeepFunction() = std::move(Beep);
    return Previous;
}

void TSpinEditBase::Beep()
{
    if (BeepFunction()) {
        BeepFunction()();
    } else {
        QApplication::beep();
    }
}

void TSpinEditBase::ReplaceText(const QString &Text)
{
    if (text() == Text) {
        // QLineEdit stays silent when the text does not change, but a rewrite by the control
        // is a change for the owner all the same.
        if (OnChange) {
            OnChange(this);
        }
    } else {
        setText(Text);
    }
}

bool TSpinEditBase::Guarded(const std::function<void()> &Step)
{
    try {
        Step();
        return true;
    } catch (const EControlError &Error) {
        // A held arrow would repeat the failing step every few milliseconds.
        static_cast<TSpinBar *>(FBar)->StopRepeat();
        ReportControlError(Error);
        return false;
    }
}

void TSpinEditBase::SpinAction(int Action)
{
    Guarded([this, Action]() {
        std::int32_t Value = StepRead();
        switch (Action) {
        case QAbstractSlider::SliderSingleStepSub: // upper arrow: line up
            if (Value < StepHigh()) {
                ++Value;
            }
            break;
        case QAbstractSlider::SliderSingleStepAdd: // lower arrow: line down
            if (Value > StepLow()) {
                --Value;
            }
            break;
        case QAbstractSlider::SliderPageStepSub: // trough above the thumb: page up
            Value = static_cast<std::int32_t>(
                std::min<std::int64_t>(std::int64_t{Value} + PageStep(), StepHigh()));
            break;
        case QAbstractSlider::SliderPageStepAdd: // trough below the thumb: page down
            Value = static_cast<std::int32_t>(
                std::max<std::int64_t>(std::int64_t{Value} - PageStep(), StepLow()));
            break;
        case QAbstractSlider::SliderMove: // thumb dragged: its position, taken as it is
            Value = static_cast<std::int16_t>(FBar->sliderPosition());
            break;
        default: // thumb released and anything else: the value rewritten as it is
            break;
        }
        StepWrite(Value);
    });
}

void TSpinEditBase::WheelStep(bool Up)
{
    Guarded([this, Up]() {
        std::int32_t Value = StepRead();
        if (Up && Value < StepHigh()) {
            ++Value;
        } else if (!Up && Value > StepLow()) {
            --Value;
        }
        StepWrite(Value);
    });
}

void TSpinEditBase::keyPressEvent(QKeyEvent *Event)
{
    const Qt::KeyboardModifiers Shift = Event->modifiers();
    int Key = Event->key();

    // With Shift held every key reads the number first, the Shift key itself included.
    if ((Shift & Qt::ShiftModifier) || Key == Qt::Key_Shift) {
        const bool Read = Guarded([this, &Key]() {
            std::int32_t Value = StepRead();
            if (Key == Qt::Key_Up || Key == Qt::Key_Down) {
                if (Key == Qt::Key_Up && Value < StepHigh()) {
                    ++Value;
                } else if (Key == Qt::Key_Down && Value > StepLow()) {
                    --Value;
                }
                StepWrite(Value);
                Key = 0;
            }
        });
        if (!Read) {
            Event->accept();
            return;
        }
    }

    if (OnKeyDown) {
        QPointer<TSpinEditBase> Self(this);
        OnKeyDown(this, Key, Shift);
        if (Self.isNull()) {
            return;
        }
    }
    if (Key == 0) {
        Event->accept();
        return;
    }
    if (Key != Event->key()) {
        // The owner turned the key into another one: the edit sees that key, with no text.
        QKeyEvent Changed(QEvent::KeyPress, Key, Shift);
        QLineEdit::keyPressEvent(&Changed);
        Event->setAccepted(Changed.isAccepted());
        return;
    }

    // The character the key would type. Delete carries DEL as its text, yet it is an editing
    // key and types nothing; with Control or Meta held (and no AltGr) the key is a command.
    const QString Typed = Event->text();
    const bool Command =
        (Shift & (Qt::ControlModifier | Qt::MetaModifier)) && !(Shift & Qt::AltModifier);
    if (!Typed.isEmpty() && !Command && Typed.front() != QChar(0x7F)) {
        for (QChar Character : Typed) {
            if (!IsPassingControl(Character) && !AcceptsCharacter(Character)) {
                Beep();
                Event->accept();
                return;
            }
        }
    }

    const bool Paste = Event->matches(QKeySequence::Paste);
    QLineEdit::keyPressEvent(Event);
    if (Paste) {
        AfterPaste();
    }
}

void TSpinEditBase::inputMethodEvent(QInputMethodEvent *Event)
{
    for (QChar Character : Event->commitString()) {
        if (!IsPassingControl(Character) && !AcceptsCharacter(Character)) {
            Beep();
            QInputMethodEvent Cleared;
            QLineEdit::inputMethodEvent(&Cleared);
            Event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(Event);
}

void TSpinEditBase::wheelEvent(QWheelEvent *Event)
{
    // Only a vertical turn is a wheel step; a delta that is not positive steps down. With natural
    // scrolling Qt reports the delta inverted, so it is turned back first.
    int Delta = Event->angleDelta().y();
    if (Delta == 0) {
        QLineEdit::wheelEvent(Event);
        return;
    }
    if (Event->inverted()) {
        Delta = -Delta;
    }
    WheelStep(Delta > 0);
    Event->accept();
}

void TSpinEditBase::focusInEvent(QFocusEvent *Event)
{
    const bool Entry = IsEntryOrExit(Event->reason());
    if (Entry) {
        FocusClamp();
    }
    QLineEdit::focusInEvent(Event);
    if (Entry) {
        if (FAutoSelect && Event->reason() != Qt::MouseFocusReason) {
            selectAll();
        }
        if (OnEnter) {
            OnEnter(this);
        }
    }
}

void TSpinEditBase::focusOutEvent(QFocusEvent *Event)
{
    const bool Exit = IsEntryOrExit(Event->reason());
    if (Exit) {
        FocusClamp();
    }
    QLineEdit::focusOutEvent(Event);
    if (Exit && OnExit) {
        OnExit(this);
    }
}

void TSpinEditBase::resizeEvent(QResizeEvent *Event)
{
    QLineEdit::resizeEvent(Event);
    PlaceBar();
}

void TSpinEditBase::showEvent(QShowEvent *Event)
{
    QLineEdit::showEvent(Event);
    PlaceBar();
}

void TSpinEditBase::changeEvent(QEvent *Event)
{
    QLineEdit::changeEvent(Event);
    if (Event->type() == QEvent::StyleChange || Event->type() == QEvent::FontChange) {
        PlaceBar();
    }
}

void TSpinEditBase::contextMenuEvent(QContextMenuEvent *Event)
{
    QMenu *Menu = createStandardContextMenu();
    if (Menu == nullptr) {
        return;
    }
    // Newer Qt names the menu's paste action; older Qt only marks it by its shortcut text.
    const QString PasteShortcut =
        QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *Action : Menu->actions()) {
        if (Action->objectName() == QLatin1String("edit-paste") ||
            Action->text().endsWith(PasteShortcut)) {
            // Connected after the edit's own paste, so it runs once the text is in.
            connect(Action, &QAction::triggered, this, [this]() { AfterPaste(); });
        }
    }
    Menu->setAttribute(Qt::WA_DeleteOnClose);
    Menu->popup(Event->globalPos());
}

void TSpinEditBase::mouseReleaseEvent(QMouseEvent *Event)
{
    // A middle click pastes the selection where the system has one.
    const bool Paste = Event->button() == Qt::MiddleButton && !isReadOnly() &&
                       QGuiApplication::clipboard()->supportsSelection();
    QLineEdit::mouseReleaseEvent(Event);
    if (Paste) {
        AfterPaste();
    }
}

void TSpinEditBase::dropEvent(QDropEvent *Event)
{
    // Dropped text enters like pasted text.
    QLineEdit::dropEvent(Event);
    if (Event->isAccepted() && !isReadOnly()) {
        AfterPaste();
    }
}

bool TSpinEditBase::eventFilter(QObject *Watched, QEvent *Event)
{
    // The bar is part of the editor: a wheel turn over it steps the number like one over the
    // text, instead of moving the bar.
    if (Watched == FBar && Event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(Event));
        return true;
    }
    return QLineEdit::eventFilter(Watched, Event);
}

void TSpinEditBase::PlaceBar()
{
    const int Frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int Width = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FBar);
    FBar->setGeometry(width() - Frame - Width, Frame, Width, std::max(0, height() - 2 * Frame));
    setTextMargins(0, 0, Width, 0);
}
