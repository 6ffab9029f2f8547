#pragma once

#include "ControlErrors.h"
#include "UDivisorSpinEditBase.h"

#include <QScrollBar>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

// Counts the beeps of refused characters while it lives.
class BeepCounter
{
public:
    BeepCounter();
    ~BeepCounter();
    int Count = 0;

private:
    std::function<void()> Previous;
};

// Collects the errors the controls report while it lives.
class ErrorCollector
{
public:
    ErrorCollector();
    ~ErrorCollector();
    QStringList Messages;

private:
    TControlErrorHandler Previous;
};

// The parts of a spin bar a mouse can click.
enum class BarPart
{
    UpArrow,
    DownArrow,
    PageUp,
    PageDown
};

// Clicks a part of the spin edit's scroll bar with the left mouse button.
void ClickBar(TSpinEditBase &edit, BarPart part);

// Centre of the thumb of the spin edit's scroll bar, in the bar's coordinates.
QPoint ThumbCentre(TSpinEditBase &edit);

// Sends one wheel turn (positive: away from the user) to a widget.
void Wheel(QWidget &target, int delta);

// Records each OnChange of a spin edit with the text at that moment.
void RecordChanges(TSpinEditBase &edit, QStringList &texts);
