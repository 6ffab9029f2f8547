#include "controls/UComPortSpinEdit.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// A shown window with the editor; control errors are collected instead of shown.
class ComPortSpinEditTest : public TSpinEditTest<TComPortSpinEdit>
{
protected:
    void SetUp() override
    {
        Place({200, 100}, {10, 10, 80, 20});
        Host.show();
        // The wheel steps only an editor with the focus.
        Host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Host));
        Edit->setFocus();
    }

    ErrorCollector Errors;
};

TEST_F(ComPortSpinEditTest, StepsStopAtZeroAndAtTheTopPort)
{
    Edit->SetValue(127);
    ClickBar(*Edit, BarPart::UpArrow);
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    Wheel(*Edit, 120);
    EXPECT_EQ(Edit->text(), QStringLiteral("127"));

    Edit->SetValue(0);
    ClickBar(*Edit, BarPart::DownArrow);
    QTest::keyClick(Edit, Qt::Key_Down, Qt::ShiftModifier);
    Wheel(*Edit, -120);
    EXPECT_EQ(Edit->text(), QStringLiteral("0"));

    Edit->SetValue(5);
    ClickBar(*Edit, BarPart::UpArrow);
    Wheel(*Edit, 120);
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("8"));
    EXPECT_TRUE(Errors.Messages.isEmpty());
}

TEST_F(ComPortSpinEditTest, TypedNumbersOutsideTheRangeStayUntilStepped)
{
    Edit->resize(80, 150);
    Edit->SetText(QStringLiteral("500"));
    EXPECT_EQ(Edit->text(), QStringLiteral("500"));
    ClickBar(*Edit, BarPart::UpArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("500"));
    ClickBar(*Edit, BarPart::DownArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("499"));
    ClickBar(*Edit, BarPart::PageUp);
    EXPECT_EQ(Edit->text(), QStringLiteral("127"));

    // A page is one port.
    Edit->SetValue(5);
    ClickBar(*Edit, BarPart::PageUp);
    EXPECT_EQ(Edit->text(), QStringLiteral("6"));
    ClickBar(*Edit, BarPart::PageDown);
    ClickBar(*Edit, BarPart::PageDown);
    EXPECT_EQ(Edit->text(), QStringLiteral("4"));

    // Steps rewrite the number in plain decimal.
    Edit->SetText(QStringLiteral(" +007"));
    ClickBar(*Edit, BarPart::UpArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("8"));
}

TEST_F(ComPortSpinEditTest, SteppingANonNumberReportsAndChangesNothing)
{
    const char *texts[] = {"", "1.", "abc", "99999999999", "-"};
    for (const char *text : texts) {
        Edit->SetText(QString::fromLatin1(text));
        Errors.Messages.clear();
        QStringList changes;
        RecordChanges(*Edit, changes);
        QList<int> keyDowns;
        Edit->OnKeyDown = [&keyDowns](QObject *, int &Key, Qt::KeyboardModifiers) {
            keyDowns << Key;
        };

        ClickBar(*Edit, BarPart::UpArrow);
        Wheel(*Edit, -120);
        QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);

        EXPECT_EQ(Edit->text(), QString::fromLatin1(text));
        EXPECT_TRUE(changes.isEmpty()) << text;
        // The Shift key's own press reaches the owner; the arrow's failed step swallows it.
        EXPECT_EQ(keyDowns, QList<int>{Qt::Key_Shift}) << text;
        ASSERT_EQ(Errors.Messages.size(), 3) << text;
        EXPECT_EQ(Errors.Messages.front(),
                  QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(text)));
        Edit->OnChange = nullptr;
        Edit->OnKeyDown = nullptr;
    }

    Edit->SetText(QStringLiteral("x"));
    EXPECT_THROW(Edit->GetValue(), EConvertError);
}

TEST_F(ComPortSpinEditTest, ShiftAloneOrWithADigitTypesWithoutAnError)
{
    // Layouts that type digits with Shift must not meet a conversion error on the empty field.
    QTest::keyClick(Edit, Qt::Key_Shift);
    QTest::keyClick(Edit, '7', Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("7"));
    EXPECT_TRUE(Errors.Messages.isEmpty());
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("8"));
}

TEST_F(ComPortSpinEditTest, HeldArrowOnANonNumberReportsOnce)
{
    QScrollBar *bar = Edit->SpinBar();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
    QTest::qWait(800); // held past the auto-repeat delay: the hold is the input
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
    EXPECT_EQ(Errors.Messages.size(), 1);
}

TEST_F(ComPortSpinEditTest, DefaultReportShowsOneBoxPerFailure)
{
    SetControlErrorHandler(nullptr); // the default, restored to the collector afterwards
    QStringList boxes;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&boxes]() {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    closer.start(10);
    Wheel(*Edit, 120);
    Wheel(*Edit, 120);
    // The box is shown once the failed event has been handled; then the closer takes it.
    const auto shownAndClosed = [&boxes](int count) {
        return boxes.size() >= count && QApplication::activeModalWidget() == nullptr;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownAndClosed(1); }));
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.front(), QStringLiteral("Ошибка|'' is not a valid integer value"));

    // The next failure after the box has closed gets a box of its own (the box took the focus
    // from the editor, so the step comes from the keys).
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownAndClosed(2); }));
    EXPECT_EQ(boxes.size(), 2);
}

TEST_F(ComPortSpinEditTest, PortNumberNeverFails)
{
    const std::pair<const char *, std::int32_t> cases[] = {
        {"", 0},     {"300", 300},       {"  7", 7},
        {"+5", 5},   {"-3", -3},         {"1.", 0},
        {"7 ", 0},   {"99999999999", 0}, {"2147483647", 2147483647},
        {"0x10", 0}, {"-", 0},           {"12a", 0},
    };
    for (const auto &[text, number] : cases) {
        Edit->SetText(QString::fromLatin1(text));
        EXPECT_EQ(Edit->PortNumber(), number) << text;
    }
}

TEST_F(ComPortSpinEditTest, OnlyDigitsAndTheFullStopCanBeTyped)
{
    QTest::keyClicks(Edit, QStringLiteral("1-a+,2.3"));
    EXPECT_EQ(Edit->text(), QStringLiteral("12.3"));
    EXPECT_EQ(Beeps.Count, 4);
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Beeps.Count, 5);
    EXPECT_EQ(Edit->PortNumber(), 0);
}

} // namespace
