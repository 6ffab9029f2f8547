#include "controls/UDivisorSpinEdit.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <utility>

namespace {

constexpr std::int32_t DefaultMin = -2147483647;

// A shown window with the editor and a second field to move the focus to.
class DivisorSpinEditTest : public TSpinEditTest<TDivisorSpinEdit>
{
protected:
    void SetUp() override
    {
        Place({300, 200}, {10, 10, 120, 20});
        Other = new QLineEdit(&Host);
        Other->setGeometry(10, 60, 120, 20);
        Host.show();
        Host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Host));
        Edit->setFocus();
        Edit->clear(); // entering filled in MinValue
    }

    // Types Text as key presses into the editor.
    void Type(const QString &text) { QTest::keyClicks(Edit, text); }

    QLineEdit *Other = nullptr;
};

struct FormatCase
{
    std::uint32_t Divisor;
    std::int32_t Value;
    char Separator;
    const char *Text;
};

TEST_F(DivisorSpinEditTest, SetValueWritesTheCanonicalText)
{
    const FormatCase cases[] = {
        {8, 12, ',', "1,5"},
        {8, -3, ',', "-0,375"},
        {8, 16, ',', "2"},
        {3, 1, ',', "0,333333333333333"},
        {3, -2, ',', "-0,666666666666667"},
        {7, 0, ',', "0"},
        {100, 12345, ',', "123,45"},
        {16, 1, ',', "0,0625"},
        {10, 1, '.', "0.1"},
        {1, INT_MAX, ',', "2147483647"},
        {1, INT_MIN, ',', "-2147483648"},
        {100000, 1, ',', "0,00001"},
        // Never in exponent form, which the command line would not read back.
        {1000000, 1, ',', "0,000001"},
        {10000000, 15, ',', "0,0000015"},
        {100000000, -7, ',', "-0,00000007"},
        {4294967295u, 1, ',', "0,00000000023283064370808"},
        {4294967295u, INT_MAX, ',', "0,499999999883585"},
    };
    for (const FormatCase &sample : cases) {
        Edit->SetDivisor(sample.Divisor);
        Edit->SetSeparator(QLatin1Char(sample.Separator));
        Edit->SetValue(sample.Value);
        EXPECT_EQ(Edit->text(), QString::fromLatin1(sample.Text))
            << sample.Value << " / " << sample.Divisor;
        EXPECT_EQ(Edit->GetValue(), sample.Value) << sample.Text;
    }
}

struct ReadCase
{
    std::uint32_t Divisor;
    const char *Text;
    std::int32_t Value;
};

TEST_F(DivisorSpinEditTest, GetValueReadsTheGrammarAndRoundsHalvesToEven)
{
    const ReadCase cases[] = {
        {8, "2,25", 18},
        {8, "2.25", 18},
        {2, "1,25", 2},
        {2, "1,75", 4},
        {1, "0,5", 0},
        {1, "1,5", 2},
        {1, "2,5", 2},
        {1, "-2,5", -2},
        {1, "-3,5", -4},
        {1000, "-0,0005", 0},
        {1, "  12  ", 12},
        {1, "+5", 5},
        {1, ",", 0},
        {1, ".", 0},
        {1, "-,", 0},
        {1, "5,", 5},
        {2, ",5", 1},
        {1, "1E2", 100},
        {1, "1,5e+1", 15},
        {2, "15e-1", 3},
        {10, "0,1", 1},
        {1, "2147483647", INT_MAX},
        {1, "-2147483648", INT_MIN},
        {1, "1e-99999", 0},
        {1, "0e99999", 0},
        {1, "000000000000000000000000000000000000000042", 42},
    };
    for (const ReadCase &sample : cases) {
        Edit->SetDivisor(sample.Divisor);
        Edit->setText(QString::fromLatin1(sample.Text));
        EXPECT_EQ(Edit->GetValue(), sample.Value) << sample.Text;
        EXPECT_EQ(Edit->text(), QString::fromLatin1(sample.Text)) << "a good read keeps the text";
    }
}

TEST_F(DivisorSpinEditTest, UnreadableTextBecomesMinValue)
{
    const char *texts[] = {"",     "-",   "+",   "1.5.", "99999999999", "2147483648",
                           "1E",   "E5",  "1 2", "\t1",  "1,2,3",       "1e99999",
                           "1,5-", "- 1", "1e+", "0x10", "1,5 E2",      "١"};
    for (const char *text : texts) {
        Edit->SetMinValue(-10);
        Edit->setText(QString::fromUtf8(text));
        QStringList changes;
        RecordChanges(*Edit, changes);
        EXPECT_EQ(Edit->GetValue(), -10) << text;
        EXPECT_EQ(Edit->text(), QStringLiteral("-10")) << text;
        EXPECT_EQ(changes, QStringList{QStringLiteral("-10")}) << text;
        Edit->OnChange = nullptr;
    }
}

TEST_F(DivisorSpinEditTest, EitherDecimalMarkIsReadAndTheSeparatorIsWritten)
{
    // In a locale whose mark is the comma, a number typed with a full stop keeps its value.
    Edit->SetDivisor(10);
    Edit->clear();
    Type(QStringLiteral("57.6"));
    std::int32_t value = 0;
    ASSERT_TRUE(Edit->TryGetValue(value));
    EXPECT_EQ(value, 576);
    EXPECT_EQ(Edit->GetValue(), 576);
    EXPECT_EQ(Edit->text(), QStringLiteral("57.6"));
    // What the editor writes carries the Separator.
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("57,7"));

    // The other way round; a new Separator rewrites nothing by itself.
    Edit->SetSeparator(QLatin1Char('.'));
    EXPECT_EQ(Edit->text(), QStringLiteral("57,7"));
    EXPECT_EQ(Edit->GetValue(), 577);
    Edit->SetValue(15);
    EXPECT_EQ(Edit->text(), QStringLiteral("1.5"));
}

TEST_F(DivisorSpinEditTest, TryGetValueReadsLikeGetValueButNeverRewrites)
{
    Edit->SetDivisor(2);
    Edit->SetMinValue(-10);
    Edit->SetMaxValue(10);
    const std::pair<const char *, std::optional<std::int32_t>> cases[] = {
        {"1,25", 2},          {"1.75", 4},          {"+6", 12},          {" 3 ", 6},
        {"-50", -100},        {"1e1", 20},          {"", std::nullopt},  {"-", std::nullopt},
        {"+", std::nullopt},  {",", std::nullopt},  {".", std::nullopt}, {"-,", std::nullopt},
        {"5-", std::nullopt}, {"1e", std::nullopt}, {"x", std::nullopt}, {"99999999999", {}},
    };
    for (const auto &[text, want] : cases) {
        Edit->setText(QString::fromLatin1(text));
        std::int32_t value = 12345;
        EXPECT_EQ(Edit->TryGetValue(value), want.has_value()) << text;
        EXPECT_EQ(value, want.value_or(12345)) << text << ": bounds not applied, or no change";
        EXPECT_EQ(Edit->text(), QString::fromLatin1(text)) << text;
    }
}

TEST_F(DivisorSpinEditTest, NewDivisorKeepsTheShownNumber)
{
    Edit->SetDivisor(8);
    Edit->SetValue(12);
    Edit->SetDivisor(10);
    EXPECT_EQ(Edit->text(), QStringLiteral("1,5"));
    EXPECT_EQ(Edit->GetValue(), 15);

    // The shown number is rounded to the new step.
    Edit->SetDivisor(8);
    Edit->SetValue(3); // 0,375
    Edit->SetDivisor(4);
    EXPECT_EQ(Edit->GetValue(), 2);
    EXPECT_EQ(Edit->text(), QStringLiteral("0,5"));

    // Divisor 0 is ignored, yet the text is still rewritten in canonical form.
    Edit->setText(QStringLiteral("0,50"));
    Edit->SetDivisor(0);
    EXPECT_EQ(Edit->Divisor(), 4u);
    EXPECT_EQ(Edit->text(), QStringLiteral("0,5"));
}

TEST_F(DivisorSpinEditTest, BoundSettersClampTheTextAndRefuseCrossing)
{
    Edit->SetValue(80);
    Edit->SetMaxValue(50);
    EXPECT_EQ(Edit->text(), QStringLiteral("50"));
    EXPECT_EQ(Edit->MaxValue(), 50);

    Edit->SetMinValue(60); // above MaxValue: ignored
    EXPECT_EQ(Edit->MinValue(), DefaultMin);
    EXPECT_EQ(Edit->text(), QStringLiteral("50"));

    Edit->SetMinValue(10);
    Edit->SetMaxValue(5); // below MinValue: ignored
    EXPECT_EQ(Edit->MaxValue(), 50);

    // Moving the range up past itself works with MaxValue first, not with MinValue first.
    Edit->SetMinValue(20);
    Edit->SetMaxValue(30);
    Edit->SetValue(25);
    Edit->SetMinValue(40);
    Edit->SetMaxValue(50);
    EXPECT_EQ(Edit->MinValue(), 20);
    EXPECT_EQ(Edit->MaxValue(), 50);
    Edit->SetMaxValue(90);
    Edit->SetMinValue(70);
    EXPECT_EQ(Edit->MinValue(), 70);
    EXPECT_EQ(Edit->MaxValue(), 90);
    EXPECT_EQ(Edit->text(), QStringLiteral("70"));
}

TEST_F(DivisorSpinEditTest, TextSetterClampsAndCanonicalises)
{
    Edit->SetDivisor(2);
    Edit->SetMinValue(-4);
    Edit->SetMaxValue(100);
    Edit->SetText(QStringLiteral("500"));
    EXPECT_EQ(Edit->text(), QStringLiteral("50"));
    Edit->SetText(QStringLiteral("  01,50 "));
    EXPECT_EQ(Edit->text(), QStringLiteral("1,5"));
    Edit->SetText(QStringLiteral("-9"));
    EXPECT_EQ(Edit->text(), QStringLiteral("-2"));
    Edit->SetText(QStringLiteral("x"));
    EXPECT_EQ(Edit->text(), QStringLiteral("-2"));
}

TEST_F(DivisorSpinEditTest, EveryStepKeepsTheBoundsAndRewritesTheText)
{
    Edit->SetMinValue(-5);
    Edit->SetMaxValue(100);
    QStringList changes;
    RecordChanges(*Edit, changes);

    // At the upper bound the arrow, Shift+Up and the wheel keep the value yet rewrite the text.
    Edit->setText(QStringLiteral("0100"));
    ClickBar(*Edit, BarPart::UpArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("100"));
    changes.clear();
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    Wheel(*Edit, 120);
    EXPECT_EQ(changes, QStringList({QStringLiteral("100"), QStringLiteral("100")}));

    Edit->SetValue(-5);
    ClickBar(*Edit, BarPart::DownArrow);
    QTest::keyClick(Edit, Qt::Key_Down, Qt::ShiftModifier);
    Wheel(*Edit, -120);
    Wheel(*Edit->SpinBar(), -120);
    EXPECT_EQ(Edit->text(), QStringLiteral("-5"));

    // Inside the bounds each of them moves by one raw unit; a wheel turn over the bar steps the
    // number and leaves the bar where it was. A touchpad's small deltas add up to a notch.
    Edit->SetValue(7);
    const int barValue = Edit->SpinBar()->value();
    ClickBar(*Edit, BarPart::UpArrow);
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    for (int i = 0; i < 8; ++i)
        Wheel(*Edit, 15);
    Wheel(*Edit->SpinBar(), 120);
    EXPECT_EQ(Edit->GetValue(), 11);
    ClickBar(*Edit, BarPart::DownArrow);
    QTest::keyClick(Edit, Qt::Key_Down, Qt::ShiftModifier);
    for (int i = 0; i < 30; ++i)
        Wheel(*Edit, -4);
    EXPECT_EQ(Edit->GetValue(), 8);
    EXPECT_EQ(Edit->SpinBar()->value(), barValue);

    // A value typed above the bound is not lowered by the upper arrow.
    Edit->setText(QStringLiteral("250"));
    ClickBar(*Edit, BarPart::UpArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("250"));
    ClickBar(*Edit, BarPart::DownArrow);
    EXPECT_EQ(Edit->text(), QStringLiteral("249"));
}

TEST_F(DivisorSpinEditTest, WithoutTheFocusTheWheelIsLeftToTheParent)
{
    // The wheel reaches the widget under the pointer, focused or not: an editor the operator
    // is not in leaves its number alone and the turn to what lies beneath (Qt hands an
    // ignored turn on to the parent).
    Edit->SetValue(7);
    Other->setFocus();
    EXPECT_FALSE(Wheel(*Edit, 120));
    EXPECT_FALSE(Wheel(*Edit->SpinBar(), -120));
    EXPECT_EQ(Edit->text(), QStringLiteral("7"));

    // A half notch before the focus left is not carried over to the next visit.
    Edit->setFocus();
    EXPECT_TRUE(Wheel(*Edit, 60));
    Other->setFocus();
    Edit->setFocus();
    Wheel(*Edit, 60);
    EXPECT_EQ(Edit->text(), QStringLiteral("7"));
}

TEST_F(DivisorSpinEditTest, PageStepsMoveOneShownUnitWithinTheBounds)
{
    Edit->resize(120, 150); // tall enough for a trough on both sides of the thumb
    Edit->SetDivisor(8);
    Edit->SetMinValue(0);
    Edit->SetMaxValue(100);
    Edit->SetValue(10);
    ClickBar(*Edit, BarPart::PageUp);
    EXPECT_EQ(Edit->text(), QStringLiteral("2,25"));
    Edit->SetValue(95);
    ClickBar(*Edit, BarPart::PageUp);
    EXPECT_EQ(Edit->text(), QStringLiteral("12,5"));
    Edit->SetValue(10);
    ClickBar(*Edit, BarPart::PageDown);
    EXPECT_EQ(Edit->GetValue(), 2);
    ClickBar(*Edit, BarPart::PageDown);
    EXPECT_EQ(Edit->text(), QStringLiteral("0"));

    // Sums and differences beyond 32 bits stop at the bounds.
    Edit->SetMinValue(DefaultMin);
    Edit->SetMaxValue(INT_MAX);
    Edit->SetDivisor(4294967295u);
    Edit->SetValue(INT_MAX - 10);
    ClickBar(*Edit, BarPart::PageUp);
    EXPECT_EQ(Edit->GetValue(), INT_MAX);
    Edit->SetValue(DefaultMin + 10);
    ClickBar(*Edit, BarPart::PageDown);
    EXPECT_EQ(Edit->GetValue(), DefaultMin);
}

TEST_F(DivisorSpinEditTest, DraggedThumbGivesItsPositionAndReleaseRewrites)
{
    Edit->resize(120, 150);
    Edit->SetMinValue(10);
    Edit->SetMaxValue(30);
    Edit->setText(QStringLiteral("020"));
    QScrollBar *bar = Edit->SpinBar();
    const int rest = bar->value();
    QStringList changes;
    RecordChanges(*Edit, changes);

    // The thumb's track position is taken as it is, even outside the bounds.
    const QPoint thumb = ThumbCentre(*Edit);
    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(bar, thumb + QPoint(0, 500));
    EXPECT_EQ(Edit->text(), QString::number(bar->maximum()));
    QTest::mouseMove(bar, thumb - QPoint(0, 500));
    EXPECT_EQ(Edit->text(), QString::number(bar->minimum()));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, thumb - QPoint(0, 500));
    EXPECT_EQ(changes,
              QStringList({QString::number(bar->maximum()), QString::number(bar->minimum()),
                           QString::number(bar->minimum())}));

    // The thumb goes back to rest, so the next arrow steps from the shown number.
    EXPECT_EQ(bar->value(), rest);
    ClickBar(*Edit, BarPart::UpArrow);
    EXPECT_EQ(Edit->GetValue(), bar->minimum() + 1);
}

TEST_F(DivisorSpinEditTest, TypedCharactersAreFilteredWithABeep)
{
    Type(QStringLiteral("1a2"));
    EXPECT_EQ(Edit->text(), QStringLiteral("12"));
    EXPECT_EQ(Beeps.Count, 1);
    QTest::keyClick(Edit, Qt::Key_Return);
    QTest::keyClick(Edit, Qt::Key_Enter);
    EXPECT_EQ(Beeps.Count, 3);
    Type(QStringLiteral("*/ x"));
    EXPECT_EQ(Beeps.Count, 7);
    EXPECT_EQ(Edit->text(), QStringLiteral("12"));

    // Signs, both marks and the editing keys pass; nothing checks the order while typing.
    Type(QStringLiteral("-+.,3"));
    QTest::keyClick(Edit, Qt::Key_Backspace);
    QTest::keyClick(Edit, Qt::Key_Home);
    QTest::keyClick(Edit, Qt::Key_Delete);
    QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Beeps.Count, 7);
    EXPECT_EQ(Edit->text(), QStringLiteral("2-+.,"));
    EXPECT_EQ(Edit->selectedText(), Edit->text());

    // Both marks pass whatever the Separator is, and so does the Separator itself.
    Edit->clear();
    Edit->SetSeparator(QLatin1Char(';'));
    Type(QStringLiteral("1;5,.x"));
    EXPECT_EQ(Edit->text(), QStringLiteral("1;5,."));
    EXPECT_EQ(Beeps.Count, 8);
}

TEST_F(DivisorSpinEditTest, KeyDownHookSeesKeysAndCanSwallowThem)
{
    QList<int> seen;
    Edit->OnKeyDown = [&seen](QObject *, int &Key, Qt::KeyboardModifiers) {
        seen << Key;
        if (Key == Qt::Key_9) {
            Key = 0;
        }
    };
    Edit->SetValue(5);
    QTest::keyClick(Edit, Qt::Key_Up);
    QTest::keyClick(Edit, Qt::Key_Down);
    EXPECT_EQ(Edit->text(), QStringLiteral("5")); // plain arrows are left to the owner
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("6"));
    QTest::keyClick(Edit, Qt::Key_9);
    EXPECT_EQ(Edit->text(), QStringLiteral("6"));
    // The Shift key's own press reaches the owner like any other key.
    EXPECT_EQ(seen, QList<int>({Qt::Key_Up, Qt::Key_Down, Qt::Key_Shift, 0, Qt::Key_9}));
}

TEST_F(DivisorSpinEditTest, ShiftStepsWithTheArrowsAndOtherwiseJustTypes)
{
    Edit->SetMinValue(-3);
    Edit->clear();
    QStringList changes;
    RecordChanges(*Edit, changes);
    // Shift alone, and Shift with a character (layouts that type signs or digits with it), read
    // nothing: "+5" typed into the empty field stays "+5".
    QTest::keyClick(Edit, Qt::Key_Shift);
    QTest::keyClick(Edit, '+', Qt::ShiftModifier);
    QTest::keyClick(Edit, '5', Qt::ShiftModifier);
    QTest::keyClick(Edit, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("+5"));
    EXPECT_EQ(changes, QStringList({QStringLiteral("+"), QStringLiteral("+5")}));
    EXPECT_EQ(Beeps.Count, 0);

    // Shift with an arrow is one raw step, from MinValue on an empty text as every step is.
    QTest::keyClick(Edit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("6"));
    Edit->clear();
    QTest::keyClick(Edit, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("-3"));
}

TEST_F(DivisorSpinEditTest, PasteClampsTheResult)
{
    Edit->SetMinValue(-10);
    Edit->SetMaxValue(100);
    QClipboard *clipboard = QGuiApplication::clipboard();

    clipboard->setText(QStringLiteral("abc"));
    QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("-10"));
    EXPECT_EQ(Beeps.Count, 0);

    Edit->clear();
    clipboard->setText(QStringLiteral("500"));
    QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("100"));

    Edit->clear();
    clipboard->setText(QStringLiteral("0042"));
    QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("42"));

    // The context menu's paste takes the same way.
    Edit->clear();
    clipboard->setText(QStringLiteral("-70"));
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), Edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(Edit, &menu);
    auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    QAction *paste = nullptr;
    for (QAction *action : popup->actions()) {
        if (action->text().contains(QLatin1String("Paste"))) {
            paste = action;
        }
    }
    ASSERT_NE(paste, nullptr);
    paste->trigger();
    popup->close();
    EXPECT_EQ(Edit->text(), QStringLiteral("-10"));
}

TEST_F(DivisorSpinEditTest, FocusChangesClampOnlyOutOfRangeValues)
{
    Edit->SetDivisor(10);
    Edit->SetMinValue(-10);
    Edit->SetMaxValue(100);
    int exits = 0;
    Edit->OnExit = [&exits](QObject *) { ++exits; };

    Edit->setFocus();
    Edit->setText(QStringLiteral("25"));
    Other->setFocus();
    EXPECT_EQ(Edit->text(), QStringLiteral("10"));
    EXPECT_EQ(exits, 1);

    // In range but not canonical: left exactly as typed.
    const char *kept[] = {"05", "1,50", " 3", "+2", "0,1e1"};
    for (const char *text : kept) {
        Edit->setFocus();
        Edit->setText(QString::fromLatin1(text));
        Other->setFocus();
        EXPECT_EQ(Edit->text(), QString::fromLatin1(text));
    }

    // Entering clamps as well, and selects the whole text so that typing replaces it.
    Edit->setText(QStringLiteral("-3"));
    Edit->setFocus();
    EXPECT_EQ(Edit->text(), QStringLiteral("-1"));
    EXPECT_EQ(Edit->selectedText(), QStringLiteral("-1"));

    // Deactivating and re-activating the window is no exit and no entry.
    Edit->setText(QStringLiteral("700"));
    QFocusEvent deactivated(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Edit, &deactivated);
    QFocusEvent activated(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Edit, &activated);
    EXPECT_EQ(Edit->text(), QStringLiteral("700"));
    EXPECT_EQ(exits, 1 + int(std::size(kept)));

    // An unreadable text falls back to MinValue.
    Edit->setFocus();
    Edit->setText(QStringLiteral("--"));
    Other->setFocus();
    EXPECT_EQ(Edit->text(), QStringLiteral("-1"));
}

TEST_F(DivisorSpinEditTest, OwnerReadingOnEveryKeystrokeLeavesTheTextAsTyped)
{
    // The parameter page reads the value from OnChange while the operator types, as here.
    Edit->SetMinValue(1);
    Edit->SetMaxValue(247);
    Edit->SetValue(17);
    QList<std::int32_t> values;
    Edit->OnChange = [this, &values](QObject *) {
        std::int32_t value = 0;
        if (Edit->TryGetValue(value)) {
            values << value;
        }
    };
    // Clearing the field and typing 3 gives 3, not MinValue's text followed by 3.
    QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Edit, Qt::Key_Backspace);
    Type(QStringLiteral("3"));
    EXPECT_EQ(Edit->text(), QStringLiteral("3"));
    // A stray minus sign after the digits stays until it is taken back.
    Type(QStringLiteral("-"));
    EXPECT_EQ(Edit->text(), QStringLiteral("3-"));
    QTest::keyClick(Edit, Qt::Key_Backspace);
    // A negative number is typed sign first; the bounds wait for the focus to leave.
    QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
    Type(QStringLiteral("-5"));
    EXPECT_EQ(Edit->text(), QStringLiteral("-5"));
    EXPECT_EQ(values, QList<std::int32_t>({3, 3, -5}));
}

} // namespace
