#pragma once

#include "controls/UColors.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QEvent>
#include <QFont>
#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>

class QLabel;
class QPainter;
class QRect;
class QRegion;

// Cell data callback: ARow -1 asks for the title of column ACol; Color (0x00BBGGRR, top byte 0xFF
// for a system colour index), Flags and Data are filled in by the owner.
using TGetDataEvent = std::function<void(int ARow, int ACol, std::uint32_t &Color,
                                         std::uint8_t &Flags, QString &Data)>;

// Plain notification carrying the control that raised it.
using TNotifyEvent = std::function<void(QObject *Sender)>;

// Frame around the client area: none, or the sunken 3-D edge.
enum class TBorderStyle
{
    bsNone,
    bsSingle
};

// Read-only owner-drawn grid with one title row; it keeps no cell data and asks OnGetData for
// every cell it paints. The viewport is the client area; the scroll bars are the area's own.
// The body follows the palette: its background is the base colour, and a cell or frame colour
// of 0 (black) is drawn in the palette's text colour, so a dark theme stays readable; other
// colour values are drawn as they are.
class TASGrid : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Number of the selection-changed message the grid posts to itself (WM_USER + 200).
    static constexpr int WM_GRIDSELCHANGE = 0x4C8;
    // Event type that carries WM_GRIDSELCHANGE through the grid's own event queue.
    static constexpr QEvent::Type GridSelChangeEvent =
        static_cast<QEvent::Type>(QEvent::User + WM_GRIDSELCHANGE);

    // Creates an empty grid: no columns, no rows, nothing selected.
    explicit TASGrid(QWidget *parent = nullptr);
    ~TASGrid() override;

    // Number of columns; values of 0 or less are ignored, others reset every width to 60.
    int ColCount() const { return FColCount; }
    void SetColCount(int value);
    // Number of body rows; keeps the selection inside the new range and posts its change.
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    // Height of the title row in pixels; 0 or less is ignored.
    int TitleHeight() const { return FTitleHeight; }
    void SetTitleHeight(int value);
    // Height of a body row in pixels; 0 or less is ignored.
    int RowHeight() const { return FRowHeight; }
    void SetRowHeight(int value);
    // Body font size in points; 0 or less is ignored.
    int FontSize() const { return FFontSize; }
    void SetFontSize(int value);
    // Selected body row, -1 for none; out-of-range values are ignored.
    int SelectedRow() const { return FSelectedRow; }
    void SetSelectedRow(int value);
    // Font of the title row; its bold style also feeds the body font. Setting it does not repaint.
    const QFont &TitleFont() const { return FTitleFont; }
    void SetTitleFont(const QFont &font);
    // Text colour of the title row (encoded colour); the toolkit's font carries no colour.
    std::uint32_t TitleFontColor() const { return FTitleFontColor; }
    void SetTitleFontColor(std::uint32_t value);
    // Shows the full text of a cut-off cell in a tooltip-style window under the pointer.
    bool HotHint() const { return FHotHint; }
    void SetHotHint(bool value);
    // Sunken client edge or none.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // Whether Tab moves the focus into the grid (a click always does).
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value);

    // Cell data callback; unassigned paints empty cells.
    const TGetDataEvent &OnGetData() const { return FOnGetData; }
    void SetOnGetData(TGetDataEvent handler);
    // Raised when WM_GRIDSELCHANGE comes back, after the selection has changed.
    const TNotifyEvent &OnCSelRow() const { return FOnCSelRow; }
    void SetOnCSelRow(TNotifyEvent handler);
    // Raised at once on Enter or double click.
    const TNotifyEvent &OnChoiseRow() const { return FOnChoiseRow; }
    void SetOnChoiseRow(TNotifyEvent handler);

    // Width of column Index, 0 outside 0 .. ColCount - 1.
    int ColWidths(int Index) const;
    // Sets the width of column Index; out-of-range indexes are ignored (true); a negative width
    // is refused and reported by false.
    bool SetColWidths(int Index, int width);

    // SelectedRow - TopRow: where the selected row sits among the rows shown.
    int SelectedOffset() const { return FSelectedRow - FTopRow; }
    // Whole body rows that fit below the title (never below 0).
    int VisibleRows() const;
    // First body row shown.
    int TopRow() const { return FTopRow; }
    // Body row shown at client height y, whole or in part; -1 over the title or below the rows.
    int RowAt(int y) const;
    // True when the wheel made the last change of the selection; a click, a key or
    // SetSelectedRow make it false.
    bool LastSelectionByWheel() const { return FLastSelectionByWheel; }
    // Scrolls so that body row `row` is the first shown, as far as the rows allow.
    void SetTopRow(int row);
    // First column shown.
    int LeftCol() const { return FLeftCol; }
    // Largest allowed LeftCol and TopRow after the last scroll bar update.
    int HScrollMax() const { return FHScrollMax; }
    int VScrollMax() const { return FVScrollMax; }
    // Column drawn pressed, -1 for none.
    int PressedCol() const { return FPressedCol; }
    // Column whose right border is being dragged, -1 for none.
    int ResizeCol() const { return FResizeCol; }
    // Cell (row * ColCount + column) whose hint is showing, -1 for none.
    qint64 HintCell() const { return FHintCell; }
    // The tooltip-style window of the hot hint.
    QLabel *HintWindow() const { return FHintWindow; }

    // Recomputes the scroll ranges and repaints the body and the selection frame.
    void RefreshBody();
    // Recomputes both scroll ranges from the client size and clamps TopRow and LeftCol.
    void UpdateScrollBars();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // Painting steps; each draws straight onto the viewport through the painter.
    void PaintTitle(QPainter &painter);
    void PaintBody(QPainter &painter, const QRegion &area);
    void DrawCellText(QPainter &painter, const QRect &rect, int x0, int y0, QString text);
    // Draws the selected row's frame over the body, when the row is shown.
    void DrawSelectionFrame(QPainter &painter);

private:
    void PostSelChange();
    void LeftButtonDown(int x, int y);
    // Handles a left-button press (single or double) as LeftButtonDown; false for another button.
    bool TakeLeftPress(QMouseEvent *event);
    // Stores a positive size and lays the grid out again; 0 or less is ignored.
    void StorePositive(int &field, int value);
    // Scrolls a row into view: the top rule when moving upward, the bottom rule otherwise.
    void ScrollToRow(int row, bool upward);
    // Selects row as the keys and the wheel do: scrolls, repaints the body, posts the change.
    void StepSelection(int row, bool upward, bool byWheel = false);
    // Colour of body text and frames: value 0 is the palette's text colour (see the class).
    QColor BodyColor(std::uint32_t value) const;
    // Left edge of column col: the widths from LeftCol up to col; negative left of LeftCol.
    qint64 ColLeft(int col) const;
    // Walks the shown columns from LeftCol rightwards and gives the first for which
    // test(left edge, width) holds, and its left edge in *left; -1 when none does.
    int FindColumn(const std::function<bool(qint64, qint64)> &test, qint64 *left = nullptr) const;
    // Shown column whose right border lies within 4 pixels of x, or -1.
    int BorderAt(int x) const;
    void HideHint();
    // Whether the pointer lies inside the client area.
    bool PointerOverClient() const;
    // Whether the pointer rests on the showing hint, inside the client area.
    bool PointerOnHint() const;
    void UpdateHint(int x, int y);
    void InvalidateTitle();
    void InvalidateRowFrame(int row);
    void OnHScrollAction(int action);
    void OnVScrollAction(int action);
    // Where a scroll bar action moves a bar from pos, clamped into 0 .. max: a line is one,
    // a page is page, thumb tracking gives track.
    static qint64 ScrollTarget(int action, qint64 pos, qint64 max, qint64 page, qint64 track);
    void ApplyScrollBars();
    int PageRows() const;
    int ClientWidth() const;
    int ClientHeight() const;
    int CharHeight(const QFont &font) const;
    QFont BodyFont() const;

    int FColCount = 0;
    int FRowCount = 0;
    int FTitleHeight = 20;
    int FRowHeight = 20;
    int FFontSize = 9;
    int FSelectedRow = -1;
    bool FLastSelectionByWheel = false;
    QFont FTitleFont;
    std::uint32_t FTitleFontColor = clWindowText;
    bool FHotHint = false;
    TBorderStyle FBorderStyle = TBorderStyle::bsNone;
    bool FTabStop = false;
    TGetDataEvent FOnGetData;
    TNotifyEvent FOnCSelRow;
    TNotifyEvent FOnChoiseRow;

    QVector<int> FColWidths{60};
    int FTopRow = 0;
    int FLeftCol = 0;
    int FHScrollMax = -1;
    int HScrollPos = -1;
    int FVScrollMax = -1;
    int VScrollPos = -1;
    int FPressedCol = -1;
    int FResizeCol = -1;
    qint64 FHintCell = -1;
    QLabel *FHintWindow = nullptr;

    // Callback arguments of the current painting pass; never reset between cells.
    std::uint32_t PassColor = 0;
    std::uint8_t PassFlags = 0;
    QString PassData;
    bool UpdatingBars = false;
};
