// Failures the window must tell: a converter pulled out during a search, a read or a write
// (one box, the port closed, a new "Опрос" finds the bus again), a read some of whose
// parameters got no answer, addresses that answer only garbled, a device that falls silent,
// and a write the device refuses.

#include "tests/e2e/E2eSupport.h"
#include "tests/support/TempDir.h"
#include "ui/UBusHealthView.h"
#include "ui/UTrafficForm.h"

#include "controls/UASGrid.h"
#include "controls/UColors.h"
#include "controls/UDivisorSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/Link.h"
#include "link/Traffic.h"

#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// The link's attempts, recorded while the watch lives, so that a test sees what went on the
// wire. Not while the traffic form is open: the link reports to one record at a time.
class TWireWatch
{
public:
    TWireWatch() { SetTrafficRecord(&Record); }
    ~TWireWatch() { SetTrafficRecord(nullptr); }
    TWireWatch(const TWireWatch &) = delete;
    TWireWatch &operator=(const TWireWatch &) = delete;

    // True once an attempt of request `command` to `address` has ended, answered or not.
    bool Sent(uint8_t address, uint8_t command)
    {
        for (TTrafficAttempt &attempt : Record.Take())
            Seen.push_back(std::move(attempt));
        return std::any_of(Seen.begin(), Seen.end(), [&](const TTrafficAttempt &attempt) {
            return attempt.Request.size() > 3 && attempt.Request[0] == address &&
                   attempt.Request[3] == command;
        });
    }

private:
    TTrafficRecord Record;
    std::vector<TTrafficAttempt> Seen;
};

bool Idle(TMainFormLinvar &w)
{
    return w.BusyState() == TMainFormLinvar::TBusyState::Idle;
}

// Pulls the link once `started` holds, as a converter is pulled out, and waits for the window
// to be idle again.
bool PullLinkWhen(WindowOnBus &bus, const std::function<bool()> &started)
{
    if (!WaitFor(started, 10000))
        return false;
    bus.Sim().Stop();
    return WaitFor([&bus] { return Idle(bus.Window()); }, 5000);
}

// The one box of a lost port: an error that names port 1.
void ExpectOneLostPortBox(const WindowOnBus &bus)
{
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    EXPECT_EQ(bus.Boxes.Kinds[0], TBoxKind::Error);
    EXPECT_EQ(bus.Boxes.Captions[0], "Ошибка");
    EXPECT_TRUE(bus.Boxes.Texts[0].contains("порт 1 потеряна")) << bus.Boxes.Texts[0].toStdString();
    EXPECT_FALSE(PortIsOpen());
}

// Opens the parameters of the device at `address` after a poll.
bool OpenDevice(WindowOnBus &bus, uint8_t address, bool zeroAddress = false)
{
    return bus.Poll(zeroAddress) && bus.SelectAddress(address) && bus.ReadParams();
}

// The attempts on the wire while it lives, as the link reports them.
struct TWire : TTrafficRecord
{
    TWire() { SetTrafficRecord(this); }
    ~TWire() { SetTrafficRecord(nullptr); }
    // Attempts since the last call; with `command`, only those of that command and `index`.
    size_t Count(int command = -1, uint8_t index = 0)
    {
        size_t count = 0;
        for (const TTrafficAttempt &attempt : Take())
            count += command < 0 || (attempt.Request[3] == command && attempt.Request[4] == index);
        return count;
    }
};

// Name of row `row` as shown.
QString RowName(int row)
{
    return QString::fromStdString(Cp1251ToUtf8(DeviceParameters[static_cast<size_t>(row)].Name));
}

} // namespace

TEST(BusFaults, LinkPulledDuringTheSearchIsToldOnceAndTheNextPollFindsTheBus)
{
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_FAULTS);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    // Address 12 is behind the first devices found; the sweep has the rest of the bus to go.
    ASSERT_TRUE(PullLinkWhen(bus, [&w] { return w.ListBox->count() >= 1; }));
    ExpectOneLostPortBox(bus);
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    EXPECT_EQ(w.ButtonQuery->text(), "Опрос");
    EXPECT_TRUE(w.ButtonQuery->isEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);
    EXPECT_LT(w.ListBox->count(), 3);

    // The converter back in its socket: the same port field opens it again.
    ASSERT_TRUE(bus.Sim().Restart()) << bus.Sim().Error();
    ASSERT_TRUE(bus.Poll());
    EXPECT_EQ(w.ListBox->count(), 3);
    EXPECT_EQ(bus.Boxes.Texts.size(), 1);
}

TEST(BusFaults, LinkPulledDuringAReadLeavesTheListPageIdle)
{
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_FAULTS);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    // The device at 24 answers no read, so its read runs over a second before it gives up.
    ASSERT_TRUE(bus.Poll());
    ASSERT_TRUE(bus.SelectAddress(24));
    TWireWatch wire;
    QTest::mouseClick(w.ParamsButton, Qt::LeftButton);
    // Pulled once the read is on the wire: its first request has gone unanswered.
    ASSERT_TRUE(PullLinkWhen(bus, [&w, &wire] {
        return w.BusyState() == TMainFormLinvar::TBusyState::Reading &&
               wire.Sent(24, CMD_READ_PARAM);
    }));
    ExpectOneLostPortBox(bus);
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    EXPECT_TRUE(w.ButtonQuery->isEnabled());
    EXPECT_TRUE(w.ListBox->isEnabled());
    EXPECT_TRUE(w.CloseEnabled());

    ASSERT_TRUE(bus.Sim().Restart()) << bus.Sim().Error();
    ASSERT_TRUE(OpenDevice(bus, 33));
    EXPECT_EQ(bus.Values(), QStringList({"33", "9,6", "11,8", "3", "1"}));
    EXPECT_EQ(bus.Boxes.Texts.size(), 1);
}

TEST(BusFaults, LinkPulledDuringAWriteKeepsThePageWithTheUnconfirmedValues)
{
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_FAULTS);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    // The device at 33 never answers a write, so its write runs over a second.
    ASSERT_TRUE(OpenDevice(bus, 33));
    TWireWatch wire;
    QTest::mouseClick(w.TabSheet2->SaveButton, Qt::LeftButton);
    // Pulled once the write is on the wire: its first request has gone unanswered.
    ASSERT_TRUE(PullLinkWhen(bus, [&w, &wire] {
        return w.BusyState() == TMainFormLinvar::TBusyState::Writing &&
               wire.Sent(33, CMD_WRITE_PARAM);
    }));
    // One box tells the loss and names what the device did not confirm.
    ExpectOneLostPortBox(bus);
    const QString first = QString::fromStdString(Cp1251ToUtf8(DeviceParameters[0].Name));
    EXPECT_TRUE(bus.Boxes.Texts[0].contains(first));
    EXPECT_EQ(w.PageControl->currentIndex(), 1);
    EXPECT_TRUE(w.TabSheet2->SaveButton->isEnabled());
    EXPECT_TRUE(w.TabSheet2->CancelButton->isEnabled());
    EXPECT_EQ(bus.Values(), QStringList({"33", "9,6", "11,8", "3", "1"}));
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(w.TabSheet2->RowUnconfirmed(row)) << row;
    EXPECT_TRUE(w.CloseEnabled());
    EXPECT_EQ(w.StatusText(), "Ждем...");

    // With the port closed, a second write starts nothing and says why.
    QTest::mouseClick(w.TabSheet2->SaveButton, Qt::LeftButton);
    EXPECT_TRUE(Idle(w));
    ASSERT_EQ(bus.Boxes.Texts.size(), 2);
    EXPECT_TRUE(bus.Boxes.Texts[1].contains("не открыт"));
}

TEST(BusFaults, ReadWithUnansweredParametersSaysHowManyAndStillOpensThePage)
{
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_FAULTS);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    // The device at 12 lets its first parameter go unanswered until the read moves on.
    ASSERT_TRUE(OpenDevice(bus, 12));
    EXPECT_EQ(bus.Values(), QStringList({"Неопределено", "9,6", "4", "2,5"}));
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    EXPECT_EQ(bus.Boxes.Kinds[0], TBoxKind::Warning);
    EXPECT_TRUE(bus.Boxes.Texts[0].contains("Не прочитано параметров: 1 из 4"))
        << bus.Boxes.Texts[0].toStdString();
    EXPECT_FALSE(bus.Window().TabSheet2->RowUnconfirmed(0));

    // The defaults give the unread row a value that no write has sent: nothing unconfirmed.
    TMainFormLinvar &w = bus.Window();
    QTest::mouseClick(w.TabSheet2->DefButton, Qt::LeftButton);
    EXPECT_EQ(bus.Values(), QStringList({"1", "9,6", "4", "1,5"}));
    EXPECT_FALSE(w.TabSheet2->RowUnconfirmed(0));

    // Read again, every parameter answers: nothing to tell.
    ASSERT_TRUE(bus.ClickAndWaitIdle(w.TabSheet2->CancelButton));
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), QStringList({"12", "9,6", "4", "2,5"}));
    EXPECT_EQ(bus.Boxes.Texts.size(), 1);
}

TEST(BusFaults, GarbledAddressesAreToldOnceAndASilentDeviceEndsTheReadEarly)
{
    TTempDir dir("linvar-e2e-wire-");
    const std::string conf = dir.Write("bus.conf", R"(latency 1
char-us 150
# Two devices at one address: their replies collide on the pair.
device 7 type 9 version 2.05 identify 6
device 7 type 24 version 3.40 identify 6 shared
# Falls silent after its first two reads.
device 24 type 24 version 3.40 identify 6
fault no-reply on read after 2
param 1 byte 24
param 2 word 96
param 8 word 1180
param 9 byte 30
param 10 byte 1
)");
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), conf);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    ASSERT_TRUE(bus.Poll());
    EXPECT_EQ(w.ListBox->count(), 1);
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    EXPECT_EQ(bus.Boxes.Kinds[0], TBoxKind::Warning);
    EXPECT_TRUE(bus.Boxes.Texts[0].startsWith("С адреса 7 приходили искажённые ответы"))
        << bus.Boxes.Texts[0].toStdString();
    EXPECT_TRUE(bus.Boxes.Texts[0].contains("двух приборов с одним адресом"));

    // Two parameters read, two that cost all their attempts, and not a frame more.
    TWire wire;
    ASSERT_TRUE(bus.SelectAddress(24));
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(wire.Count(), 2u + 2 * 2 * 3);
    EXPECT_EQ(bus.Values(),
              QStringList({"24", "9,6", "Неопределено", "Неопределено", "Неопределено"}));
    ASSERT_EQ(bus.Boxes.Texts.size(), 2);
    const QString &text = bus.Boxes.Texts[1];
    EXPECT_TRUE(text.startsWith("Прибор перестал отвечать, и чтение прервано. Не прочитано "
                                "параметров: 3 из 5:"))
        << text.toStdString();
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(text.contains(RowName(row)), row >= 2) << row;
    EXPECT_TRUE(Idle(w));
    EXPECT_TRUE(w.CloseEnabled());
}

TEST(BusFaults, RefusedWriteKeepsTheValueInItsOwnColourAndGoesOutAgain)
{
    WindowOnBus bus;
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    TParamsPage &page = *w.TabSheet2;
    // The device at 0 holds no parameter 9 (row 3): it rejects its read and refuses its write.
    ASSERT_TRUE(OpenDevice(bus, 0, true));
    QTest::mouseClick(page.DefButton, Qt::LeftButton);
    ASSERT_EQ(bus.Values(), QStringList({"1", "9,6", "12", "2,5", "0"}));

    TWire wire;
    for (int write = 1; write <= 2; ++write) {
        SCOPED_TRACE(write);
        ASSERT_TRUE(bus.ClickAndWaitIdle(page.SaveButton));
        // Sent once each time: a refusal is an answer, and the kept value goes out again.
        EXPECT_EQ(wire.Count(CMD_WRITE_PARAM, 9), 1u);
        EXPECT_EQ(bus.Values(), QStringList({"1", "9,6", "12", "2,5", "0"}));
        for (int row = 0; row < 5; ++row) {
            EXPECT_EQ(page.RowRefused(row), row == 3) << row;
            EXPECT_FALSE(page.RowUnconfirmed(row)) << row;
            EXPECT_EQ(bus.RowColor(row), row == 3 ? clPurple : clBlack) << row;
        }
        // A value the device did not take is not saved: leaving the page asks first.
        EXPECT_TRUE(page.HasUnsavedEdits());
        ASSERT_EQ(bus.Boxes.Texts.size(), write);
        const QString &text = bus.Boxes.Texts.back();
        EXPECT_TRUE(text.startsWith("Прибор отказался принять значения параметров:\n  " +
                                    RowName(3) + "\n"))
            << text.toStdString();
    }
    // The row's hint says why, over the row and over its editor.
    page.ASGrid->SetSelectedRow(3);
    QApplication::processEvents();
    EXPECT_TRUE(page.RowHint(3).startsWith("Прибор отказался принять это значение"));
    EXPECT_EQ(page.DivisorSpinEdit->toolTip(), page.RowHint(3));
    EXPECT_TRUE(page.RowHint(2).isEmpty());
}

TEST(BusFaults, TrafficWindowShowsEachAttemptAndHoldsStillWhilePaused)
{
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_FAULTS);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    w.TrafficItem->trigger();
    ASSERT_NE(w.TrafficForm, nullptr);
    TTrafficForm &traffic = *w.TrafficForm;
    ASSERT_TRUE(traffic.isVisible());
    // It opens on the main window's screen, beside the main window or centred over it.
    const QRect main = w.frameGeometry();
    const QRect opened = traffic.frameGeometry();
    EXPECT_TRUE(w.screen()->availableGeometry().contains(opened));
    const QPoint offset = opened.center() - main.center();
    EXPECT_TRUE(opened.left() == main.right() + 1 || opened.right() + 1 == main.left() ||
                offset.manhattanLength() <= 2)
        << "main at " << main.x() << "," << main.y() << ", traffic at " << opened.x() << ","
        << opened.y();

    ASSERT_TRUE(bus.Poll());
    traffic.TakeAttempts();
    // The ping of 12 failed once on its check byte, in another colour, and went through next.
    int failed = -1;
    for (int row = 0; row < traffic.RowCount(); ++row) {
        if (traffic.CellText(row, 1) == "12" && traffic.CellText(row, 2) == "проверка связи") {
            failed = row;
            break;
        }
    }
    ASSERT_GE(failed, 0);
    EXPECT_EQ(traffic.CellText(failed, 5), "неверная контрольная сумма");
    EXPECT_TRUE(traffic.RowFailed(failed));
    EXPECT_EQ(traffic.CellText(failed, 3),
              "0C 06 00 01 00 00 " + traffic.CellText(failed, 3).right(2));
    EXPECT_EQ(traffic.CellText(failed + 1, 5), "принят (попытка 2)");
    EXPECT_FALSE(traffic.RowFailed(failed + 1));
    // A sweep of 126 addresses: every silent one is three failed attempts.
    EXPECT_GT(traffic.RowCount(), 3 * 120);

    // Paused, the rows shown stay as they are while the hidden ones are counted.
    traffic.PauseButtonClick();
    const int shown = traffic.RowCount();
    const QString last = traffic.RowLine(shown - 1);
    ASSERT_TRUE(bus.Poll());
    traffic.TakeAttempts();
    EXPECT_EQ(traffic.RowCount(), shown);
    EXPECT_EQ(traffic.RowLine(shown - 1), last);
    const size_t hidden = traffic.HiddenCount();
    EXPECT_GT(hidden, 3u * 120);
    traffic.PauseButtonClick();
    EXPECT_EQ(traffic.RowCount(), shown + static_cast<int>(hidden));
    EXPECT_EQ(traffic.HiddenCount(), 0u);

    // The health view adds up the same attempts: 12 failed one attempt of three and is marked;
    // the silent addresses, which sent nothing back, are no rows of it.
    const TBusHealthView &health = *traffic.HealthView;
    const int row12 = health.RowOf(12);
    ASSERT_GE(row12, 0);
    EXPECT_TRUE(health.RowTroubled(row12));
    EXPECT_EQ(health.CellText(row12, 0), "12 !");
    EXPECT_EQ(health.RowOf(13), -1);

    // Closed, it goes on recording for its next opening; the workers never noticed it.
    traffic.close();
    EXPECT_NE(CurrentTrafficRecord(), nullptr);
    ASSERT_TRUE(bus.Poll());
    traffic.TakeAttempts();
    EXPECT_GT(traffic.RowCount(), shown + static_cast<int>(hidden));
}
