#pragma once

#include <QLineEdit>

#include <cstdint>
#include <functional>

class QScrollBar;

// Event style shared by the spin edits and the hyperlink label: each event is a public
// std::function member named like the event (OnChange, OnKeyDown, OnClick); an empty member means
// no handler. Handlers run synchronously on the window thread.

// Key-down handler: Key is a Qt::Key value and may be changed; 0 swallows the key.
using TKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;

// Single-line edit with a small vertical scroll bar at its right whose two arrows step an integer
// held in the text. The number is never stored: every step reads it back from the text. The
// mechanics shared by the fixed-point and the port number editors live here; each subclass says
// how the text becomes a number and back, the bounds and which characters may be typed.
//
// How the editor's notions map onto Qt:
// - the upper arrow of the vertical bar triggers QAbstractSlider::SliderSingleStepSub (the value
//   of a vertical slider grows downwards) and counts as "line up", that is one step UP; the lower
//   arrow (SliderSingleStepAdd) is "line down"; a click in the trough above the thumb
//   (SliderPageStepSub) is "page up", below it (SliderPageStepAdd) "page down"; dragging the
//   thumb (SliderMove) is "thumb tracking" and releasing it is "thumb released";
// - the key-down hook is keyPressEvent before QLineEdit sees the key; the character hook is the
//   text the key press (or an input method) would insert;
// - the wheel steps only while the editor has the keyboard focus, one step per 120 units of
//   vertical delta (one classic notch) added up over the events, so a touchpad's many small
//   events step as far as a mouse's notches; without the focus the turn is left to the widgets
//   under the editor, as a turn over any other part of the window;
// - entry and exit are the focus moving between the controls of a window: a popup menu taking
//   the focus for a moment, or the whole window being activated or deactivated, is neither.
class TSpinEditBase : public QLineEdit
{
    Q_OBJECT

public:
    // Raised after every change of the text, typed or rewritten by the control itself, and after
    // every rewrite of the text by the control even when the text stays the same.
    std::function<void(QObject *Sender)> OnChange;
    // Raised for every key press before the edit handles it. Shift+Up and Shift+Down, which the
    // control uses to step, arrive with Key 0. Setting Key to 0 keeps the key from the edit.
    TKeyEvent OnKeyDown;
    // Raised when the editor has gained the focus (after its own clamping, if any).
    std::function<void(QObject *Sender)> OnEnter;
    // Raised when the editor has lost the focus (after its own clamping, if any).
    std::function<void(QObject *Sender)> OnExit;

    // The scroll bar whose arrows are the spin buttons.
    QScrollBar *SpinBar() const { return FSpinBar; }

    // Whether the whole text is selected when the focus arrives other than by a mouse click
    // (true by default), so that typing replaces the number.
    bool AutoSelect() const { return FAutoSelect; }
    // Turns the selection of the whole text on entry on or off.
    void SetAutoSelect(bool value) { FAutoSelect = value; }

    // Replaces the sound made for a refused typed character (QApplication::beep by default) and
    // returns the previous one; an empty function restores the default.
    static std::function<void()> SetBeep(std::function<void()> beep);

protected:
    // Builds the edit and its scroll bar.
    explicit TSpinEditBase(QWidget *parent);

    // Reads the number from the text for a step; may throw EControlError.
    virtual std::int32_t StepRead() = 0;
    // Writes a stepped number into the text.
    virtual void StepWrite(std::int32_t value) = 0;
    // Lowest number a step may reach.
    virtual std::int32_t StepLow() const = 0;
    // Highest number a step may reach.
    virtual std::int32_t StepHigh() const = 0;
    // Size of a page step.
    virtual std::int64_t PageStep() const = 0;
    // Whether a typed printable character may go into the text.
    virtual bool AcceptsCharacter(QChar character) const = 0;
    // Runs after the edit has pasted text from the clipboard.
    virtual void AfterPaste() {}
    // Runs when the focus arrives or leaves, before OnEnter or OnExit.
    virtual void FocusClamp() {}

    // Replaces the text and raises OnChange, also when the text does not change.
    void ReplaceText(const QString &newText);
    // Sounds the beep for a refused character.
    static void Beep();

    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Runs one scroll bar action as a spin step.
    void SpinAction(int action);
    // Steps by the wheel: up when up, else down.
    void WheelStep(bool up);
    // Adds a wheel event's vertical delta to what is left of earlier ones and takes one step
    // per whole notch in it.
    void WheelTurn(int delta);
    // Places the scroll bar at the right edge and keeps the text clear of it.
    void PlaceBar();
    // Runs a step, reporting an error instead of letting it leave the event handler.
    bool Guarded(const std::function<void()> &step);

    QScrollBar *FSpinBar = nullptr;
    bool FAutoSelect = true;
    // Vertical wheel delta not yet taken as a step (less than one notch either way).
    int WheelRest = 0;
};
