#include "ControlsTestSupport.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

BeepCounter::BeepCounter() : FPrevious(TSpinEditBase::SetBeep([this]() { ++Count; })) {}

BeepCounter::~BeepCounter()
{
    TSpinEditBase::SetBeep(FPrevious);
}

ErrorCollector::ErrorCollector()
    : FPrevious(SetControlErrorHandler(
          [this](const EControlError &Error) { Messages << Error.Message(); }))
{
}

ErrorCollector::~ErrorCollector()
{
    SetControlErrorHandler(FPrevious);
}

namespace {

// Where a part of the scroll bar lies, in the bar's own coordinates.
QRect BarPartRect(QScrollBar *Bar, QStyle::SubControl Control)
{
    QStyleOptionSlider Option;
    Option.initFrom(Bar);
    Option.subControls = QStyle::SC_All;
    Option.orientation = Bar->orientation();
    Option.minimum = Bar->minimum();
    Option.maximum = Bar->maximum();
    Option.sliderPosition = Bar->sliderPosition();
    Option.sliderValue = Bar->value();
    Option.singleStep = Bar->singleStep();
    Option.pageStep = Bar->pageStep();
    return Bar->style()->subControlRect(QStyle::CC_ScrollBar, &Option, Control, Bar);
}

} // namespace

void ClickBar(TSpinEditBase &Edit, BarPart Part)
{
    QStyle::SubControl Control = QStyle::SC_ScrollBarSubLine;
    switch (Part) {
    case BarPart::UpArrow:
        Control = QStyle::SC_ScrollBarSubLine;
        break;
    case BarPart::DownArrow:
        Control = QStyle::SC_ScrollBarAddLine;
        break;
    case BarPart::PageUp:
        Control = QStyle::SC_ScrollBarSubPage;
        break;
    case BarPart::PageDown:
        Control = QStyle::SC_ScrollBarAddPage;
        break;
    }
    QScrollBar *Bar = Edit.SpinBar();
    QTest::mouseClick(Bar, Qt::LeftButton, {}, BarPartRect(Bar, Control).center());
}

QPoint ThumbCentre(TSpinEditBase &Edit)
{
    return BarPartRect(Edit.SpinBar(), QStyle::SC_ScrollBarSlider).center();
}

void Wheel(QWidget &Target, int Delta)
{
    const QPointF Position(Target.width() / 2.0, Target.height() / 2.0);
    QWheelEvent Event(Position, Target.mapToGlobal(Position), QPoint(), QPoint(0, Delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&Target, &Event);
}

void RecordChanges(TSpinEditBase &Edit, QStringList &Texts)
{
    Edit.OnChange = [&Edit, &Texts](QObject *) { Texts << Edit.text(); };
}
