#include "UAInternetLabel.h"

#include <QMouseEvent>

QColor ColorFromTColor(std::uint32_t Color, const QPalette &Palette)
{
    if ((Color >> 24) != 0xFF) {
        return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
    }
    // System colours by their index, mapped onto the nearest palette role.
    switch (Color & 0xFF) {
    case 2:  // active caption
    case 13: // highlight
    case 27: // active caption gradient
    case 29: // highlighted menu item
        return Palette.color(QPalette::Highlight);
    case 5: // window background
        return Palette.color(QPalette::Base);
    case 6:  // window frame
    case 21: // dark 3-D shadow
        return Palette.color(QPalette::Shadow);
    case 7: // menu text
        return Palette.color(QPalette::WindowText);
    case 8: // window text
        return Palette.color(QPalette::Text);
    case 9:  // caption text
    case 14: // highlighted text
        return Palette.color(QPalette::HighlightedText);
    case 0:  // scroll bar
    case 15: // button face
        return Palette.color(QPalette::Button);
    case 3:  // inactive caption
    case 12: // application workspace
        return Palette.color(QPalette::Mid);
    case 16: // button shadow
        return Palette.color(QPalette::Dark);
    case 17: // grey text
    case 19: // inactive caption text
        return Palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return Palette.color(QPalette::ButtonText);
    case 20: // button highlight
        return Palette.color(QPalette::Light);
    case 22: // light 3-D edge
        return Palette.color(QPalette::Midlight);
    case 23: // tooltip text
        return Palette.color(QPalette::ToolTipText);
    case 24: // tooltip background
        return Palette.color(QPalette::ToolTipBase);
    case 26: // hot-tracked item
        return Palette.color(QPalette::Link);
    default: // desktop, menu, borders, menu bar and unknown indices
        return Palette.color(QPalette::Window);
    }
}

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
