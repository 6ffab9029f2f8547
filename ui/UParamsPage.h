#pragma once
// The parameter page: the chosen device's parameters in a two-column grid with a fixed-point
// editor floating over the selected row, the catalogue defaults, the write, and "Назад".

#include "device/ParameterReply.h"
#include "sets/ParameterSet.h"
#include "workers/TThread.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <vector>

class QPushButton;
class TASGrid;
class TDivisorSpinEdit;

// What a page's read or write asks of the window that shows it.
class IParamsPageHost
{
public:
    virtual ~IParamsPageHost() = default;
    // True when no worker runs, so the page may start one.
    virtual bool IsIdle() const = 0;
    // True when a port is open; otherwise the window tells the operator so and it is false.
    virtual bool PortReady() = 0;
    // A read (`reading`) or a write is starting: the window becomes busy, disables its close
    // command and shows `status`.
    virtual void WorkBegins(bool reading, const QString &status) = 0;
    // The read or write has ended, or could not start: the window returns to idle.
    virtual void WorkEnds() = 0;
    // "Назад": the window shows its device list.
    virtual void BackRequested() = 0;
    // Posts WM_PLACEEDITOR to the window, which hands it back through WMPlaceEditor.
    virtual void PostPlaceEditor() = 0;
    // True when address 0 is a bus address (the list page's check), so a write may move a
    // device there.
    virtual bool ZeroAddress() const = 0;
};

// Where the operator was going when the page asked about unsaved values and was told to
// write them first.
enum class TPageLeave
{
    None,
    Back, // "Назад": to the device list
    Close // closing the window
};

// Page 1 of the window; every value it shows lives in DeviceParameters.
class TParamsPage : public QWidget
{
    Q_OBJECT

public:
    // Builds the page's controls; `host` is the window around it and outlives the page.
    TParamsPage(IParamsPageHost &host, QWidget *parent = nullptr);

    // Builds DeviceParameters for the device and starts reading them from `address`; false
    // when the read could not start (the window is then idle again).
    bool StartRead(uint8_t type, uint8_t address, uint16_t version);
    // The read has ended (WM_LOADDONE): loads the editor from the selected row.
    void WMLoadDone();
    // The write has ended (WM_SAVEDONE): the page is enabled again with the echoed values.
    void WMSaveDone();
    // The write followed the device to bus address `address` (WM_DEVICEMOVED): what the page
    // does next goes there.
    void DeviceMoved(uint8_t address);
    // Moves the editor over the selected row; gives it the focus only when the selection
    // changed or a read or write ended since the last placing, never on a mere repaint.
    void WMPlaceEditor();
    // Text of grid cell (ARow, ACol), without any other effect; the title row is -1.
    QString CellText(int ARow, int ACol) const;
    // True when row `ARow` shows the value the last write sent and the device did not confirm
    // it (no valid reply). Such rows are drawn in another colour.
    bool RowUnconfirmed(int ARow) const;
    // True when row `ARow` holds a value loaded from a parameter set that differs from the
    // value last read from the device; the mark ends at the next read or write.
    bool RowLoadedDiffers(int ARow) const;
    // True when row `ARow` shows the value the last write sent and the device refused it: the
    // operator's value stays, and the next write sends it again.
    bool RowRefused(int ARow) const;
    // Text colour of row `ARow` in the grid and in the editor over it: unconfirmed (red) and
    // refused (purple) win over loaded-and-different (blue), since they say the device may not
    // hold what is shown.
    uint32_t RowColor(int ARow) const;
    // The hint shown over row `ARow` and its editor, explaining its mark; empty for none.
    QString RowHint(int ARow) const;
    // The page's values as a parameter-set document, with the device and time of the last read.
    TJson SetDocument() const;
    // Checks `set` against the page's device and list and, when it fits, puts its values into
    // the rows (nothing is written); false with the fault and nothing changed otherwise.
    bool LoadSet(const TParameterSet &set, TSetPlan &plan, TSetError &error);
    // True when some row holds a value other than the one last read or written (typed,
    // stepped, the defaults, a loaded set) or one whose write was not confirmed or refused.
    bool HasUnsavedEdits() const;
    // Brings the editor's value inside its row's limits, as leaving the editor does, so that
    // the rows hold only values within the catalogue's limits before they go anywhere.
    void CommitEditor();
    // The operator wants to leave the page (`leave`): true when nothing stands in the way.
    // With unsaved values the operator is asked first: discarding gives true; staying gives
    // false; writing gives false and starts the write, and the window carries `leave` out
    // once the write has ended well (TakeLeaveAfterWrite).
    bool MayLeave(TPageLeave leave);
    // What the operator asked to do once the write ended, and forgets it.
    TPageLeave TakeLeaveAfterWrite();
    // Number of rows whose last read got no valid reply (a rejection is an answer).
    int UnreadCount() const;
    // Names of the rows RowUnconfirmed holds for, as shown.
    QStringList UnconfirmedNames() const;
    // Names of the rows RowRefused holds for, as shown.
    QStringList RefusedNames() const;
    // Names of the rows whose last read got no valid reply, as shown.
    QStringList UnreadNames() const;
    // Asks a running read or write to stop.
    void StopWorker() const { Worker.RequestStop(); }

    // The grid's data callback: the cell's text, then the editor's visibility.
    void ASGridGetData(int ARow, int ACol, uint32_t &Color, uint8_t &Flags, QString &Data);
    // The grid's selection changed: the editor takes the new row's scale, bounds and value.
    void ASGridCSelRow();
    // The editor's text changed: a text that reads becomes the selected row's value.
    void DivisorSpinEditChange();
    // Moves the grid's selection from inside the editor; true when the key acted.
    bool DivisorSpinEditKeyDown(int Key, Qt::KeyboardModifiers Shift);
    // "По умолчанию": every row gets its catalogue default.
    void DefButtonClick();
    // "Записать": writes every row to the device.
    void SaveButtonClick();
    // "Назад": back to the device list, after asking about unsaved values; the values stay
    // until the next read.
    void CancelButtonClick();
    // Fits the grid's columns to its panel, allowing for the vertical scroll bar.
    void FormResize();

    // Components, named as on the form.
    QWidget *GridPanel = nullptr;
    TASGrid *ASGrid = nullptr;
    TDivisorSpinEdit *DivisorSpinEdit = nullptr;
    QWidget *btnPanel = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QPushButton *DefButton = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateGrid();
    void CreateButtons();
    void SetControlsEnabled(bool enabled);
    // Loads divisor, bounds, value and visibility of the selected row into the editor.
    void LoadEditorFromRow();
    // The editor takes the focus at its next placing.
    void FocusEditorOnPlace();
    // The editor's text takes the colour of the row it sits on.
    void PaintEditorColor();
    // Starts the write; false when it could not start.
    bool StartWrite();
    // True when row `row` holds the value the last write sent, unconfirmed by the device.
    bool WriteUnconfirmed(size_t row) const;
    // True when row `row` holds the value the last write sent, refused by the device.
    bool WriteRefused(size_t row) const;
    // True when row `row` holds the value the last write sent and `reply` is what that write
    // got for it.
    bool WriteAnswered(size_t row, TParameterReply reply) const;
    // True when row `row` got no valid reply to its last exchange.
    bool ReadUnanswered(size_t row) const;
    // The names of the rows `test` holds for, as shown.
    QStringList NamesWhere(bool (TParamsPage::*test)(size_t) const) const;

    IParamsPageHost &Host;
    TWorkerHandle Worker;
    // The device whose parameters were read, and when; the write goes there too.
    TSetDevice Device;
    // Raw values as the last read left them, row by row, to tell loaded values that differ.
    std::vector<int32_t> ReadValues;
    // Rows a parameter set has loaded since the last read or write.
    std::vector<bool> LoadedRows;
    // While false, changes of the editor's text are not copied into DeviceParameters.
    bool EditorTracking = true;
    bool FocusOnPlace = false;
    // The row whose value the editor shows and edits, -1 for none. The grid's selection moves
    // first and the editor follows when the change comes back, so between the two the editor
    // still belongs to the row it was loaded from.
    int EditorRow = -1;
    // True while the rows show what the last write left, false from the next read.
    bool AfterWrite = false;
    TPageLeave LeaveAfterWrite = TPageLeave::None;
};
