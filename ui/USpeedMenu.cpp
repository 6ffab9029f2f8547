#include "ui/USpeedMenu.h"

#include "link/LineSpeed.h"

#include <QAction>
#include <QActionGroup>

TSpeedMenu::TSpeedMenu(QWidget *parent) : QMenu(QStringLiteral("Скорость обмена"), parent)
{
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    for (const uint32_t speed : StandardBaudRates) {
        QAction *item = addAction(QStringLiteral("%1 бод").arg(speed));
        item->setCheckable(true);
        item->setData(static_cast<uint>(speed));
        group->addAction(item);
        SpeedItems.push_back(item);
    }
    addSeparator();
    AllSpeedsItem = addAction(QStringLiteral("Искать на всех скоростях"));
    AllSpeedsItem->setCheckable(true);
    SetSpeed(DefaultBaudRate);
}

void TSpeedMenu::SetSpeed(uint32_t baudRate)
{
    for (QAction *item : SpeedItems) {
        if (item->data().toUInt() == baudRate)
            item->setChecked(true);
    }
}

uint32_t TSpeedMenu::Speed() const
{
    for (const QAction *item : SpeedItems) {
        if (item->isChecked())
            return item->data().toUInt();
    }
    return DefaultBaudRate;
}

std::vector<uint32_t> TSpeedMenu::SearchSpeeds() const
{
    // The speed checked comes first: most devices are there, and a device that answers at
    // several speeds is listed at that one.
    std::vector<uint32_t> speeds = {Speed()};
    if (AllSpeedsItem->isChecked()) {
        for (const uint32_t speed : StandardBaudRates) {
            if (speed != speeds.front())
                speeds.push_back(speed);
        }
    }
    return speeds;
}
