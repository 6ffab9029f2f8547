#include "controls/UDivisorSpinEditBase.h"

#include "controls/ControlErrors.h"

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
// Wheel delta of one classic notch.
constexpr int WheelNotch = 120;

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
    static std::function<void()> installed;
    return installed;
}

// Carriage return is a control character the editor refuses; the other control characters
// (backspace and the editing keys) reach the edit.
bool IsPassingControl(QChar character)
{
    return character.unicode() < 32 && character != QLatin1Char('\r');
}

// A popup menu takes the focus only for a moment, and activating or deactivating the whole
// window leaves the window's focused control as it was: neither enters nor leaves the editor.
bool IsEntryOrExit(Qt::FocusReason reason)
{
    return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

} // namespace

TSpinEditBase::TSpinEditBase(QWidget *Parent) : QLineEdit(Parent)
{
    auto *bar = new TSpinBar(Qt::Vertical, this);
    bar->setRange(0, BarRange);
    bar->setSingleStep(0);
    bar->setPageStep(0);
    bar->setValue(BarRest);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setCursor(Qt::ArrowCursor);
    bar->setContextMenuPolicy(Qt::NoContextMenu);
    bar->installEventFilter(this);
    FSpinBar = bar;

    connect(FSpinBar, &QAbstractSlider::actionTriggered, this, &TSpinEditBase::SpinAction);
    connect(FSpinBar, &QAbstractSlider::sliderReleased, this, [this]() {
        SpinAction(QAbstractSlider::SliderNoAction);
        FSpinBar->setValue(BarRest);
    });
    connect(this, &QLineEdit::textChanged, this, [this]() {
        if (OnChange) {
            OnChange(this);
        }
    });
    PlaceBar();
}

std::function<void()> TSpinEditBase::SetBeep(std::function<void()> beep)
{
    std::function<void()> previous = std::move(BeepFunction());
    BeepFunction() = std::move(beep);
    return previous;
}

void TSpinEditBase::Beep()
{
    if (BeepFunction()) {
        BeepFunction()();
    } else {
        QApplication::beep();
    }
}

void TSpinEditBase::ReplaceText(const QString &newText)
{
    if (text() == newText) {
        // QLineEdit stays silent when the text does not change, but a rewrite by the control
        // is a change for the owner all the same.
        if (OnChange) {
            OnChange(this);
        }
    } else {
        setText(newText);
    }
}

bool TSpinEditBase::Guarded(const std::function<void()> &step)
{
    try {
        step();
        return true;
    } catch (const EControlError &error) {
        // A held arrow would repeat the failing step every few milliseconds.
        static_cast<TSpinBar *>(FSpinBar)->StopRepeat();
        ReportControlError(error);
        return false;
    }
}

void TSpinEditBase::SpinAction(int action)
{
    Guarded([this, action]() {
        std::int32_t value = StepRead();
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub: // upper arrow: line up
            if (value < StepHigh()) {
                ++value;
            }
            break;
        case QAbstractSlider::SliderSingleStepAdd: // lower arrow: line down
            if (value > StepLow()) {
                --value;
            }
            break;
        case QAbstractSlider::SliderPageStepSub: // trough above the thumb: page up
            value = static_cast<std::int32_t>(
                std::min<std::int64_t>(std::int64_t{value} + PageStep(), StepHigh()));
            break;
        case QAbstractSlider::SliderPageStepAdd: // trough below the thumb: page down
            value = static_cast<std::int32_t>(
                std::max<std::int64_t>(std::int64_t{value} - PageStep(), StepLow()));
            break;
        case QAbstractSlider::SliderMove: // thumb dragged: its position, taken as it is
            value = static_cast<std::int16_t>(FSpinBar->sliderPosition());
            break;
        default: // thumb released and anything else: the value rewritten as it is
            break;
        }
        StepWrite(value);
    });
}

void TSpinEditBase::WheelStep(bool up)
{
    Guarded([this, up]() {
        std::int32_t value = StepRead();
        if (up && value < StepHigh()) {
            ++value;
        } else if (!up && value > StepLow()) {
            --value;
        }
        StepWrite(value);
    });
}

void TSpinEditBase::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers shift = event->modifiers();
    int key = event->key();

    // Shift with Up or Down steps the number by one. Shift alone, or with any other key, reads
    // nothing: on many layouts digits, signs and marks are typed with Shift, and a read there
    // would rewrite a half-typed text or report it as no number.
    if ((shift & Qt::ShiftModifier) && (key == Qt::Key_Up || key == Qt::Key_Down)) {
        const bool stepped = Guarded([this, key]() {
            std::int32_t value = StepRead();
            if (key == Qt::Key_Up && value < StepHigh()) {
                ++value;
            } else if (key == Qt::Key_Down && value > StepLow()) {
                --value;
            }
            StepWrite(value);
        });
        if (!stepped) {
            event->accept();
            return;
        }
        key = 0;
    }

    if (OnKeyDown) {
        QPointer<TSpinEditBase> self(this);
        OnKeyDown(this, key, shift);
        if (self.isNull()) {
            return;
        }
    }
    if (key == 0) {
        event->accept();
        return;
    }
    if (key != event->key()) {
        // The owner turned the key into another one: the edit sees that key, with no text.
        QKeyEvent changed(QEvent::KeyPress, key, shift);
        QLineEdit::keyPressEvent(&changed);
        event->setAccepted(changed.isAccepted());
        return;
    }

    // The character the key would type. Delete carries DEL as its text, yet it is an editing
    // key and types nothing; with Control or Meta held (and no AltGr) the key is a command.
    const QString typed = event->text();
    const bool command =
        (shift & (Qt::ControlModifier | Qt::MetaModifier)) && !(shift & Qt::AltModifier);
    if (!typed.isEmpty() && !command && typed.front() != QChar(0x7F)) {
        for (QChar character : typed) {
            if (!IsPassingControl(character) && !AcceptsCharacter(character)) {
                Beep();
                event->accept();
                return;
            }
        }
    }

    const bool paste = event->matches(QKeySequence::Paste);
    QLineEdit::keyPressEvent(event);
    if (paste) {
        AfterPaste();
    }
}

void TSpinEditBase::inputMethodEvent(QInputMethodEvent *event)
{
    for (QChar character : event->commitString()) {
        if (!IsPassingControl(character) && !AcceptsCharacter(character)) {
            Beep();
            QInputMethodEvent cleared;
            QLineEdit::inputMethodEvent(&cleared);
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TSpinEditBase::wheelEvent(QWheelEvent *event)
{
    // Only a vertical turn is a wheel step. The wheel goes to the widget under the pointer,
    // focused or not: an editor the operator is not working in must not change its number
    // because the pointer rests on it, so without the focus the turn goes on to the parent.
    const int delta = event->angleDelta().y();
    if (delta == 0 || !hasFocus()) {
        event->ignore();
        return;
    }
    // With natural scrolling Qt reports the delta inverted, so it is turned back first.
    WheelTurn(event->inverted() ? -delta : delta);
    event->accept();
}

void TSpinEditBase::WheelTurn(int delta)
{
    // A change of direction drops what was left of the other one.
    if ((delta > 0) != (WheelRest > 0) && WheelRest != 0) {
        WheelRest = 0;
    }
    WheelRest += delta;
    while (WheelRest >= WheelNotch || WheelRest <= -WheelNotch) {
        const bool up = WheelRest > 0;
        WheelRest += up ? -WheelNotch : WheelNotch;
        WheelStep(up);
    }
}

void TSpinEditBase::focusInEvent(QFocusEvent *event)
{
    const bool entry = IsEntryOrExit(event->reason());
    if (entry) {
        FocusClamp();
    }
    QLineEdit::focusInEvent(event);
    if (entry) {
        if (FAutoSelect && event->reason() != Qt::MouseFocusReason) {
            selectAll();
        }
        if (OnEnter) {
            OnEnter(this);
        }
    }
}

void TSpinEditBase::focusOutEvent(QFocusEvent *event)
{
    WheelRest = 0;
    const bool leaving = IsEntryOrExit(event->reason());
    if (leaving) {
        FocusClamp();
    }
    QLineEdit::focusOutEvent(event);
    if (leaving && OnExit) {
        OnExit(this);
    }
}

void TSpinEditBase::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    PlaceBar();
}

void TSpinEditBase::showEvent(QShowEvent *event)
{
    QLineEdit::showEvent(event);
    PlaceBar();
}

void TSpinEditBase::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
        PlaceBar();
    }
}

void TSpinEditBase::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    if (menu == nullptr) {
        return;
    }
    // Newer Qt names the menu's paste action; older Qt only marks it by its shortcut text.
    const QString pasteShortcut =
        QLatin1Char('\t') + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    for (QAction *action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().endsWith(pasteShortcut)) {
            // Connected after the edit's own paste, so it runs once the text is in.
            connect(action, &QAction::triggered, this, [this]() { AfterPaste(); });
        }
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void TSpinEditBase::mouseReleaseEvent(QMouseEvent *event)
{
    // A middle click pastes the selection where the system has one.
    const bool paste = event->button() == Qt::MiddleButton && !isReadOnly() &&
                       QGuiApplication::clipboard()->supportsSelection();
    QLineEdit::mouseReleaseEvent(event);
    if (paste) {
        AfterPaste();
    }
}

void TSpinEditBase::dropEvent(QDropEvent *event)
{
    // Dropped text enters like pasted text.
    QLineEdit::dropEvent(event);
    if (event->isAccepted() && !isReadOnly()) {
        AfterPaste();
    }
}

bool TSpinEditBase::eventFilter(QObject *watched, QEvent *event)
{
    // The bar is part of the editor: a wheel turn over it goes where one over the text goes
    // (a step, or on to the parent without the focus), never into the bar's own value.
    if (watched == FSpinBar && event->type() == QEvent::Wheel) {
        // Ignored and kept from the bar, a turn goes on to the editor and its parent.
        if (hasFocus()) {
            wheelEvent(static_cast<QWheelEvent *>(event));
        } else {
            event->ignore();
        }
        return true;
    }
    return QLineEdit::eventFilter(watched, event);
}

void TSpinEditBase::PlaceBar()
{
    const int frame =
        hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FSpinBar);
    FSpinBar->setGeometry(width() - frame - barWidth, frame, barWidth,
                          std::max(0, height() - 2 * frame));
    setTextMargins(0, 0, barWidth, 0);
}
