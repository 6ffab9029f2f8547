#pragma once
// The traffic window: every attempt the link makes, live, newest at the bottom, in a grid that
// asks for each cell; pause, clear, copy and save; and beside it, on a second tab, each
// device's health. The main window makes it at start and it records from then on, shown or
// not, so the failure that made the operator open it is there. It never touches a running
// worker: the link hands it attempts through a bounded record, which it alone takes from and
// passes on to both views.

#include "link/Traffic.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <vector>

class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class TASGrid;
class TBusHealthView;

class TTrafficForm : public QWidget
{
    Q_OBJECT

public:
    // Most attempts the window keeps; older ones go as new ones come.
    static constexpr size_t MaxRows = 10000;

    // A tool window of `owner`, which closes it when it closes itself; the link reports to it
    // from now on.
    explicit TTrafficForm(QWidget *owner);
    // Stops the link's reports before the record goes.
    ~TTrafficForm() override;

    // Takes what the link has recorded since the last call into the grid (or, while paused,
    // into the hidden count) and into the health view; the window's timer calls it, shown or
    // hidden, and tests may too.
    void TakeAttempts();
    // Number of attempts shown.
    int RowCount() const { return static_cast<int>(Rows.size()); }
    // Attempts recorded while paused and not shown yet.
    size_t HiddenCount() const { return Hidden.size(); }
    // True while paused.
    bool Paused() const { return IsPaused; }
    // Text of cell (row, col) as shown; the title row is -1.
    QString CellText(int row, int col) const;
    // True when row `row` shows a failed attempt (drawn in another colour).
    bool RowFailed(int row) const;
    // Row `row` as one line of text: the cells separated by tabs.
    QString RowLine(int row) const;
    // Writes every row shown to `path` as text, one line per attempt; false when it cannot.
    bool SaveToFile(const QString &path) const;

    // Pause or go on: the rows shown stay still while paused.
    void PauseButtonClick();
    // Forgets every row, the hidden ones too.
    void ClearButtonClick();
    // Copies the selected row to the clipboard.
    void CopyButtonClick();
    // Asks for a file and saves every row there.
    void SaveButtonClick();

    // Components.
    QTabWidget *Tabs = nullptr;
    TBusHealthView *HealthView = nullptr;
    TASGrid *Grid = nullptr;
    QPushButton *PauseButton = nullptr;
    QPushButton *ClearButton = nullptr;
    QPushButton *CopyButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QLabel *CountLabel = nullptr;

private:
    void AppendRows(std::vector<TTrafficAttempt> attempts);
    void UpdateCountLabel();

    TTrafficRecord Record{MaxRows};
    std::deque<TTrafficAttempt> Rows;
    std::deque<TTrafficAttempt> Hidden;
    QTimer *Timer = nullptr;
    bool IsPaused = false;
    // Wall-clock milliseconds at monotonic 0, to show attempts in the time of day.
    int64_t WallAtMonotonicZeroMs = 0;
    // Attempts the link recorded but the record dropped before the window took them.
    uint64_t DroppedSeen = 0;
    QString LastFolder;
};
