#pragma once
// The window's menu "Скорость обмена": the line speed the search uses, one of the standard
// speeds, and the choice to search at all of them in turn. What it holds lasts for the
// session; the settings' BaudRate is where it starts.

#include <QMenu>

#include <cstdint>
#include <vector>

class QAction;

class TSpeedMenu : public QMenu
{
    Q_OBJECT

public:
    // The menu with an item per standard speed and "Искать на всех скоростях"; 9600 checked.
    explicit TSpeedMenu(QWidget *parent = nullptr);

    // Checks `baudRate`'s item; a speed off the standard list changes nothing.
    void SetSpeed(uint32_t baudRate);
    // The speed checked: the one a search at one speed uses.
    uint32_t Speed() const;
    // The speeds the next search sweeps, in order: the one checked, and when "Искать на всех
    // скоростях" is checked every other standard speed after it.
    std::vector<uint32_t> SearchSpeeds() const;

    // The item of each standard speed, slowest first.
    std::vector<QAction *> SpeedItems;
    // "Искать на всех скоростях".
    QAction *AllSpeedsItem = nullptr;
};
