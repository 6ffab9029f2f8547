#pragma once

#include "controls/UColors.h"

#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QPalette>

#include <cstdint>
#include <functional>

// Label that looks like a link while the pointer is over it: its text takes FocusColor and an
// underline and the pointer becomes a pointing hand; on leave its own look comes back. It does
// nothing on a click itself; the owner's OnClick does (a std::function member, the same event
// style as the spin edits).
class TAInternetLabel : public QLabel
{
    Q_OBJECT

public:
    // Raised when the label is clicked with the left button (pressed and released over it).
    std::function<void(QObject *Sender)> OnClick;

    // Creates the label with FocusColor blue.
    explicit TAInternetLabel(QWidget *parent = nullptr);
    // Creates the label with a caption.
    explicit TAInternetLabel(const QString &caption, QWidget *parent = nullptr);

    // Text colour while the pointer is over the label, 0x00BBGGRR.
    std::uint32_t FocusColor() const { return FFocusColor; }
    // Sets the hover colour; a label under the pointer takes it at once.
    void SetFocusColor(std::uint32_t value);
    // Whether the label shows its hover look.
    bool Hovered() const { return FHovered; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    // Puts on the hover look.
    void ApplyHoverLook();
    // Puts back the look saved at entry.
    void RestoreLook();

    std::uint32_t FFocusColor = clBlue;
    bool FHovered = false;
    bool Pressed = false;
    // The look to restore on leave, and whether each part was the label's own or inherited.
    QPalette SavedPalette;
    QFont SavedFont;
    QCursor SavedCursor;
    bool OwnPalette = false;
    bool OwnFont = false;
    bool OwnCursor = false;
};
