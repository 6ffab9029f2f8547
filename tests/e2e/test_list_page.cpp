// The device list page: polling the bus, stopping a poll, the port field's errors, choosing a
// device, and closing the window while a poll runs.

#include "tests/e2e/E2eSupport.h"

#include "controls/UASGrid.h"
#include "controls/UComPortSpinEdit.h"

#include "link/Link.h"
#include "ui/USpeedMenu.h"
#include "workers/TThread.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

uint32_t Tag(uint16_t version, uint8_t address, uint8_t type)
{
    return static_cast<uint32_t>(version) << 16 | static_cast<uint32_t>(address) << 8 | type;
}

} // namespace

TEST(ListPage, PollListsDevicesWithTextsAndTagsWithAndWithoutZeroAddress)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();

    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    // While the sweep runs, only the stop button is live and the window may still close.
    EXPECT_EQ(w.ButtonQuery->text(), "Стоп");
    EXPECT_TRUE(w.ButtonQuery->isEnabled());
    EXPECT_FALSE(w.ParamsButton->isEnabled());
    EXPECT_FALSE(w.ListBox->isEnabled());
    EXPECT_FALSE(w.ComboBoxPort->isEnabled());
    EXPECT_FALSE(w.CheckBoxPort->isEnabled());
    EXPECT_EQ(w.StatusText(), "Поиск...");
    EXPECT_TRUE(w.CloseEnabled());
    ASSERT_TRUE(WaitFor([&w] { return w.BusyState() == TMainFormLinvar::TBusyState::Idle; }));

    const QStringList expected = {
        "Адрес: 5 Тип: Прибор типа 18, версия: 1.11",
        "Адрес: 12 Тип: Прибор типа 9, версия: 2.05",
        "Адрес: 33 Тип: Прибор типа 24, версия: 3.40",
        "Адрес: 90 Тип: Неизвестный, версия: 1.00",
    };
    EXPECT_EQ(bus.ListTexts(), expected);
    EXPECT_EQ(bus.ListTags(), (std::vector<uint32_t>{Tag(111, 5, 18), Tag(205, 12, 9),
                                                     Tag(340, 33, 24), Tag(100, 90, 7)}));
    EXPECT_EQ(w.ListBox->currentRow(), 0);
    EXPECT_TRUE(w.ParamsButton->isEnabled());
    EXPECT_EQ(w.ButtonQuery->text(), "Опрос");
    EXPECT_TRUE(w.ListBox->isEnabled());
    EXPECT_TRUE(w.ComboBoxPort->isEnabled());
    EXPECT_TRUE(w.CheckBoxPort->isEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);

    // With the zero-address option the list is rebuilt and starts with the device at 0.
    ASSERT_TRUE(bus.Poll(true));
    QStringList withZero = expected;
    withZero.prepend("Адрес: 0 Тип: Прибор типа 24, версия: 3.40");
    EXPECT_EQ(bus.ListTexts(), withZero);
    EXPECT_EQ(bus.ListTags().front(), Tag(340, 0, 24));

    // The fast search, a check of the menu, lists the same devices.
    w.FastSearchItem->trigger();
    ASSERT_TRUE(w.FastSearchItem->isChecked());
    ASSERT_TRUE(bus.Poll(true));
    EXPECT_EQ(bus.ListTexts(), withZero);
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
}

TEST(ListPage, StopEndsThePollAndTheButtonWaitsForTheEnd)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();

    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&w] { return w.ProgressBar->value() >= 3; }));
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    EXPECT_FALSE(w.ButtonQuery->isEnabled());
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Searching);

    ASSERT_TRUE(WaitFor([&w] { return w.ButtonQuery->isEnabled(); }, 5000));
    EXPECT_EQ(w.ButtonQuery->text(), "Опрос");
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);
    // Stopped before address 5 was reached: nothing to choose.
    EXPECT_LE(w.ListBox->count(), 1);
    // The worker posts its end message before it leaves the registry: wait for that too.
    EXPECT_TRUE(WaitFor([] { return RunningWorkers() == 0; }, 5000));
}

TEST(ListPage, ClosingDuringPollStopsTheSweepAndClosesThePort)
{
    auto bus = std::make_unique<WindowOnBus>();
    ASSERT_TRUE(bus->Sim().Ready()) << bus->Sim().Error();
    TMainFormLinvar &w = bus->Window();

    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&w] { return w.ProgressBar->value() >= 2; }));
    EXPECT_TRUE(w.close());
    bus.reset();
    EXPECT_EQ(RunningWorkers(), 0u);
    EXPECT_FALSE(PortIsOpen());
}

TEST(ListPage, PortFieldErrorsLeaveTheWindowIdle)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();

    // A number above 255 names no port: refused before any port is touched.
    w.ComboBoxPort->SetText("300");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    EXPECT_EQ(bus.Boxes.Texts, QStringList{"Range check error"});
    EXPECT_TRUE(PortIsOpen());
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Idle);

    // A port that does not open: the message, and no port is open any more.
    w.ComboBoxPort->SetText("7");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_EQ(bus.Boxes.Texts.size(), 2);
    EXPECT_EQ(bus.Boxes.Texts[1], "Выбранный последовательный порт занят или не существует");
    EXPECT_EQ(bus.Boxes.Captions[1], "Ошибка");
    EXPECT_FALSE(PortIsOpen());
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Idle);
    EXPECT_EQ(w.ButtonQuery->text(), "Опрос");

    // Stepping a text that is no number: the top-level handler shows the conversion error and
    // the program goes on with the text unchanged.
    w.ComboBoxPort->SetText("");
    QKeyEvent shiftUp(QEvent::KeyPress, Qt::Key_Up, Qt::ShiftModifier);
    QApplication::sendEvent(w.ComboBoxPort, &shiftUp);
    ASSERT_TRUE(WaitFor([&bus] { return bus.Boxes.Texts.size() >= 3; }, 2000))
        << bus.Boxes.Texts.join('\n').toStdString();
    EXPECT_EQ(bus.Boxes.Texts.size(), 3);
    EXPECT_EQ(bus.Boxes.Texts[2], "'' is not a valid integer value");
    EXPECT_EQ(w.ComboBoxPort->Text(), "");

    // Back on the simulator's port the poll works again.
    w.ComboBoxPort->SetText("1");
    ASSERT_TRUE(bus.Poll());
    EXPECT_EQ(w.ListBox->count(), 4);
}

TEST(ListPage, NoOpenPortIsToldBeforeAReadOrAWrite)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    const QString noPort = "Последовательный порт не открыт. Укажите порт и нажмите \"Опрос\", "
                           "чтобы открыть его.";
    ASSERT_TRUE(bus.Poll());

    // A poll whose port does not open leaves the old list; reading it would go nowhere.
    w.ComboBoxPort->SetText("7");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_TRUE(bus.SelectAddress(12));
    QTest::mouseClick(w.ParamsButton, Qt::LeftButton);
    EXPECT_EQ(bus.Boxes.Texts.value(1), noPort);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Idle);
    EXPECT_TRUE(w.CloseEnabled());

    // The same for a write once the port has gone.
    w.ComboBoxPort->SetText("1");
    ASSERT_TRUE(bus.Poll() && bus.SelectAddress(12) && bus.ReadParams());
    CloseComPort();
    QTest::mouseClick(w.TabSheet2->SaveButton, Qt::LeftButton);
    EXPECT_EQ(bus.Boxes.Texts.value(2), noPort);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Idle);
    EXPECT_TRUE(w.TabSheet2->SaveButton->isEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");
}

TEST(ListPage, PortWithoutPermissionExplainsTheFix)
{
    const char *denied = PathRefusingAccess();
    if (!denied)
        GTEST_SKIP() << "no path here refuses opening with EACCES";
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    std::ofstream(bus.Sim().SettingsPath(), std::ios::app) << "COM5=" << denied << "\n";

    w.ComboBoxPort->SetText("5");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    const QStringList lines = bus.Boxes.Texts[0].split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Выбранный последовательный порт занят или не существует");
    EXPECT_TRUE(lines[1].contains("dialout")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("usermod")) << lines[1].toStdString();

    // A port that is simply missing gets no such hint.
    w.ComboBoxPort->SetText("7");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    ASSERT_EQ(bus.Boxes.Texts.size(), 2);
    EXPECT_FALSE(bus.Boxes.Texts[1].contains('\n'));
}

TEST(ListPage, ChoosingADeviceFollowsTheCatalogue)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(bus.Poll());
    ASSERT_EQ(w.ListBox->count(), 4);

    // The device at 90 has no catalogue entry: no parameters, and a double click does nothing.
    bus.ClickListRow(3);
    EXPECT_FALSE(w.ParamsButton->isEnabled());
    bus.DoubleClickListRow(3);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Idle);
    EXPECT_TRUE(w.CloseEnabled());

    bus.ClickListRow(2);
    EXPECT_TRUE(w.ParamsButton->isEnabled());

    // A double click on a described device starts reading at once.
    bus.DoubleClickListRow(1);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Reading);
    EXPECT_EQ(w.StatusText(), "Чтение...");
    ASSERT_TRUE(WaitFor([&w] { return w.PageControl->currentIndex() == 1; }));
    EXPECT_EQ(w.TabSheet2->ASGrid->RowCount(), 4);

    // Enter on the list does what the double click does.
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    bus.ClickListRow(2);
    QTest::keyClick(w.ListBox, Qt::Key_Return);
    EXPECT_EQ(w.BusyState(), TMainFormLinvar::TBusyState::Reading);
    ASSERT_TRUE(WaitFor([&w] { return w.PageControl->currentIndex() == 1; }));
    EXPECT_EQ(w.TabSheet2->ASGrid->RowCount(), 5);
}

TEST(ListPage, TheMenusSpeedFindsItsDevicesAndOpeningOneSetsTheSpeedItWasFoundAt)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    // The session starts at the settings' speed; a search at 19200 finds only the device there.
    EXPECT_EQ(w.SpeedMenu->Speed(), 9600u);
    EXPECT_EQ(w.SpeedMenu->SearchSpeeds(), std::vector<uint32_t>{9600});
    w.SpeedMenu->SpeedItems.at(4)->trigger();
    ASSERT_TRUE(bus.Poll());
    EXPECT_EQ(bus.ListTexts(),
              QStringList{"Адрес: 44 Тип: Прибор типа 9, версия: 2.05, скорость: 19200"});
    // Whatever speed the port was left at, the device opens at the one it answered at.
    ASSERT_TRUE(SetComState(9600));
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(BaudRate, 19200u);
    EXPECT_TRUE(bus.Values().contains("44")) << bus.Values().join('|').toStdString();
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();
    // Across all speeds the one chosen comes first.
    w.SpeedMenu->AllSpeedsItem->trigger();
    EXPECT_EQ(w.SpeedMenu->SearchSpeeds(),
              (std::vector<uint32_t>{19200, 1200, 2400, 4800, 9600, 38400, 57600, 115200}));
}
