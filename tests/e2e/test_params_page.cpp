// The parameter page: reading into the grid, the floating editor with its keys and bounds,
// defaults, writing with the echoed values, going back and reading again, and the Close
// command refused while a read or a write runs.

#include "tests/e2e/E2eSupport.h"

#include "controls/UASGrid.h"
#include "controls/UDivisorSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"

#include <QDir>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Replaces the editor's text by typing, as an operator would.
void TypeIntoEditor(TMainFormLinvar &w, const QString &text)
{
    w.TabSheet2->DivisorSpinEdit->setFocus();
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.TabSheet2->DivisorSpinEdit, text);
}

// Opens the parameters of the device at `address` after a poll; a simulator that did not start
// fails with its error.
testing::AssertionResult OpenDevice(WindowOnBus &bus, uint8_t address, bool zeroAddress = false)
{
    if (!bus.Sim().Ready())
        return testing::AssertionFailure() << bus.Sim().Error();
    if (!(bus.Poll(zeroAddress) && bus.SelectAddress(address) && bus.ReadParams()))
        return testing::AssertionFailure() << "the device at " << int(address) << " did not open";
    return testing::AssertionSuccess();
}

// Writes `xml` (UTF-8) into `dir` as the catalogue file, in the code page the program reads;
// returns the folder.
QString WriteCatalogue(const QTemporaryDir &dir, const std::string &xml)
{
    std::ofstream(QDir(dir.path()).filePath("params.cfg").toStdString(), std::ios::binary)
        << Utf8ToCp1251(xml);
    return dir.path();
}

// Counts the paint events a widget receives while it lives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) : Widget(widget) { widget->installEventFilter(this); }
    ~PaintCounter() override { Widget->removeEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++Count;
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *Widget;
};

bool Idle(TMainFormLinvar &w)
{
    return w.BusyState() == TMainFormLinvar::TBusyState::Idle;
}

} // namespace

TEST(ParamsPage, ReadDefaultsWriteAndReadAgain)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(bus.Poll());
    ASSERT_TRUE(bus.SelectAddress(12));
    ASSERT_EQ(w.ListBox->currentRow(), 1);
    ASSERT_TRUE(w.ParamsButton->isEnabled());

    // Reading: the list page stays, locked, and the window refuses to close.
    QTest::mouseClick(w.ParamsButton, Qt::LeftButton);
    EXPECT_EQ(w.StatusText(), "Чтение...");
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.ButtonQuery->isEnabled());
    EXPECT_FALSE(w.ParamsButton->isEnabled());
    EXPECT_FALSE(w.ListBox->isEnabled());
    ASSERT_TRUE(WaitFor([&w] { return Idle(w) && w.PageControl->currentIndex() == 1; }));
    EXPECT_TRUE(w.CloseEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);
    EXPECT_TRUE(w.ParamsButton->isEnabled());

    // Firmware 2.05 has no "Число повторов"; the word values are scaled by their divisors.
    ASSERT_EQ(w.TabSheet2->ASGrid->RowCount(), 4);
    EXPECT_EQ(bus.Cell(-1, 0), "Название параметра");
    EXPECT_EQ(bus.Cell(-1, 1), "Значение");
    EXPECT_EQ(bus.Cell(0, 0), "Сетевой адрес");
    EXPECT_EQ(bus.Cell(3, 0), "Тайм-аут приёма, с");
    EXPECT_EQ(bus.Values(), QStringList({"12", "9,6", "4", "2,5"}));
    EXPECT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 0);
    EXPECT_TRUE(w.TabSheet2->DivisorSpinEdit->isVisible());
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "12");

    QTest::mouseClick(w.TabSheet2->DefButton, Qt::LeftButton);
    EXPECT_EQ(bus.Values(), QStringList({"1", "9,6", "4", "1,5"}));
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "1");

    // Back, not written, and read again: the edits are gone, the device's values come back.
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    EXPECT_EQ(bus.Boxes.UnsavedQuestions, 1);
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), QStringList({"12", "9,6", "4", "2,5"}));

    // Edit two rows in the floating editor, moving down with the arrow key.
    w.TabSheet2->DivisorSpinEdit->setFocus();
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    ASSERT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 1);
    QApplication::processEvents();
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "9,6");
    TypeIntoEditor(w, "19,2");
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    QApplication::processEvents();
    TypeIntoEditor(w, "7");
    EXPECT_EQ(bus.Values(), QStringList({"12", "19,2", "7", "2,5"}));

    // Writing: the page is locked and the window refuses to close until the echo is in.
    QTest::mouseClick(w.TabSheet2->SaveButton, Qt::LeftButton);
    EXPECT_EQ(w.StatusText(), "Запись...");
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.TabSheet2->SaveButton->isEnabled());
    EXPECT_FALSE(w.TabSheet2->DefButton->isEnabled());
    EXPECT_FALSE(w.TabSheet2->CancelButton->isEnabled());
    EXPECT_FALSE(w.TabSheet2->ASGrid->isEnabled());
    EXPECT_FALSE(w.TabSheet2->DivisorSpinEdit->isEnabled());
    ASSERT_TRUE(WaitFor([&w] { return Idle(w); }));
    EXPECT_TRUE(w.CloseEnabled());
    EXPECT_TRUE(w.TabSheet2->SaveButton->isEnabled());
    EXPECT_TRUE(w.TabSheet2->ASGrid->isEnabled());
    EXPECT_TRUE(w.TabSheet2->DivisorSpinEdit->isEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);
    EXPECT_EQ(bus.Values(), QStringList({"12", "19,2", "7", "2,5"}));

    // The device kept what was written.
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), QStringList({"12", "19,2", "7", "2,5"}));
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
}

TEST(ParamsPage, ButtonsKeepTheirPressWhileTheGridRepaints)
{
    WindowOnBus bus;
    TParamsPage &page = *bus.Window().TabSheet2;
    ASSERT_TRUE(OpenDevice(bus, 12));
    // The end of the read gives the editor the focus.
    ASSERT_TRUE(WaitFor([&page] { return page.DivisorSpinEdit->hasFocus(); }, 2000));

    // The press takes the focus from the editor, and the grid under it repaints; the button
    // must keep the focus and its press until the release clicks it.
    QTest::mousePress(page.DefButton, Qt::LeftButton);
    for (int i = 0; i < 5; ++i) {
        page.ASGrid->viewport()->repaint();
        QApplication::processEvents();
    }
    EXPECT_TRUE(page.DefButton->isDown());
    EXPECT_TRUE(page.DefButton->hasFocus());
    QTest::mouseRelease(page.DefButton, Qt::LeftButton);
    EXPECT_EQ(bus.Values(), QStringList({"1", "9,6", "4", "1,5"}));

    // Tab walks the buttons in their order, then comes back to the editor.
    page.DivisorSpinEdit->setFocus();
    const QWidget *expected[] = {page.CancelButton, page.SaveButton, page.DefButton,
                                 page.DivisorSpinEdit};
    for (const QWidget *widget : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::focusWidget(), widget);
    }
}

TEST(ParamsPage, TypingStoresOnlyWhatTheOperatorTyped)
{
    WindowOnBus bus;
    TParamsPage &page = *bus.Window().TabSheet2;
    ASSERT_TRUE(OpenDevice(bus, 12));
    TDivisorSpinEdit *editor = page.DivisorSpinEdit;
    editor->setFocus();

    // Cleared, the field stays empty and the row keeps its value until a number reads.
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Backspace);
    EXPECT_EQ(editor->Text(), "");
    EXPECT_EQ(bus.Cell(0, 1), "12");
    QTest::keyClicks(editor, "3");
    EXPECT_EQ(editor->Text(), "3");
    EXPECT_EQ(bus.Cell(0, 1), "3");

    // A lone sign is no number yet; leaving the editor clamps what was typed.
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "-");
    EXPECT_EQ(editor->Text(), "-");
    QTest::keyClicks(editor, "5");
    EXPECT_EQ(editor->Text(), "-5");
    QTest::keyClick(editor, Qt::Key_Down);
    EXPECT_EQ(bus.Cell(0, 1), "1");
    // The new row reaches the editor, which takes the focus back.
    ASSERT_TRUE(WaitFor([editor] { return editor->hasFocus(); }, 2000));

    // A full stop is a decimal mark too in a comma locale; the grid shows the locale's.
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "57.6");
    EXPECT_EQ(bus.Cell(1, 1), "57,6");
}

TEST(ParamsPage, WriteWithoutEchoKeepsTheValuesMarkedAndNamesThem)
{
    WindowOnBus bus;
    TMainFormLinvar &w = bus.Window();
    // The device at 33 answers reads but never a write.
    ASSERT_TRUE(OpenDevice(bus, 33));
    ASSERT_EQ(bus.Values(), QStringList({"33", "9,6", "11,8", "3", "1"}));
    TypeIntoEditor(w, "34");

    ASSERT_TRUE(bus.ClickAndWaitIdle(w.TabSheet2->SaveButton));
    // What the operator meant stays, marked until something confirms it; the flag row is
    // never written, so it has nothing to confirm.
    EXPECT_EQ(bus.Values(), QStringList({"34", "9,6", "11,8", "3", "1"}));
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(w.TabSheet2->RowUnconfirmed(row), row < 4) << row;
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    EXPECT_EQ(bus.Boxes.Kinds[0], TBoxKind::Warning);
    const QString names = QString::fromStdString(Cp1251ToUtf8(DeviceParameters[0].Name));
    EXPECT_TRUE(bus.Boxes.Texts[0].contains(names)) << bus.Boxes.Texts[0].toStdString();
    EXPECT_FALSE(bus.Boxes.Texts[0].contains(
        QString::fromStdString(Cp1251ToUtf8(DeviceParameters[4].Name))));
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_TRUE(w.TabSheet2->SaveButton->isEnabled());
    EXPECT_TRUE(w.CloseEnabled());

    // The device took the values and only its echoes were lost; a read that gets its word
    // shows them, unmarked. Values the device did not confirm are unsaved ones to leave.
    ASSERT_TRUE(bus.ClickAndWaitIdle(w.TabSheet2->CancelButton));
    EXPECT_EQ(bus.Boxes.UnsavedQuestions, 1);
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), QStringList({"34", "9,6", "11,8", "3", "1"}));
    EXPECT_FALSE(w.TabSheet2->RowUnconfirmed(0));
    EXPECT_EQ(bus.Boxes.Texts.size(), 1);
}

TEST(ParamsPage, UnsavedValuesAreAskedAboutAndWrittenBeforeLeavingWhenWanted)
{
    WindowOnBus bus;
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(OpenDevice(bus, 12));
    // Past its maximum, and the focus never leaves the editor.
    TypeIntoEditor(w, "300");

    // Staying keeps the window, the page and the value as typed.
    bus.Boxes.UnsavedAnswer = TUnsavedChoice::Stay;
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.TabSheet2->MayLeave(TPageLeave::Back));
    EXPECT_EQ(bus.Boxes.UnsavedQuestions, 2);
    EXPECT_EQ(w.PageControl->currentIndex(), 1);

    // Writing first: the value goes out within its limits, then the page goes back.
    bus.Boxes.UnsavedAnswer = TUnsavedChoice::Write;
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Writing);
    ASSERT_TRUE(WaitFor([&w] { return Idle(w) && w.PageControl->currentIndex() == 0; }));
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), QStringList({"127", "9,6", "4", "2,5"}));

    // Nothing changed since the read: nothing is asked.
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    EXPECT_EQ(bus.Boxes.UnsavedQuestions, 3);
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
}

TEST(ParamsPage, EditorKeysMoveTheSelectionAndBoundsHoldForTheRowLeft)
{
    WindowOnBus bus;
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(OpenDevice(bus, 12));
    ASSERT_EQ(w.TabSheet2->ASGrid->RowCount(), 4);

    struct Step
    {
        Qt::Key Key;
        int Row;
    };
    // From row 0, in sequence: keys that cannot act leave the selection where it is.
    const Step steps[] = {
        {Qt::Key_Up, 0},  {Qt::Key_Home, 0},   {Qt::Key_PageUp, 0},   {Qt::Key_Down, 1},
        {Qt::Key_End, 3}, {Qt::Key_Down, 3},   {Qt::Key_End, 3},      {Qt::Key_PageDown, 3},
        {Qt::Key_Up, 2},  {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 3}, {Qt::Key_Home, 0},
    };
    for (const Step &step : steps) {
        w.TabSheet2->DivisorSpinEdit->setFocus();
        QTest::keyClick(w.TabSheet2->DivisorSpinEdit, step.Key);
        QApplication::processEvents();
        EXPECT_EQ(w.TabSheet2->ASGrid->SelectedRow(), step.Row) << "key " << step.Key;
    }

    // The editor floats over the selected row and follows it.
    const int top0 = w.TabSheet2->DivisorSpinEdit->y();
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->y() - top0, w.TabSheet2->ASGrid->RowHeight());
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "9,6");

    // Shift+Up is the editor's own step of one raw unit, not a row move.
    w.TabSheet2->DivisorSpinEdit->setFocus();
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 1);
    EXPECT_EQ(bus.Cell(1, 1), "9,7");

    // A value above the maximum typed into a row is clamped when the row is left.
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Up);
    QApplication::processEvents();
    ASSERT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 0);
    TypeIntoEditor(w, "500");
    EXPECT_EQ(DeviceParameters[0].Value.load(), 500);
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 1);
    EXPECT_EQ(DeviceParameters[0].Value.load(), 127);
    EXPECT_EQ(bus.Cell(0, 1), "127");

    // And one below the minimum rises to it.
    TypeIntoEditor(w, "0,5");
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(DeviceParameters[1].Value.load(), 12);
    EXPECT_EQ(bus.Cell(1, 1), "1,2");

    // Once placed, the editor leaves the grid alone: an idle page does not keep repainting.
    PaintCounter paints(w.TabSheet2->ASGrid->viewport());
    QTest::qWait(300); // a span in which nothing may happen: no condition marks its end
    EXPECT_LE(paints.Count, 2);
}

TEST(ParamsPage, UndefinedValuesHideTheEditorUntilDefaultsFillThem)
{
    WindowOnBus bus;
    TMainFormLinvar &w = bus.Window();
    // The device at 0 holds no parameter 9, so that row cannot be read.
    ASSERT_TRUE(OpenDevice(bus, 0, true));
    ASSERT_EQ(w.TabSheet2->ASGrid->RowCount(), 5);
    EXPECT_EQ(bus.Values().mid(1), QStringList({"9,6", "11,8", "Неопределено", "1"}));
    // The device rejected it, which is an answer: no box counts it as unread.
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty());

    w.TabSheet2->ASGrid->SetSelectedRow(3);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_FALSE(w.TabSheet2->DivisorSpinEdit->isVisible());
    EXPECT_EQ(DeviceParameters[3].Value.load(), VALUE_UNDEFINED);

    QTest::mouseClick(w.TabSheet2->DefButton, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(bus.Values(), QStringList({"1", "9,6", "12", "2,5", "0"}));
    EXPECT_TRUE(WaitFor([&w] { return w.TabSheet2->DivisorSpinEdit->isVisible(); }, 2000));
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "2,5");
}

TEST(ParamsPage, EditorTakesTheNewDeviceScaleWhenTheSelectedRowStays)
{
    WindowOnBus bus;
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(OpenDevice(bus, 12));

    // Row 3 of type 9 is a word with divisor 100; row 3 of type 24 is a byte with divisor 10
    // and a maximum of 100. The selection stays on row 3 across the two devices.
    w.TabSheet2->ASGrid->SetSelectedRow(3);
    QApplication::processEvents();
    ASSERT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "2,5");
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(bus.SelectAddress(33));
    ASSERT_TRUE(bus.ReadParams());
    ASSERT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 3);
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Divisor(), 10u);
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->MaxValue(), 100);
    EXPECT_EQ(w.TabSheet2->DivisorSpinEdit->Text(), "3");
    EXPECT_EQ(bus.Cell(3, 1), "3");
}

TEST(ParamsPage, EditorHidesWhileItsRowIsScrolledOutOfView)
{
    // A catalogue whose type 9 has more rows than the grid shows; all read parameter 1.
    QTemporaryDir dir;
    std::string xml = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Каталог>"
                      "<Прибор тип=\"9\" название=\"Длинный\" версии=\"2.05\">";
    for (int i = 1; i <= 30; ++i)
        xml += "<Параметр название=\"Параметр " + std::to_string(i) +
               "\" тип=\"байт\" индекс=\"1\" делитель=\"1\" минимум=\"0\" "
               "максимум=\"255\" стандартно=\"1\"/>";
    xml += "</Прибор></Каталог>\n";

    WindowOnBus bus(1, WriteCatalogue(dir, xml));
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
    ASSERT_TRUE(OpenDevice(bus, 12));
    ASSERT_EQ(w.TabSheet2->ASGrid->RowCount(), 30);
    ASSERT_LT(w.TabSheet2->ASGrid->VisibleRows(), 30);

    w.TabSheet2->DivisorSpinEdit->setFocus();
    QTest::keyClick(w.TabSheet2->DivisorSpinEdit, Qt::Key_End);
    QApplication::processEvents();
    ASSERT_EQ(w.TabSheet2->ASGrid->SelectedRow(), 29);
    EXPECT_TRUE(WaitFor([&w] { return w.TabSheet2->DivisorSpinEdit->isVisible(); }, 2000));

    // Scrolled back to the top, the selected row lies below the rows shown.
    w.TabSheet2->ASGrid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QApplication::processEvents();
    ASSERT_EQ(w.TabSheet2->ASGrid->TopRow(), 0);
    EXPECT_TRUE(WaitFor([&w] { return !w.TabSheet2->DivisorSpinEdit->isVisible(); }, 2000));
}

TEST(ParamsPage, DeviceWithoutParametersShowsNoStrayEditor)
{
    // Type 9 has one parameter; type 7 is described but lists none.
    QTemporaryDir dir;
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Каталог>"
        "<Прибор тип=\"9\" название=\"Девятый\" версии=\"2.05\">"
        "<Параметр название=\"Сетевой адрес\" тип=\"байт\" индекс=\"1\" делитель=\"1\" "
        "минимум=\"1\" максимум=\"127\" стандартно=\"1\"/></Прибор>"
        "<Прибор тип=\"7\" название=\"Седьмой\" версии=\"1.00\"></Прибор></Каталог>\n";

    WindowOnBus bus(1, WriteCatalogue(dir, xml));
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
    const auto settle = [] {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    };

    // First thing after start, and again after a device whose row had the editor.
    ASSERT_TRUE(OpenDevice(bus, 90));
    EXPECT_EQ(w.TabSheet2->ASGrid->RowCount(), 0);
    settle();
    EXPECT_FALSE(w.TabSheet2->DivisorSpinEdit->isVisible());

    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(bus.SelectAddress(12));
    ASSERT_TRUE(bus.ReadParams());
    ASSERT_TRUE(WaitFor([&w] { return w.TabSheet2->DivisorSpinEdit->isVisible(); }, 2000));

    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    ASSERT_TRUE(bus.SelectAddress(90));
    ASSERT_TRUE(w.ParamsButton->isEnabled());
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(w.TabSheet2->ASGrid->RowCount(), 0);
    EXPECT_EQ(w.TabSheet2->ASGrid->SelectedRow(), -1);
    settle();
    EXPECT_FALSE(w.TabSheet2->DivisorSpinEdit->isVisible());
    EXPECT_TRUE(Idle(w));
}

TEST(ParamsPage, ButtonsKeepTheirPlacesAndTabOrder)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    w.show();
    w.PageControl->setCurrentIndex(1);
    QApplication::processEvents();

    // Laid out from the right: "Назад" at the panel's right, then "Записать" and "По умолчанию"
    // at the distances of the window's original layout (left edges 313, 205 and 103).
    EXPECT_EQ(w.TabSheet2->CancelButton->geometry().size(), QSize(91, 25));
    EXPECT_EQ(w.TabSheet2->SaveButton->geometry().size(), QSize(91, 25));
    EXPECT_EQ(w.TabSheet2->DefButton->geometry().size(), QSize(87, 25));
    for (const QPushButton *button :
         {w.TabSheet2->CancelButton, w.TabSheet2->SaveButton, w.TabSheet2->DefButton})
        EXPECT_EQ(button->y(), 8) << button->text().toStdString();
    EXPECT_EQ(w.TabSheet2->CancelButton->x() - w.TabSheet2->SaveButton->x(), 313 - 205);
    EXPECT_EQ(w.TabSheet2->SaveButton->x() - w.TabSheet2->DefButton->x(), 205 - 103);
    EXPECT_EQ(w.TabSheet2->CancelButton->nextInFocusChain(), w.TabSheet2->SaveButton);
    EXPECT_EQ(w.TabSheet2->SaveButton->nextInFocusChain(), w.TabSheet2->DefButton);
}
