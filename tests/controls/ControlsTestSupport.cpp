#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

BeepCounter::BeepCounter() : Previous(TSpinEditBase::SetBeep([this]() { ++Count; })) {}

BeepCounter::~BeepCounter()
{
    TSpinEditBase::SetBeep(Previous);
}

ErrorCollector::ErrorCollector()
    : Previous(SetControlErrorHandler(
          [this](const EControlError &Error) { Messages << Error.Message(); }))
{
}

ErrorCollector::~ErrorCollector()
{
    SetControlErrorHandler(Previous);
}

namespace {

// Where a part of the scroll bar lies, in the bar's own coordinates.
QRect BarPartRect(QScrollBar *bar, QStyle::SubControl control)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, control, bar);
}

} // namespace

void ClickBar(TSpinEditBase &edit, BarPart part)
{
    QScrollBar *bar = edit.SpinBar();
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      BarPartRect(bar, static_cast<QStyle::SubControl>(part)).center());
}

QPoint ThumbCentre(TSpinEditBase &edit)
{
    return BarPartRect(edit.SpinBar(), QStyle::SC_ScrollBarSlider).center();
}

bool Wheel(QWidget &target, int delta)
{
    const QPointF position(target.width() / 2.0, target.height() / 2.0);
    QWheelEvent event(position, target.mapToGlobal(position), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

void RecordChanges(TSpinEditBase &edit, QStringList &texts)
{
    edit.OnChange = [&edit, &texts](QObject *) { texts << edit.text(); };
}
