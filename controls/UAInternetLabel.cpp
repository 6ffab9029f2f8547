#include "controls/UAInternetLabel.h"

#include <QMouseEvent>

TAInternetLabel::TAInternetLabel(QWidget *parent) : QLabel(parent) {}

TAInternetLabel::TAInternetLabel(const QString &caption, QWidget *parent) : QLabel(caption, parent)
{
}

void TAInternetLabel::SetFocusColor(std::uint32_t value)
{
    FFocusColor = value;
    if (FHovered) {
        ApplyHoverLook();
    }
}

void TAInternetLabel::enterEvent(QEnterEvent *event)
{
    // The look is saved afresh at every entry, so changes the program made while the pointer
    // was away are what comes back on leave. A second entry without a leave in between would
    // save the hover look itself, so it is ignored.
    if (!FHovered) {
        SavedPalette = palette();
        SavedFont = font();
        SavedCursor = cursor();
        OwnPalette = testAttribute(Qt::WA_SetPalette);
        OwnFont = testAttribute(Qt::WA_SetFont);
        OwnCursor = testAttribute(Qt::WA_SetCursor);
        FHovered = true;
        ApplyHoverLook();
    }
    QLabel::enterEvent(event);
}

void TAInternetLabel::leaveEvent(QEvent *event)
{
    RestoreLook();
    QLabel::leaveEvent(event);
}

void TAInternetLabel::RestoreLook()
{
    if (FHovered) {
        FHovered = false;
        // What was inherited from the parent is inherited again, so later changes of the
        // parent's look still reach the label.
        setPalette(OwnPalette ? SavedPalette : QPalette());
        setFont(OwnFont ? SavedFont : QFont());
        if (OwnCursor) {
            setCursor(SavedCursor);
        } else {
            unsetCursor();
        }
    }
}

void TAInternetLabel::ApplyHoverLook()
{
    QPalette hoverPalette = SavedPalette;
    hoverPalette.setColor(foregroundRole(), ColorFromTColor(FFocusColor, SavedPalette));
    setPalette(hoverPalette);
    QFont hoverFont = SavedFont;
    hoverFont.setUnderline(true);
    setFont(hoverFont);
    setCursor(Qt::PointingHandCursor);
}

void TAInternetLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) {
        // Taken, so that the release comes back here and makes the click.
        Pressed = true;
        event->accept();
    }
}

void TAInternetLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click arrives as this event, which QWidget would hand on to
    // mousePressEvent; the release after it would then click a second time. A double click is
    // one click, made by its first press and release.
    if (event->button() == Qt::LeftButton) {
        Pressed = false;
        event->accept();
        return;
    }
    QLabel::mouseDoubleClickEvent(event);
}

void TAInternetLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = Pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        Pressed = false;
    }
    QLabel::mouseReleaseEvent(event);
    if (click && OnClick) {
        OnClick(this);
    }
}
