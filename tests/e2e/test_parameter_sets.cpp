// Parameter sets in the window: read, save, change the file, load it with the rows that
// differ marked, write and read back, then the same file through linvar-cli; and every
// refused file leaving the grid as it was.

#include "tests/e2e/E2eSupport.h"
#include "tests/support/ChildProcess.h"

#include "controls/UColors.h"

#include "link/Link.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>

namespace {

std::string FileText(const QString &path)
{
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const std::string &text)
{
    const QString path = dir.filePath(name);
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary) << text;
    return path;
}

std::vector<uint32_t> Colors(WindowOnBus &bus)
{
    std::vector<uint32_t> colors;
    for (int row = 0; row < 4; ++row)
        colors.push_back(bus.RowColor(row));
    return colors;
}

// Runs linvar-cli on the simulator's port; its exit status, -1 when it did not run.
int Cli(WindowOnBus &bus, const QStringList &arguments, QString *out = nullptr)
{
    std::vector<std::string> argv = {LINVAR_CLI_PATH, "--quiet",
                                     "--port",        std::to_string(bus.Sim().PortNumber()),
                                     "--catalogue",   LINVAR_SAMPLE_CATALOGUE_DIR "/params.cfg"};
    for (const QString &argument : arguments)
        argv.push_back(argument.toStdString());
    TChildProcess cli;
    TChildOptions options;
    options.Stdout = TChildOutput::Pipe;
    if (!cli.Start(argv, options) || !cli.WaitExit(30000))
        return -1;
    if (out)
        *out = QString::fromStdString(cli.Out());
    return cli.ExitCode();
}

} // namespace

TEST(ParameterSets, SaveLoadMarkWriteReadBackAndTheToolAgrees)
{
    QTemporaryDir dir;
    const std::string state = QFile::encodeName(dir.filePath("state.txt")).toStdString();
    WindowOnBus bus(1, QStringLiteral(LINVAR_SAMPLE_CATALOGUE_DIR), LINVAR_E2E_BUS,
                    {"--state", state});
    ASSERT_TRUE(bus.Sim().Ready()) << bus.Sim().Error();
    TMainFormLinvar &w = bus.Window();
    FileDialogRecorder dialogs;
    EXPECT_FALSE(w.SaveSetAction->isEnabled());
    EXPECT_FALSE(w.LoadSetAction->isEnabled());
    ASSERT_TRUE(bus.Poll() && bus.SelectAddress(12) && bus.ReadParams());
    EXPECT_TRUE(w.SaveSetAction->isEnabled());
    EXPECT_TRUE(w.LoadSetAction->isEnabled());

    dialogs.Answer = dir.filePath("read.json");
    w.SaveSetAction->trigger();
    ASSERT_EQ(dialogs.Starts.size(), 1);
    EXPECT_TRUE(dialogs.Starts[0].endsWith("/прибор-12.json")) << dialogs.Starts[0].toStdString();
    nlohmann::json set = nlohmann::json::parse(FileText(dialogs.Answer), nullptr, false);
    ASSERT_FALSE(set.is_discarded());
    EXPECT_EQ(set["type"], 9);
    EXPECT_EQ(set["firmware"], "2.05");
    EXPECT_EQ(set["parameters"][3]["raw"], 250);
    EXPECT_EQ(set["parameters"][1]["value"], 9.6);

    set["parameters"][2]["raw"] = 9;   // "Задержка ответа, мс"
    set["parameters"][3]["raw"] = 300; // "Тайм-аут приёма, с"
    set["parameters"][1]["raw"] = 96;  // as read: loaded, but not marked
    dialogs.Answer = WriteFile(dir, "changed.json", set.dump(2));
    w.LoadSetAction->trigger();
    EXPECT_EQ(dialogs.Starts[1], dir.path()); // the folder used last
    EXPECT_TRUE(bus.Boxes.Texts.isEmpty()) << bus.Boxes.Texts.join("\n").toStdString();
    const QStringList loaded = {"12", "9,6", "9", "3"};
    EXPECT_EQ(bus.Values(), loaded);
    const std::vector<uint32_t> marked = {clBlack, clBlack, clBlue, clBlue};
    EXPECT_EQ(Colors(bus), marked);

    // Every refusal: one error box naming the file, and nothing in the grid changes.
    nlohmann::json other = set;
    other["type"] = 24;
    nlohmann::json beyond = set;
    beyond["parameters"][1]["raw"] = 5000;
    nlohmann::json missing = set;
    missing["parameters"][0].erase("index");
    std::string badName = set.dump();
    badName.replace(badName.find("Сетевой"), 14, "\xD1\xE5\xF2\xE5\xE2\xEE\xE9");
    const std::pair<std::string, const char *> refused[] = {
        {set.dump().substr(0, 300), "документом JSON в UTF-8 (строка 1, столбец 301)"},
        {other.dump(), "набор для прибора типа 24, а выбран прибор типа 9"},
        {beyond.dump(), "значение 5000 параметра \"Скорость обмена, кбит/с\" больше максимума"},
        {missing.dump(), "нет поля parameters[0].index"},
        {badName, "правильным документом JSON"},
        {std::string(10 * 1024 * 1024, ' '), "файл больше"},
    };
    int n = 0;
    for (const auto &[text, fault] : refused) {
        SCOPED_TRACE(fault);
        dialogs.Answer = WriteFile(dir, QStringLiteral("bad-%1.json").arg(n++), text);
        const qsizetype boxes = bus.Boxes.Texts.size();
        w.LoadSetAction->trigger();
        ASSERT_EQ(bus.Boxes.Texts.size(), boxes + 1);
        EXPECT_EQ(bus.Boxes.Captions.last(), "Ошибка");
        EXPECT_TRUE(bus.Boxes.Texts.last().contains(dialogs.Answer));
        EXPECT_TRUE(bus.Boxes.Texts.last().contains(QString::fromUtf8(fault)))
            << bus.Boxes.Texts.last().toStdString();
        EXPECT_EQ(bus.Values(), loaded);
        EXPECT_EQ(Colors(bus), marked);
    }

    // Another firmware's set: what the list has is loaded, the rest named.
    nlohmann::json older = set;
    older["version"] = 120;
    older["parameters"].push_back({{"index", 6},
                                   {"name", "Число повторов"},
                                   {"size", "байт"},
                                   {"divisor", 1},
                                   {"raw", 5},
                                   {"value", 5}});
    dialogs.Answer = WriteFile(dir, "older.json", older.dump());
    bus.Boxes.Texts.clear();
    w.LoadSetAction->trigger();
    ASSERT_EQ(bus.Boxes.Texts.size(), 1);
    EXPECT_EQ(bus.Boxes.Kinds.back(), TBoxKind::Warning);
    EXPECT_TRUE(bus.Boxes.Texts[0].contains("\n  Число повторов"))
        << bus.Boxes.Texts[0].toStdString();
    EXPECT_EQ(bus.Values(), loaded);

    // Written and read back: the marks end with the write, the device holds the set.
    ASSERT_TRUE(bus.ClickAndWaitIdle(w.TabSheet2->SaveButton));
    EXPECT_EQ(Colors(bus), std::vector<uint32_t>(4, clBlack));
    QTest::mouseClick(w.TabSheet2->CancelButton, Qt::LeftButton);
    EXPECT_FALSE(w.LoadSetAction->isEnabled());
    ASSERT_TRUE(bus.ReadParams());
    EXPECT_EQ(bus.Values(), loaded);

    // The file the window saved first, through the command line: the device is as it was
    // read, and nothing differs. The window lets go of the port first.
    CloseComPort();
    QString out;
    EXPECT_EQ(Cli(bus, {"write", "--address", "12", "--from", dir.filePath("read.json")}), 0);
    EXPECT_EQ(Cli(bus, {"diff", "--address", "12", dir.filePath("read.json")}, &out), 0);
    EXPECT_TRUE(out.contains("No differences.")) << out.toStdString();
    EXPECT_EQ(Cli(bus, {"diff", "--address", "12", dir.filePath("changed.json")}), 1);
    ASSERT_EQ(bus.Sim().Stop(), 0);
    const std::string held = FileText(QString::fromStdString(state));
    for (const char *line : {"12 1 12\n", "12 2 96\n", "12 3 4\n", "12 4 250\n"})
        EXPECT_NE(held.find(line), std::string::npos) << line << " in\n" << held;
}
