#include "ui/UBusHealthView.h"

#include "controls/UASGrid.h"
#include "controls/UColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString Titles[] = {
    QStringLiteral("Адрес"),       QStringLiteral("Попыток"),  QStringLiteral("Запросов"),
    QStringLiteral("Верных"),      QStringLiteral("Повторов"), QStringLiteral("Нет ответа"),
    QStringLiteral("Ошибка КС"),   QStringLiteral("Эхо"),      QStringLiteral("Отказов"),
    QStringLiteral("Медиана, мс"), QStringLiteral("99 %, мс"), QStringLiteral("Макс., мс"),
};
constexpr int Widths[] = {50, 60, 65, 55, 65, 75, 70, 40, 60, 75, 60, 65};
constexpr int ColumnCount = 12;

QString Ms(double ms)
{
    return QString::number(ms, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

TBusHealthView::TBusHealthView(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Grid = new TASGrid(this);
    Grid->SetBorderStyle(TBorderStyle::bsSingle);
    Grid->SetColCount(ColumnCount);
    for (int col = 0; col < ColumnCount; ++col)
        Grid->SetColWidths(col, Widths[col]);
    Grid->SetRowHeight(18);
    Grid->SetHotHint(true);
    Grid->SetOnGetData([this](int row, int col, uint32_t &color, uint8_t &, QString &data) {
        data = CellText(row, col);
        color = row >= 0 && RowTroubled(row) ? clRed : clBlack;
    });
    layout->addWidget(Grid, 1);

    auto *buttons = new QHBoxLayout;
    NoteLabel = new QLabel(QStringLiteral("Адреса, откуда не пришло ни байта, не показаны. "
                                          "Время ответа: от конца запроса до конца ответа. "
                                          "\"!\": без верного ответа больше попытки из десяти."),
                           this);
    NoteLabel->setWordWrap(true);
    ClearButton = new QPushButton(QStringLiteral("Очистить"), this);
    buttons->addWidget(NoteLabel, 1);
    buttons->addWidget(ClearButton);
    layout->addLayout(buttons);
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
    switch (col) {
    case 0:
        return QString::number(d.Address) + (d.Troubled() ? QStringLiteral(" !") : QString());
    case 1:
        return QString::number(d.Attempts);
    case 2:
        return QString::number(d.Transactions);
    case 3:
        return QString::number(d.Valid);
    case 4:
        return QString::number(d.Retries);
    case 5:
        return QString::number(d.TimeOuts);
    case 6:
        return QString::number(d.WrongCheck);
    case 7:
        return QString::number(d.Echoes);
    case 8:
        return QString::number(d.Refusals);
    case 9:
        return Ms(d.MedianMs);
    case 10:
        return Ms(d.P99Ms);
    case 11:
        return Ms(d.MaxMs);
    default:
        return QString();
    }
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
