#pragma once

#include "controls/ControlErrors.h"
#include "controls/UDivisorSpinEditBase.h"

#include <QRect>
#include <QScrollBar>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStyle>
#include <QWidget>

#include <gtest/gtest.h>

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

// The parts of a spin bar a mouse can click, as the style names them.
enum class BarPart
{
    UpArrow = QStyle::SC_ScrollBarSubLine,
    DownArrow = QStyle::SC_ScrollBarAddLine,
    PageUp = QStyle::SC_ScrollBarSubPage,
    PageDown = QStyle::SC_ScrollBarAddPage
};

// Clicks a part of the spin edit's scroll bar with the left mouse button.
void ClickBar(TSpinEditBase &edit, BarPart part);

// Centre of the thumb of the spin edit's scroll bar, in the bar's coordinates.
QPoint ThumbCentre(TSpinEditBase &edit);

// Sends one wheel turn (positive: away from the user) to a widget; true when the widget took
// it, false when it left the turn to its parent.
bool Wheel(QWidget &target, int delta);

// Records each OnChange of a spin edit with the text at that moment.
void RecordChanges(TSpinEditBase &edit, QStringList &texts);

// A host window with the spin edit under test, which beeps into a counter.
template <typename TEdit> class TSpinEditTest : public testing::Test
{
protected:
    // Sizes the host and makes the editor in it at `geometry`; the host is shown by the test.
    void Place(QSize hostSize, QRect geometry)
    {
        Host.resize(hostSize);
        Edit = new TEdit(&Host);
        Edit->setGeometry(geometry);
    }

    // The handlers capture the tests' locals; the window's teardown may still move the focus.
    void TearDown() override
    {
        Edit->OnChange = nullptr;
        Edit->OnKeyDown = nullptr;
        Edit->OnExit = nullptr;
    }

    QWidget Host;
    TEdit *Edit = nullptr;
    BeepCounter Beeps;
};
