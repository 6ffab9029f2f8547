#include "controls/UASGrid.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <climits>

namespace {

// Column widths of a freshly sized grid.
constexpr int DefaultColWidth = 60;
// Distance in pixels within which the pointer counts as being on a title border.
constexpr int BorderSlack = 4;
// Hints are offered only for columns wider than this.
constexpr int HintMinColWidth = 12;

const QString Ellipsis = QStringLiteral("...");

// Fills (l, t) - (r, b), right and bottom exclusive; empty rectangles draw nothing.
void FillBox(QPainter &p, qint64 l, qint64 t, qint64 r, qint64 b, const QColor &c)
{
    if (r <= l || b <= t) {
        return;
    }
    p.fillRect(QRect(int(l), int(t), int(r - l), int(b - t)), c);
}

// Horizontal line from (x0, y) towards (x1, y); like the classic line-to, the end point itself
// is not drawn.
void DrawHLine(QPainter &p, qint64 x0, qint64 y, qint64 x1, const QColor &c)
{
    if (x1 > x0) {
        FillBox(p, x0, y, x1, y + 1, c);
    } else if (x1 < x0) {
        FillBox(p, x1 + 1, y, x0 + 1, y + 1, c);
    }
}

// Vertical line from (x, y0) towards (x, y1), end point not drawn.
void DrawVLine(QPainter &p, qint64 x, qint64 y0, qint64 y1, const QColor &c)
{
    if (y1 > y0) {
        FillBox(p, x, y0, x + 1, y1, c);
    } else if (y1 < y0) {
        FillBox(p, x, y1 + 1, x + 1, y0 + 1, c);
    }
}

// Removes the last character, keeping surrogate pairs together.
void ChopLastChar(QString &text)
{
    int n = 1;
    if (text.size() >= 2 && text.at(text.size() - 1).isLowSurrogate() &&
        text.at(text.size() - 2).isHighSurrogate()) {
        n = 2;
    }
    text.chop(n);
}

} // namespace

TASGrid::TASGrid(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFrameStyle(QFrame::NoFrame);
    setFocusPolicy(Qt::ClickFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // The grid paints every pixel of the client area itself, so Qt need not clear it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    viewport()->setCursor(Qt::ArrowCursor);

    // The hint lies over the cell under the pointer: it must take neither the focus nor the
    // pointer, or the grid would see the pointer leave and drop the hint at once. X11 quirk: the
    // xcb platform adds "stays on top" to every tooltip window and, when that flag was not asked
    // for, creates the native window afresh at its first showing, without the empty input shape
    // that lets the pointer through. Asking for the flag here keeps the first native window.
    FHintWindow =
        new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                             Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    FHintWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    FHintWindow->setAttribute(Qt::WA_TransparentForMouseEvents);
    FHintWindow->setTextFormat(Qt::PlainText);
    FHintWindow->setFrameStyle(QFrame::Box | QFrame::Plain);
    FHintWindow->setLineWidth(1);
    FHintWindow->setIndent(1);
    FHintWindow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FHintWindow->setAutoFillBackground(true);
    FHintWindow->hide();
    FHintWindow->installEventFilter(this);

    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TASGrid::OnHScrollAction);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            &TASGrid::OnVScrollAction);
}

TASGrid::~TASGrid() = default;

// ---- properties ----

void TASGrid::SetColCount(int value)
{
    if (value <= 0) {
        return;
    }
    FColCount = value;
    FColWidths = QVector<int>(value, DefaultColWidth);
    // A pressed cell or an armed resize may name a column that no longer exists.
    if (FPressedCol >= FColCount) {
        FPressedCol = -1;
    }
    if (FResizeCol >= FColCount) {
        FResizeCol = -1;
    }
    HideHint();
    UpdateScrollBars();
    viewport()->update();
}

void TASGrid::SetRowCount(int value)
{
    if (value <= 0) {
        value = 0;
        if (FSelectedRow != -1) {
            FSelectedRow = -1;
            PostSelChange();
        }
        FTopRow = 0;
    } else if (FSelectedRow == -1) {
        FSelectedRow = 0;
        PostSelChange();
    } else if (FSelectedRow >= value) {
        FSelectedRow = value - 1;
        PostSelChange();
    }
    FRowCount = value;
    HideHint();
    UpdateScrollBars();
    // Repaint in every case: new rows and a newly selected row must show at once.
    viewport()->update();
}

void TASGrid::SetTitleHeight(int value)
{
    StorePositive(FTitleHeight, value);
}

void TASGrid::SetRowHeight(int value)
{
    StorePositive(FRowHeight, value);
}

void TASGrid::SetFontSize(int value)
{
    StorePositive(FFontSize, value);
}

void TASGrid::StorePositive(int &field, int value)
{
    if (value <= 0) {
        return;
    }
    field = value;
    UpdateScrollBars();
    viewport()->update();
}

void TASGrid::SetSelectedRow(int value)
{
    if (value < 0 || value >= FRowCount) {
        return;
    }
    ScrollToRow(value, value < FTopRow);
    if (value != FSelectedRow) {
        FSelectedRow = value;
        FLastSelectionByWheel = false;
        PostSelChange();
    }
    UpdateScrollBars();
    viewport()->update();
}

void TASGrid::SetTitleFont(const QFont &font)
{
    FTitleFont = font;
}

void TASGrid::SetTitleFontColor(std::uint32_t value)
{
    FTitleFontColor = value;
}

void TASGrid::SetHotHint(bool value)
{
    FHotHint = value;
    if (!value) {
        HideHint();
    }
}

void TASGrid::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle) {
        return;
    }
    FBorderStyle = value;
    // The sunken 2-pixel client edge of classic windows.
    setFrameStyle(value == TBorderStyle::bsSingle ? (QFrame::WinPanel | QFrame::Sunken)
                                                  : QFrame::NoFrame);
    UpdateScrollBars();
    viewport()->update();
}

void TASGrid::SetTabStop(bool value)
{
    FTabStop = value;
    setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus);
}

void TASGrid::SetOnGetData(TGetDataEvent handler)
{
    FOnGetData = std::move(handler);
}

void TASGrid::SetOnCSelRow(TNotifyEvent handler)
{
    FOnCSelRow = std::move(handler);
}

void TASGrid::SetOnChoiseRow(TNotifyEvent handler)
{
    FOnChoiseRow = std::move(handler);
}

int TASGrid::ColWidths(int Index) const
{
    if (Index < 0 || Index >= FColCount) {
        return 0;
    }
    return FColWidths.at(Index);
}

bool TASGrid::SetColWidths(int Index, int width)
{
    if (Index < 0 || Index >= FColCount) {
        return true;
    }
    if (width < 0) {
        return false;
    }
    FColWidths[Index] = width;
    UpdateScrollBars();
    viewport()->update();
    return true;
}

int TASGrid::VisibleRows() const
{
    return std::max((ClientHeight() - FTitleHeight) / FRowHeight, 0);
}

int TASGrid::PageRows() const
{
    return VisibleRows();
}

void TASGrid::ScrollToRow(int row, bool upward)
{
    // With no whole row visible the row becomes the top one.
    const int visible = std::max(VisibleRows(), 1);
    if (upward) {
        if (row < FTopRow) {
            FTopRow = row;
        }
    } else if (row > FTopRow + visible - 1) {
        FTopRow = row - visible + 1;
    }
}

void TASGrid::StepSelection(int row, bool upward, bool byWheel)
{
    FSelectedRow = row;
    FLastSelectionByWheel = byWheel;
    ScrollToRow(row, upward);
    RefreshBody();
    PostSelChange();
}

qint64 TASGrid::ColLeft(int col) const
{
    qint64 left = 0;
    for (int c = FLeftCol; c < col; ++c) {
        left += FColWidths.at(c);
    }
    for (int c = col; c < FLeftCol; ++c) {
        left -= FColWidths.at(c);
    }
    return left;
}

int TASGrid::FindColumn(const std::function<bool(qint64, qint64)> &test, qint64 *left) const
{
    qint64 x = 0;
    for (int i = FLeftCol; i < FColCount; ++i) {
        const qint64 w = FColWidths.at(i);
        if (test(x, w)) {
            if (left != nullptr) {
                *left = x;
            }
            return i;
        }
        x += w;
    }
    return -1;
}

int TASGrid::BorderAt(int x) const
{
    return FindColumn([x](qint64 left, qint64 w) {
        return left + w - BorderSlack < x && x < left + w + BorderSlack;
    });
}

int TASGrid::ClientWidth() const
{
    return viewport()->width();
}

int TASGrid::ClientHeight() const
{
    return viewport()->height();
}

int TASGrid::CharHeight(const QFont &font) const
{
    if (font.pointSizeF() > 0) {
        return qRound(font.pointSizeF() * logicalDpiY() / 72.0);
    }
    return std::max(font.pixelSize(), 0);
}

QColor TASGrid::BodyColor(std::uint32_t value) const
{
    return value == clBlack ? palette().color(QPalette::Text) : ColorFromTColor(value, palette());
}

QFont TASGrid::BodyFont() const
{
    // Only the bold style carries over from the title font.
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(FFontSize);
    font.setBold(FTitleFont.bold());
    return font;
}

// ---- scrolling state ----

void TASGrid::UpdateScrollBars()
{
    // Twice: showing or hiding one bar changes the room left for the other.
    for (int pass = 0; pass < 2; ++pass) {
        const qint64 cw = ClientWidth();
        FHScrollMax = 0;
        qint64 sum = 0;
        for (int j = FColCount - 1; j >= 0; --j) {
            sum += FColWidths.at(j);
            if (sum > cw) {
                FHScrollMax = j + 1;
                break;
            }
        }
        FLeftCol = std::min(FLeftCol, FHScrollMax);
        HScrollPos = FLeftCol;

        FVScrollMax = std::max(FRowCount - std::max(VisibleRows(), 1), 0);
        FTopRow = std::min(FTopRow, FVScrollMax);
        VScrollPos = FTopRow;
        ApplyScrollBars();
    }
}

void TASGrid::ApplyScrollBars()
{
    if (UpdatingBars) {
        return;
    }
    UpdatingBars = true;
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, FHScrollMax);
    h->setSingleStep(1);
    h->setPageStep(1);
    h->setValue(HScrollPos);
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, FVScrollMax);
    v->setSingleStep(1);
    v->setPageStep(std::max(PageRows(), 1));
    v->setValue(VScrollPos);
    UpdatingBars = false;
}

void TASGrid::SetTopRow(int row)
{
    UpdateScrollBars();
    const int top = std::clamp(row, 0, FVScrollMax);
    if (top == FTopRow) {
        return;
    }
    FTopRow = top;
    HideHint();
    RefreshBody();
}

void TASGrid::RefreshBody()
{
    UpdateScrollBars();
    viewport()->update(
        QRect(0, FTitleHeight, ClientWidth(), std::max(ClientHeight() - FTitleHeight, 0)));
}

// Scroll bar actions stand for the classic scroll codes: single step = line left/up and
// right/down, page step = page left/up and right/down, slider move = thumb tracking, slider to
// minimum/maximum = top and bottom (offered by the bar's context menu). The bar's own
// position is a full 32-bit value, so thumb tracking needs no widening of a 16-bit position.
void TASGrid::OnHScrollAction(int action)
{
    QScrollBar *bar = horizontalScrollBar();
    const qint64 candidate =
        ScrollTarget(action, HScrollPos, FHScrollMax, 1, bar->sliderPosition());
    if (candidate != HScrollPos) {
        FLeftCol = int(candidate);
        HideHint();
        UpdateScrollBars();
        viewport()->update();
    }
    // The bar applies its slider position right after this handler: keep it on ours.
    bar->setSliderPosition(std::max(HScrollPos, 0));
}

void TASGrid::OnVScrollAction(int action)
{
    QScrollBar *bar = verticalScrollBar();
    const qint64 candidate =
        ScrollTarget(action, VScrollPos, FVScrollMax, PageRows(), bar->sliderPosition());
    if (candidate != VScrollPos) {
        FTopRow = int(candidate);
        HideHint();
        RefreshBody();
    }
    bar->setSliderPosition(std::max(VScrollPos, 0));
}

qint64 TASGrid::ScrollTarget(int action, qint64 pos, qint64 max, qint64 page, qint64 track)
{
    qint64 candidate = pos;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        --candidate;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        ++candidate;
        break;
    case QAbstractSlider::SliderPageStepSub:
        candidate = std::max<qint64>(0, candidate - page);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        candidate = std::min<qint64>(max, candidate + page);
        break;
    case QAbstractSlider::SliderMove:
        candidate = track;
        break;
    case QAbstractSlider::SliderToMinimum:
        candidate = 0;
        break;
    case QAbstractSlider::SliderToMaximum:
        candidate = max;
        break;
    default:
        break;
    }
    return std::clamp<qint64>(candidate, 0, std::max<qint64>(max, 0));
}

void TASGrid::scrollContentsBy(int, int)
{
    // The grid scrolls by rows and columns through its own state; nothing to move here.
}

// ---- painting ----

void TASGrid::paintEvent(QPaintEvent *event)
{
    UpdateScrollBars();
    QPainter painter(viewport());
    // A painting pass starts with empty data; the owner fills it cell by cell.
    PassColor = 0;
    PassFlags = 0;
    PassData.clear();
    const QRect area = event->rect();
    if (area.top() < FTitleHeight) {
        PaintTitle(painter);
    }
    if (area.bottom() >= FTitleHeight) {
        PaintBody(painter, event->region());
    }
    DrawSelectionFrame(painter);
}

void TASGrid::PaintTitle(QPainter &painter)
{
    const qint64 cw = ClientWidth();
    const int th = FTitleHeight;
    const QPalette &pal = palette();
    const QColor black = ColorFromTColor(clBlack, pal);
    const QColor white = ColorFromTColor(clWhite, pal);
    const QColor grey = ColorFromTColor(clGray, pal);
    const QColor face = ColorFromTColor(clBtnFace, pal);
    const QColor window = ColorFromTColor(clWindow, pal);

    painter.setFont(FTitleFont);
    const QFontMetrics fm(FTitleFont, viewport());
    const int h = CharHeight(FTitleFont);
    // A title lower than its font centres the text line instead of aligning its top.
    const int textTop = th >= h ? (th - h) / 2 - 2 : (th - fm.height()) / 2;

    qint64 x = 0;
    for (int i = FLeftCol; i < FColCount; ++i) {
        const qint64 w = FColWidths.at(i);
        const bool pressed = i == FPressedCol;
        const QColor &light = pressed ? grey : white;
        const QColor &shadow = pressed ? white : grey;
        // The raised edge leaves its top right corner pixel open; give it the face colour.
        FillBox(painter, x + w - 2, 0, std::min(x + w - 1, cw), 1, face);
        // Each right edge is drawn wherever it falls inside the client area: a column that ends
        // at the client edge, or one pixel past it, has no cell beyond it to cover those pixels,
        // and the viewport is opaque.
        DrawHLine(painter, x, th - 1, std::min(x + w - 1, cw), black);
        if (x + w - 1 < cw) {
            DrawVLine(painter, x + w - 1, th - 1, -1, black);
        }
        DrawHLine(painter, x + 1, th - 2, std::min(x + w - 2, cw), shadow);
        if (x + w - 2 < cw) {
            DrawVLine(painter, x + w - 2, th - 2, 0, shadow);
        }
        DrawVLine(painter, x, th - 2, 0, light);
        DrawHLine(painter, x, 0, std::min(x + w - 2, cw), light);

        if (FOnGetData) {
            FOnGetData(-1, i, PassColor, PassFlags, PassData);
            painter.setPen(ColorFromTColor(FTitleFontColor, pal));
            painter.setBrush(face);
            DrawCellText(painter, QRect(int(x + 1), 1, int(w - 3), th - 3), int(x + 5), textTop,
                         PassData);
        } else {
            FillBox(painter, x + 1, 1, std::min(x + w - 2, cw), th - 2, face);
        }
        x += w;
        if (x >= cw) {
            break;
        }
    }
    if (x < cw) {
        FillBox(painter, x, 0, cw, th, window);
    }
}

void TASGrid::PaintBody(QPainter &painter, const QRegion &area)
{
    const qint64 cw = ClientWidth();
    const qint64 ch = ClientHeight();
    const qint64 th = FTitleHeight;
    const qint64 rh = FRowHeight;
    const QPalette &pal = palette();
    const QColor window = ColorFromTColor(clWindow, pal);

    const QFont font = BodyFont();
    painter.setFont(font);
    painter.setPen(BodyColor(clBlack));
    painter.setBrush(window);
    const QFontMetrics fm(font, viewport());
    const int h = CharHeight(font);
    const int textOffset = rh >= h ? int(rh - h) / 2 - 2 : int(rh - fm.height()) / 2;

    qint64 y = th;
    // Rows starting at or below the client bottom are not shown, so they are not asked for.
    for (int r = FTopRow; r < FRowCount && y < ch; ++r) {
        const qint64 bottom = std::min(y + rh, ch);
        if (area.intersects(QRect(0, int(y), int(cw), int(bottom - y)))) {
            qint64 x = 0;
            for (int c = FLeftCol; c < FColCount; ++c) {
                const qint64 w = FColWidths.at(c);
                QString text;
                if (FOnGetData) {
                    FOnGetData(r, c, PassColor, PassFlags, PassData);
                    painter.setPen(BodyColor(PassColor));
                    text = PassData;
                }
                DrawCellText(painter, QRect(int(x), int(y), int(w), int(bottom - y)), int(x + 5),
                             int(y + textOffset), text);
                x += w;
                if (x >= cw) {
                    break;
                }
            }
            // The selected row's frame is drawn over the body afterwards by DrawSelectionFrame,
            // which every paint runs.
            if (x < cw) {
                FillBox(painter, x, y, cw, bottom, window);
            }
        }
        y += rh;
    }
    if (y < ch) {
        FillBox(painter, 0, y, cw, ch, window);
    }
}

void TASGrid::DrawCellText(QPainter &painter, const QRect &rect, int x0, int y0, QString text)
{
    // The room for the text ends at the cell's own edge, even where the client area cuts it.
    const qint64 right = qint64(rect.x()) + rect.width();
    const qint64 available = right - x0;
    const QFontMetrics fm(painter.font(), viewport());
    if (!text.isEmpty() && fm.horizontalAdvance(text) > available) {
        const qint64 limit = available - fm.horizontalAdvance(Ellipsis);
        // Long texts: find the cut by halving first, then finish character by character.
        if (text.size() > 32) {
            int lo = 0;
            int hi = int(text.size());
            while (lo < hi) {
                const int mid = (lo + hi + 1) / 2;
                if (fm.horizontalAdvance(text.left(mid)) <= limit) {
                    lo = mid;
                } else {
                    hi = mid - 1;
                }
            }
            text.truncate(std::min<qsizetype>(qsizetype(lo) + 1, text.size()));
        }
        while (!text.isEmpty() && fm.horizontalAdvance(text) > limit) {
            ChopLastChar(text);
        }
        text += Ellipsis;
    }
    const qint64 clipRight = std::min<qint64>(right, ClientWidth());
    if (clipRight <= rect.x() || rect.height() <= 0) {
        return;
    }
    const QRect clip(rect.x(), rect.y(), int(clipRight - rect.x()), rect.height());
    painter.fillRect(clip, painter.brush().color());
    if (text.isEmpty()) {
        return;
    }
    // Clipping costs more than the text itself; skip it when the text box lies inside.
    const QRect box(x0, y0, fm.horizontalAdvance(text), fm.height());
    if (clip.contains(box)) {
        painter.drawText(x0, y0 + fm.ascent(), text);
        return;
    }
    painter.save();
    painter.setClipRect(clip);
    painter.drawText(x0, y0 + fm.ascent(), text);
    painter.restore();
}

void TASGrid::DrawSelectionFrame(QPainter &painter)
{
    if (FSelectedRow < FTopRow) {
        return;
    }
    const qint64 ch = ClientHeight();
    const qint64 cw = ClientWidth();
    const qint64 t = qint64(FSelectedRow - FTopRow) * FRowHeight + FTitleHeight;
    if (ch <= t + 1) {
        return;
    }
    const qint64 b = t + FRowHeight;
    const qint64 r = ColLeft(FColCount);
    const QColor colour = BodyColor(clBlack);
    if (FLeftCol == 0) {
        DrawVLine(painter, 1, t + 1, std::min(b - 2, ch), colour);
    }
    DrawHLine(painter, 1, t + 1, std::min(r, cw), colour);
    DrawHLine(painter, 1, b - 2, std::min(r, cw), colour);
    if (r < cw) {
        DrawVLine(painter, r - 1, t + 1, std::min(b - 2, ch), colour);
    }
}

// ---- events ----

void TASGrid::focusInEvent(QFocusEvent *event)
{
    // The grid draws no focus mark, so gaining or losing the focus repaints nothing.
    event->accept();
}

void TASGrid::focusOutEvent(QFocusEvent *event)
{
    event->accept();
}

void TASGrid::hideEvent(QHideEvent *event)
{
    // A hint must not outlive the grid on screen, e.g. when the owner switches pages.
    HideHint();
    QAbstractScrollArea::hideEvent(event);
}

void TASGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

bool TASGrid::event(QEvent *event)
{
    if (event->type() == GridSelChangeEvent) {
        if (FOnCSelRow) {
            FOnCSelRow(this);
        }
        return true;
    }
    return QAbstractScrollArea::event(event);
}

bool TASGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Leave) {
        // Where the window system still lets the hint window take the pointer, showing the hint
        // under the pointer makes this Leave: the pointer has not left the grid, so the hint
        // stays. The hint's own Leave (eventFilter) then tells when the pointer goes.
        if (!PointerOnHint()) {
            HideHint();
        }
        if (FPressedCol != -1) {
            FPressedCol = -1;
            InvalidateTitle();
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void TASGrid::mousePressEvent(QMouseEvent *event)
{
    if (!TakeLeftPress(event)) {
        QAbstractScrollArea::mousePressEvent(event);
    }
}

void TASGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!TakeLeftPress(event)) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    if (FOnChoiseRow) {
        FOnChoiseRow(this);
    }
}

bool TASGrid::TakeLeftPress(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    const QPoint pos = event->position().toPoint();
    LeftButtonDown(pos.x(), pos.y());
    event->accept();
    return true;
}

void TASGrid::LeftButtonDown(int x, int y)
{
    if (!hasFocus()) {
        setFocus(Qt::MouseFocusReason);
    }
    const int th = FTitleHeight;
    if (y > 0 && y < th) {
        // The cursor, set by the last move, tells a press on a cell from one on a border.
        if (viewport()->cursor().shape() == Qt::SplitHCursor) {
            const int col = BorderAt(x);
            if (col >= 0) {
                FResizeCol = col;
            }
            return;
        }
        const int col = FindColumn([x](qint64 left, qint64 w) {
            return left + BorderSlack < x && x < left + w - BorderSlack;
        });
        if (col >= 0) {
            FPressedCol = col;
            InvalidateTitle();
        }
        return;
    }
    if (x <= 0 || x >= ClientWidth()) {
        return;
    }
    const int row = RowAt(y);
    if (row < 0 || row == FSelectedRow) {
        return;
    }
    // Only the two rows whose frames change are redrawn, unless the new row is shown only in
    // part: then it scrolls fully into view, so whatever its owner puts over it fits.
    InvalidateRowFrame(FSelectedRow);
    FSelectedRow = row;
    FLastSelectionByWheel = false;
    PostSelChange();
    const int top = FTopRow;
    ScrollToRow(row, false);
    if (FTopRow != top) {
        HideHint();
        RefreshBody();
    } else {
        InvalidateRowFrame(FSelectedRow);
    }
}

int TASGrid::RowAt(int y) const
{
    const qint64 th = FTitleHeight;
    const qint64 bottom =
        std::min<qint64>(qint64(FRowCount - FTopRow) * FRowHeight + th, ClientHeight());
    if (y <= th || y >= bottom) {
        return -1;
    }
    return FTopRow + int((y - th) / FRowHeight);
}

void TASGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const int x = event->position().toPoint().x();
    if (FPressedCol != -1) {
        FPressedCol = -1;
        InvalidateTitle();
    }
    if (FResizeCol != -1) {
        // Left edge of the column in client coordinates (negative once scrolled off).
        const qint64 left = ColLeft(FResizeCol);
        // A release too close to the left edge keeps the resize armed for the next one.
        if (x > left + BorderSlack) {
            FColWidths[FResizeCol] = int(std::min<qint64>(x - left, INT_MAX));
            FResizeCol = -1;
            UpdateScrollBars();
            viewport()->update();
        }
    }
}

void TASGrid::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int x = pos.x();
    const int y = pos.y();
    const bool onBorder = y > 0 && y < FTitleHeight && BorderAt(x) >= 0;
    const Qt::CursorShape wanted =
        (onBorder || FResizeCol != -1) ? Qt::SplitHCursor : Qt::ArrowCursor;
    if (viewport()->cursor().shape() != wanted) {
        viewport()->setCursor(wanted);
    }
    if (FHotHint) {
        UpdateHint(x, y);
    }
    event->accept();
}

void TASGrid::UpdateHint(int x, int y)
{
    const qint64 th = FTitleHeight;
    const qint64 rh = FRowHeight;
    const qint64 bottom = std::min<qint64>(qint64(FRowCount - FTopRow) * rh + th, ClientHeight());
    qint64 left = 0;
    int col = -1;
    if (y > th && y < bottom) {
        col = FindColumn(
            [x](qint64 l, qint64 w) { return w > HintMinColWidth && l < x && x < l + w; }, &left);
    }
    if (col < 0) {
        HideHint();
        return;
    }
    if (!FOnGetData) {
        return;
    }
    const int rowInView = int((y - th) / rh);
    const int row = rowInView + FTopRow;
    std::uint32_t colour = 0;
    std::uint8_t flags = 0;
    QString data;
    FOnGetData(row, col, colour, flags, data);
    const qint64 cell = qint64(row) * FColCount + col;
    if (cell == FHintCell) {
        return;
    }
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(FFontSize);
    const QFontMetrics fm(font, FHintWindow);
    const int width = fm.horizontalAdvance(data);
    if (width + HintMinColWidth <= FColWidths.at(col)) {
        HideHint();
        return;
    }
    FHintCell = cell;
    const QPoint screen = viewport()->mapToGlobal(QPoint(int(left), int(rowInView * rh + th)));
    // The hint covers the cell's text; it grows to a whole text line when rows are lower than
    // the font, and stays on the screen.
    QRect rect(screen.x(), screen.y() + 2, width + 5, std::max(int(rh) - 7, fm.height() + 2));
    if (const QScreen *s = this->screen()) {
        const QRect avail = s->availableGeometry();
        if (rect.right() > avail.right()) {
            rect.moveRight(avail.right());
        }
        if (rect.left() < avail.left()) {
            rect.moveLeft(avail.left());
        }
        if (rect.bottom() > avail.bottom()) {
            rect.moveBottom(avail.bottom());
        }
    }
    QPalette pal = FHintWindow->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::WindowText,
                 colour == clBlack ? pal.color(QPalette::ToolTipText) : BodyColor(colour));
    FHintWindow->setPalette(pal);
    FHintWindow->setFont(font);
    FHintWindow->setText(data);
    FHintWindow->setGeometry(rect);
    FHintWindow->show();
}

void TASGrid::HideHint()
{
    if (FHintCell >= 0) {
        FHintCell = -1;
        FHintWindow->hide();
    }
}

bool TASGrid::PointerOverClient() const
{
    return viewport()->rect().contains(viewport()->mapFromGlobal(QCursor::pos()));
}

bool TASGrid::PointerOnHint() const
{
    return FHintCell >= 0 && FHintWindow->isVisible() &&
           FHintWindow->geometry().contains(QCursor::pos()) && PointerOverClient();
}

bool TASGrid::eventFilter(QObject *watched, QEvent *event)
{
    // The pointer left a hint window that had taken it: gone from the grid too, the hint goes;
    // back over the grid, the grid's own moves decide.
    if (watched == FHintWindow && event->type() == QEvent::Leave && !PointerOverClient()) {
        HideHint();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void TASGrid::wheelEvent(QWheelEvent *event)
{
    // The wheel belongs to the grid alone; it never scrolls the parent.
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        return; // a sideways tilt carries no vertical turn
    }
    if (delta > 0) {
        if (FSelectedRow > 0) {
            StepSelection(FSelectedRow - 1, true, true);
        }
    } else if (FSelectedRow >= 0 && FSelectedRow < FRowCount - 1) {
        StepSelection(FSelectedRow + 1, false, true);
    }
}

void TASGrid::keyPressEvent(QKeyEvent *event)
{
    const int sel = FSelectedRow;
    const int n = PageRows();
    const bool canUp = sel > 0;
    const bool canDown = sel >= 0 && sel < FRowCount - 1;
    int target = -1;
    bool up = false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!FOnChoiseRow) {
            event->ignore();
            return;
        }
        event->accept();
        FOnChoiseRow(this);
        return;
    case Qt::Key_Up:
        if (canUp) {
            target = sel - 1;
            up = true;
        }
        break;
    case Qt::Key_Down:
        if (canDown) {
            target = sel + 1;
        }
        break;
    case Qt::Key_PageUp:
        if (canUp) {
            target = std::max(0, sel - n);
            up = true;
        }
        break;
    case Qt::Key_PageDown:
        if (canDown) {
            target = int(std::min<qint64>(qint64(sel) + n, FRowCount - 1));
        }
        break;
    case Qt::Key_Home:
        if (canUp) {
            target = 0;
            up = true;
        }
        break;
    case Qt::Key_End:
        if (canDown) {
            target = FRowCount - 1;
        }
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // The grid keeps the arrow keys, though the horizontal ones do nothing here.
        event->accept();
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    // The movement keys are the grid's own, acting or not: the area's default handling would
    // move the scroll bars behind the grid's back.
    event->accept();
    if (target >= 0) {
        StepSelection(target, up);
    }
}

// ---- helpers ----

void TASGrid::PostSelChange()
{
    QCoreApplication::postEvent(this, new QEvent(GridSelChangeEvent));
}

void TASGrid::InvalidateTitle()
{
    viewport()->update(QRect(0, 0, ClientWidth(), FTitleHeight));
}

void TASGrid::InvalidateRowFrame(int row)
{
    if (row < 0 || row < FTopRow) {
        return;
    }
    const qint64 top = qint64(row - FTopRow) * FRowHeight + FTitleHeight;
    if (top >= ClientHeight()) {
        return;
    }
    viewport()->update(QRect(0, int(top), ClientWidth(), FRowHeight));
}
