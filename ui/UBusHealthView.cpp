#include "ui/UBusHealthView.h"

#include "ui/UListGrid.h"

#include "controls/UASGrid.h"

#include <QLabel>
#include <QPushButton>

#include <iterator>

namespace {

const QString Titles[] = {
    QStringLiteral("Адрес"),       QStringLiteral("Попыток"),  QStringLiteral("Запросов"),
    QStringLiteral("Верных"),      QStringLiteral("Повторов"), QStringLiteral("Нет ответа"),
    QStringLiteral("Ошибка КС"),   QStringLiteral("Эхо"),      QStringLiteral("Отказов"),
    QStringLiteral("Медиана, мс"), QStringLiteral("99 %, мс"), QStringLiteral("Макс., мс"),
};
constexpr int Widths[] = {50, 60, 65, 55, 65, 75, 70, 40, 60, 75, 60, 65};
constexpr int ColumnCount = 12;
// The figures of the columns after the address, in their order: the counts, then the reply
// times.
constexpr uint64_t TDeviceHealth::*Counts[] = {
    &TDeviceHealth::Attempts, &TDeviceHealth::Transactions, &TDeviceHealth::Valid,
    &TDeviceHealth::Retries,  &TDeviceHealth::TimeOuts,     &TDeviceHealth::WrongCheck,
    &TDeviceHealth::Echoes,   &TDeviceHealth::Refusals,
};
constexpr double TDeviceHealth::*Times[] = {&TDeviceHealth::MedianMs, &TDeviceHealth::P99Ms,
                                            &TDeviceHealth::MaxMs};
static_assert(1 + std::size(Counts) + std::size(Times) == size_t{ColumnCount});

QString Ms(double ms)
{
    return QString::number(ms, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

TBusHealthView::TBusHealthView(QWidget *parent) : QWidget(parent)
{
    Grid = NewListGrid(
        this, Widths, [this](int row, int col) { return CellText(row, col); },
        [this](int row) { return RowTroubled(row); });
    NoteLabel = new QLabel(QStringLiteral("Адреса, откуда не пришло ни байта, не показаны. "
                                          "Время ответа: от конца запроса до конца ответа. "
                                          "\"!\": без верного ответа больше попытки из десяти."),
                           this);
    NoteLabel->setWordWrap(true);
    ClearButton = new QPushButton(QStringLiteral("Очистить"), this);
    LayOutList(this, 0, Grid, NoteLabel, {ClearButton});
    connect(ClearButton, &QPushButton::clicked, this, &TBusHealthView::ClearButtonClick);
}

void TBusHealthView::AddAttempts(const std::vector<TTrafficAttempt> &attempts)
{
    if (attempts.empty())
        return;
    Health.Add(attempts);
    Show();
}

void TBusHealthView::Show()
{
    // A sweep asks every address; one that never sent a byte back holds no device, and 120
    // rows of silence would bury the devices.
    Devices.clear();
    for (const TDeviceHealth &device : Health.Devices()) {
        if (device.Answered != 0)
            Devices.push_back(device);
    }
    Grid->SetRowCount(RowCount());
    Grid->RefreshBody();
}

QString TBusHealthView::CellText(int row, int col) const
{
    if (row == -1)
        return col >= 0 && col < ColumnCount ? Titles[col] : QString();
    if (row < 0 || row >= RowCount())
        return QString();
    const TDeviceHealth &d = Devices[static_cast<size_t>(row)];
    if (col == 0)
        return QString::number(d.Address) + (d.Troubled() ? QStringLiteral(" !") : QString());
    const int time = col - 1 - static_cast<int>(std::size(Counts));
    if (col > 0 && time < 0)
        return QString::number(d.*Counts[col - 1]);
    if (time >= 0 && time < static_cast<int>(std::size(Times)))
        return Ms(d.*Times[time]);
    return QString();
}

bool TBusHealthView::RowTroubled(int row) const
{
    return row >= 0 && row < RowCount() && Devices[static_cast<size_t>(row)].Troubled();
}

int TBusHealthView::RowOf(int address) const
{
    for (int row = 0; row < RowCount(); ++row) {
        if (Devices[static_cast<size_t>(row)].Address == address)
            return row;
    }
    return -1;
}

void TBusHealthView::ClearButtonClick()
{
    Health.Clear();
    Show();
}
