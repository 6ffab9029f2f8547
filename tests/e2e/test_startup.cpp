// Start-up: the port probe, the window's initial state and the catalogue's messages.

#include "tests/e2e/E2eSupport.h"

#include "controls/UComPortSpinEdit.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/Link.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <QWindow>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <unistd.h>

TEST(Startup, ProbeTakesFirstPortThatOpensAndWindowStartsIdle)
{
    WindowOnBus bus(3);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();

    EXPECT_EQ(w.ComboBoxPort->Text(), "3");
    EXPECT_TRUE(PortIsOpen());
    EXPECT_FALSE(w.TerminateRequested());
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join('\n').toStdString();

    // The caption as the window system gets it: the program's name is not appended.
    w.show();
    ASSERT_TRUE(w.windowHandle());
    EXPECT_EQ(w.windowHandle()->title(), "Параметры интерфейса RS485");
    EXPECT_EQ(w.menuBar()->actions().value(0)->text(), "О программе...");
    EXPECT_EQ(w.PageControl->currentIndex(), 0);
    EXPECT_EQ(w.StatusText(), "Ждем...");
    EXPECT_EQ(w.ProgressBar->value(), 0);
    EXPECT_EQ(w.ProgressBar->maximum(), 100);
    EXPECT_EQ(w.ButtonQuery->text(), "Опрос");
    EXPECT_TRUE(w.ButtonQuery->isEnabled());
    EXPECT_FALSE(w.ParamsButton->isEnabled());
    EXPECT_FALSE(w.CheckBoxPort->isChecked());
    EXPECT_EQ(w.ListBox->count(), 0);
    // The progress bar lies over the second status panel, inside the bar.
    EXPECT_EQ(w.ProgressBar->x(), TMainFormLinvar::StatusPanel0Width + 2);
    EXPECT_EQ(w.ProgressBar->width(),
              w.StatusBar->width() - TMainFormLinvar::StatusPanel0Width - 20);
}

TEST(Startup, PortFieldTipTellsWhatStandsBehindTheNumberAndWhetherItIsOpen)
{
    WindowOnBus bus(3);
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    const std::string link = bus.Sim().DevicePath();
    const QString behind = QString::fromStdString("COM3: " + link + " (" +
                                                  std::filesystem::canonical(link).string() + ")");
    EXPECT_EQ(w.ComboBoxPort->toolTip(), behind + ", открыт");

    auto type = [&w](const QString &text) {
        w.ComboBoxPort->setFocus();
        w.ComboBoxPort->selectAll();
        QTest::keyClicks(w.ComboBoxPort, text);
    };
    type("2");
    EXPECT_EQ(w.ComboBoxPort->toolTip(), "COM2: устройства нет");
    // A poll on a number that does not open leaves no port open.
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    EXPECT_EQ(bus.Boxes.Texts.size(), 1);
    type("3");
    EXPECT_EQ(w.ComboBoxPort->toolTip(), behind + ", не открыт");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton);
    EXPECT_EQ(w.ComboBoxPort->toolTip(), behind + ", открыт");
    QTest::mouseClick(w.ButtonQuery, Qt::LeftButton); // "Стоп"
    EXPECT_TRUE(WaitFor([&w] { return w.BusyState() == TMainFormLinvar::TBusyState::Idle; }));
}

TEST(Startup, NoFreePortShowsMessageOnceAndEndsProgram)
{
    // Ports 1..15 lead nowhere; port 16 is a terminal that would open, were it probed.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string lines;
    for (int n = 1; n <= 15; ++n)
        lines += "COM" + std::to_string(n) + "=/nonexistent/linvar-" + std::to_string(n) + "\n";
    lines += std::string("COM16=") + ptsname(master) + "\n";
    TTempDir settings("linvar-e2e-");
    settings.UseSettings(lines);
    ErrorBoxRecorder boxes;
    TMainFormLinvar w(QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR));

    EXPECT_EQ(boxes.Texts, QStringList{"Нет свободных последовательных портов"});
    EXPECT_EQ(boxes.Captions, QStringList{"Ошибка"});
    EXPECT_TRUE(w.TerminateRequested());
    EXPECT_FALSE(PortIsOpen());
    // The window is still complete; the program entry ends before showing it.
    EXPECT_EQ(w.StatusText(), "Ждем...");
    close(master);
}

TEST(Startup, UnreadableSettingsFileIsToldAndTheDefaultsApply)
{
    TTempDir settings("linvar-e2e-");
    // A folder in place of the file: it exists, so it is no missing file to pass over.
    settings.SetEnv("LINVAR_SETTINGS", settings.File(""));
    ErrorBoxRecorder boxes;
    TMainFormLinvar w(QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR));

    ASSERT_GE(boxes.Texts.size(), 1);
    const QString text = boxes.Texts[0];
    EXPECT_TRUE(text.startsWith("Не удалось прочитать файл настроек " +
                                QString::fromStdString(settings.File("")) + ": "))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("\nДействуют настройки по умолчанию.")) << text.toStdString();
}

TEST(Startup, PortsWithoutPermissionExplainTheFix)
{
    const char *denied = PathRefusingAccess();
    if (!denied)
        GTEST_SKIP() << "no path here refuses opening with EACCES";
    std::string lines;
    for (int n = 1; n <= 15; ++n)
        lines += "COM" + std::to_string(n) +
                 (n == 4 ? std::string("=") + denied : "=/nonexistent/linvar") + "\n";
    TTempDir settings("linvar-e2e-");
    settings.UseSettings(lines);
    ErrorBoxRecorder boxes;
    TMainFormLinvar w(QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR));

    ASSERT_EQ(boxes.Texts.size(), 1);
    const QStringList text = boxes.Texts[0].split('\n');
    ASSERT_EQ(text.size(), 2);
    EXPECT_EQ(text[0], "Нет свободных последовательных портов");
    EXPECT_TRUE(text[1].contains("dialout")) << text[1].toStdString();
    EXPECT_TRUE(w.TerminateRequested());
}

TEST(Startup, CatalogueMissingOrMalformedIsReportedAndWindowStillOpens)
{
    QTemporaryDir missing;
    {
        WindowOnBus bus(1, missing.path());
        ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
        EXPECT_EQ(bus.Boxes.Texts, QStringList{"Не найден файл с описанием параметров"});
        EXPECT_EQ(bus.Boxes.Captions, QStringList{"Ошибка"});
        EXPECT_TRUE(PortIsOpen());
    }

    QTemporaryDir malformed;
    QFile file(QDir(malformed.path()).filePath("params.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        Utf8ToCp1251("<?xml version=\"1.0\"?>\n<Каталог><Прибор тип=\"9\"></Каталог>\n").c_str());
    file.close();
    WindowOnBus bus(1, malformed.path());
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    // The place of the fault on a line of its own: the end tag that closes the wrong element.
    EXPECT_EQ(bus.Boxes.Texts, QStringList{"Плохой файл конфигурации\nСтрока 2, столбец 28"});

    // Without a catalogue no device has parameters to open.
    ASSERT_TRUE(bus.Poll());
    ASSERT_EQ(bus.Window().ListBox->count(), 4);
    for (int row = 0; row < 4; ++row) {
        bus.ClickListRow(row);
        EXPECT_FALSE(bus.Window().ParamsButton->isEnabled()) << row;
    }
}
