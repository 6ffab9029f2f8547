#pragma once
// The traffic window's second view: each bus address's attempts, replies, errors and reply
// times, added up from the attempts the window takes; a device whose attempts fail often is
// drawn in red and marked.

#include "link/BusHealth.h"

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class TASGrid;

class TBusHealthView : public QWidget
{
    Q_OBJECT

public:
    explicit TBusHealthView(QWidget *parent);

    // Adds attempts to the figures and shows them.
    void AddAttempts(const std::vector<TTrafficAttempt> &attempts);
    // Number of addresses shown.
    int RowCount() const { return static_cast<int>(Devices.size()); }
    // Text of cell (row, col) as shown; the title row is -1.
    QString CellText(int row, int col) const;
    // True when the device of row `row` is marked for its error share.
    bool RowTroubled(int row) const;
    // The row of bus address `address`; -1 when it has none.
    int RowOf(int address) const;
    // Forgets every figure.
    void ClearButtonClick();

    // Components.
    TASGrid *Grid = nullptr;
    QPushButton *ClearButton = nullptr;
    QLabel *NoteLabel = nullptr;

private:
    void Show();

    TBusHealth Health;
    std::vector<TDeviceHealth> Devices;
};
