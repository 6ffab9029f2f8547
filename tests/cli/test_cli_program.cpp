// linvar-cli as a program: against the bus simulator, and its failures.

#include "tests/cli/CliTestSupport.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>

namespace {

const std::string Catalogue = LINVAR_SAMPLE_CATALOGUE;

class CliBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sim = std::make_unique<SimulatorProcess>(LINVAR_CLI_TEST_DIR "/bus-cli.conf", QuickBus());
        ASSERT_TRUE(Sim->Ready()) << Sim->Error();
    }

    // Runs with the simulator's port and the sample catalogue, expecting JSON on stdout.
    nlohmann::json Json(std::vector<std::string> arguments, int status = 0)
    {
        arguments.insert(arguments.begin(), {"--json", "--port", std::to_string(Sim->PortNumber()),
                                             "--catalogue", Catalogue});
        const TCliRun run = RunCli(arguments);
        EXPECT_EQ(run.Status, status) << run.Err;
        nlohmann::json value = ParseJson(run.Out);
        EXPECT_FALSE(value.is_discarded()) << run.Out;
        return value;
    }

    std::unique_ptr<SimulatorProcess> Sim;
};

// Raw value by index of a read or write result; -1 for an undefined value.
// linvar-cli on the bus of `sim` with the sample catalogue, without progress.
TCliRun RunQuiet(const SimulatorProcess &sim, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), {"--port", std::to_string(sim.PortNumber()), "--catalogue",
                                         Catalogue, "--quiet"});
    return RunCli(arguments);
}

std::map<int, int> Raw(const nlohmann::json &device)
{
    std::map<int, int> values;
    for (const auto &p : device.value("parameters", nlohmann::json::array()))
        values[p.value("index", -2)] =
            p.value("raw", nlohmann::json()).is_null() ? -1 : p.value("raw", 0);
    return values;
}

} // namespace

TEST_F(CliBusTest, ScanReadWriteRoundTrip)
{
    nlohmann::json scan = Json({"scan", "--quiet", "--last", "8"});
    auto &devices = scan["devices"];
    ASSERT_EQ(devices.size(), 4u);
    const double addresses[] = {2, 3, 4, 6};
    const char *firmware[] = {"1.11", "2.05", "3.40", "1.00"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(devices[i]["address"], addresses[i]);
        EXPECT_EQ(devices[i]["firmware"], firmware[i]);
    }
    EXPECT_EQ(devices[0]["type"], 18);
    EXPECT_EQ(devices[0]["tag"], 111 * 65536 + 2 * 256 + 18);
    EXPECT_EQ(devices[0]["text"], "Адрес: 2 Тип: Прибор типа 18, версия: 1.11");
    EXPECT_EQ(devices[1]["catalogued"], true);
    EXPECT_EQ(devices[3]["catalogued"], false);
    EXPECT_EQ(devices[3]["name"], "Неизвестный");
    EXPECT_EQ(scan["garbled"], nlohmann::json::array()); // a healthy bus

    // Identified first, then read: index 6 is not offered for firmware 2.05.
    nlohmann::json read = Json({"read", "--address", "3"});
    EXPECT_EQ(read["type"], 9);
    EXPECT_EQ(read["firmware"], "2.05");
    EXPECT_EQ(Raw(read), (std::map<int, int>{{1, 3}, {2, 96}, {3, 4}, {4, 250}}));
    EXPECT_EQ(read["parameters"][1]["value"], 9.6);
    EXPECT_EQ(read["parameters"][1]["name"], "Скорость обмена, кбит/с");

    nlohmann::json write = Json({"write", "--address", "3", "Задержка ответа, мс=7", "4=3.5"});
    ASSERT_EQ(write["parameters"].size(), 2u);
    for (const auto &p : write["parameters"])
        EXPECT_EQ(p["result"], "written");
    EXPECT_EQ(write["parameters"][1]["raw"], 350);

    nlohmann::json back = Json({"read", "--address", "3", "--type", "9", "--firmware", "2.05"});
    EXPECT_EQ(Raw(back), (std::map<int, int>{{1, 3}, {2, 96}, {3, 7}, {4, 350}}));

    // Defaults for every parameter, one named value on top.
    nlohmann::json defaults = Json({"write", "--address", "4", "--defaults", "9=3"});
    nlohmann::json after = Json({"read", "--address", "4"});
    EXPECT_EQ(Raw(defaults), (std::map<int, int>{{1, 1}, {2, 96}, {8, 1200}, {9, 30}}));
    EXPECT_EQ(Raw(after), (std::map<int, int>{{1, 1}, {2, 96}, {8, 1200}, {9, 30}, {10, 1}}));
}

TEST_F(CliBusTest, TextOutputAndDeviceFailures)
{
    const std::string port = std::to_string(Sim->PortNumber());
    TCliRun run = RunCli({"--port", port, "--catalogue", Catalogue, "read", "--address", "2"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Пауза перед ответом, мс"), std::string::npos) << run.Out;
    EXPECT_NE(run.Err.find("read: 75%"), std::string::npos) << run.Err;

    run = RunCli({"--port", port, "--catalogue", Catalogue, "read", "--address", "50"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no device answers at address 50"), std::string::npos) << run.Err;

    run = RunCli({"--port", port, "--catalogue", Catalogue, "read", "--address", "6"});
    EXPECT_EQ(run.Status, 4);
    EXPECT_NE(run.Err.find("describes no parameters for type 7"), std::string::npos) << run.Err;

    run = RunCli({"--port", port, "--catalogue", Catalogue, "write", "--address", "3", "1=200"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("'200' is above the maximum, 127"), std::string::npos) << run.Err;

    // A value between two steps is refused, not rounded, and nothing at all is sent.
    run = RunCli({"--port", port, "--catalogue", Catalogue, "write", "--address", "3",
                  "Задержка ответа, мс=5", "Скорость обмена, кбит/с=9.65"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("nearest values that can be written are 9.6 and 9.7"), std::string::npos)
        << run.Err;
    EXPECT_EQ(Raw(Json({"read", "--address", "3"})),
              (std::map<int, int>{{1, 3}, {2, 96}, {3, 4}, {4, 250}}));

    run = RunCli({"--port", port, "--catalogue", Catalogue, "write", "--address", "4", "10=0"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("cannot be written"), std::string::npos) << run.Err;

    run = RunCli(
        {"--port", port, "--catalogue", Catalogue, "write", "--address", "3", "Нет такого=1"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("no parameter 'Нет такого'"), std::string::npos) << run.Err;
}

TEST(CliSpeedTest, SearchAtOneSpeedAndAcrossSpeedsReadAndWriteAt19200)
{
    SimulatorProcess sim(LINVAR_CLI_TEST_DIR "/bus-speeds.conf", QuickBus());
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    auto run = [&](const std::vector<std::string> &arguments) { return RunQuiet(sim, arguments); };
    // (address, baud) of each device a JSON scan lists.
    auto found = [&](const std::vector<std::string> &arguments) {
        const TCliRun scan = run(arguments);
        EXPECT_EQ(scan.Status, 0) << scan.Err;
        std::vector<std::pair<int, int>> devices;
        for (const auto &device : ParseJson(scan.Out).value("devices", nlohmann::json::array()))
            devices.emplace_back(device.value("address", -1), device.value("baud", -1));
        return devices;
    };
    using TFound = std::vector<std::pair<int, int>>;
    // At the settings' speed, 9600, and at one speed given, only the devices at that speed.
    EXPECT_EQ(found({"--json", "scan", "--last", "4"}), (TFound{{2, 9600}}));
    EXPECT_EQ(found({"--json", "--baud", "19200", "scan", "--last", "4"}), (TFound{{3, 19200}}));
    // Across speeds, in the order given, each device at the speed it answered at.
    EXPECT_EQ(found({"--json", "scan", "--last", "4", "--baud", "115200,9600,19200"}),
              (TFound{{4, 115200}, {2, 9600}, {3, 19200}}));
    TCliRun text = run({"--baud", "19200,115200", "scan", "--last", "4"});
    EXPECT_EQ(text.Status, 0) << text.Err;
    EXPECT_NE(text.Out.find("Baud    Address  Type"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("\n115200  4        24"), std::string::npos) << text.Out;

    // Read and write at 19200: the device answers there, and only there.
    TCliRun write = run({"--json", "--baud", "19200", "write", "--address", "3", "4=3.5"});
    EXPECT_EQ(write.Status, 0) << write.Err;
    const nlohmann::json read =
        ParseJson(run({"--json", "--baud", "19200", "read", "--address", "3"}).Out);
    EXPECT_EQ(Raw(read), (std::map<int, int>{{1, 3}, {2, 96}, {3, 4}, {4, 350}}));
    const TCliRun elsewhere = run({"read", "--address", "3"});
    EXPECT_EQ(elsewhere.Status, 1);
    EXPECT_NE(elsewhere.Err.find("no device answers at address 3"), std::string::npos)
        << elsewhere.Err;
}

// A write that moves its device follows it, lands every value and says where the device is
// now; one that would follow it onto another device's address stops and says so.
TEST(CliMoveTest, WritesFollowAMovedDeviceAndSayWhereItIs)
{
    TTempDir dir;
    SimulatorProcess sim(LINVAR_CLI_TEST_DIR "/bus-moves.conf", QuickBus());
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    auto run = [&](const std::vector<std::string> &arguments) { return RunQuiet(sim, arguments); };

    // A new address and a new line speed in one write.
    TCliRun write = run({"--json", "write", "--address", "5", "1=8", "2=19.2", "7=33"});
    EXPECT_EQ(write.Status, 0) << write.Err;
    nlohmann::json result = ParseJson(write.Out);
    EXPECT_EQ(result.value("address", 0), 8);
    EXPECT_EQ(result.value("baud", 0), 19200);
    EXPECT_EQ(result["moved_from"], (nlohmann::json{{"address", 5}, {"baud", 9600}}));
    const nlohmann::json read =
        ParseJson(run({"--json", "--baud", "19200", "read", "--address", "8"}).Out);
    EXPECT_EQ(Raw(read), (std::map<int, int>{{1, 8}, {2, 192}, {5, -1}, {7, 33}}));

    // A set whose address is new, to a device that answers that write from it already.
    nlohmann::json set = ParseJson(run({"--json", "read", "--address", "6"}).Out);
    ASSERT_EQ(set["parameters"].size(), 4u);
    set["parameters"][0]["raw"] = 10;
    set["parameters"][2]["raw"] = 7;
    write = run({"write", "--address", "6", "--from", dir.Write("set.json", set.dump())});
    EXPECT_EQ(write.Status, 0) << write.Err;
    EXPECT_NE(write.Out.find("the device answers at its new address 10 (it was at address 6, "
                             "9600 baud)"),
              std::string::npos)
        << write.Out;
    EXPECT_EQ(Raw(ParseJson(run({"--json", "read", "--address", "10"}).Out)),
              (std::map<int, int>{{1, 10}, {2, 96}, {3, 7}, {4, 250}}));

    // Address 9 answered before the write: the device is not followed there.
    write = run({"write", "--address", "10", "1=9", "3=8"});
    EXPECT_EQ(write.Status, 1);
    EXPECT_NE(write.Err.find("the device took address 9, which another device answered at "
                             "before the write"),
              std::string::npos)
        << write.Err;
    EXPECT_NE(write.Out.find("8           unsent"), std::string::npos) << write.Out;
}

TEST(CliProgramTest, BadArgumentsAndMissingPortsFailClearly)
{
    TCliRun run = RunCli({"frobnicate"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("unknown command 'frobnicate'"), std::string::npos) << run.Err;
    EXPECT_TRUE(run.Out.empty());

    run = RunCli({"--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("Usage: linvar-cli"), std::string::npos);

    run = RunCli({"--device", "/nonexistent/ttyLINVAR", "--catalogue", Catalogue, "scan"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("cannot open /nonexistent/ttyLINVAR: No such file or directory"),
              std::string::npos)
        << run.Err;

    run = RunCli({"--catalogue", "/nonexistent/params.cfg", "catalogue"});
    EXPECT_EQ(run.Status, 4);
    EXPECT_NE(run.Err.find("/nonexistent/params.cfg"), std::string::npos) << run.Err;

    // A broken catalogue is told with the place of its fault, the end tag that does not match.
    TTempDir dir;
    const std::string broken =
        dir.Write("params.cfg", "<?xml version=\"1.0\"?>\n<Catalogue>\n  <Device></Devise>\n");
    run = RunCli({"catalogue", "--catalogue", broken});
    EXPECT_EQ(run.Status, 4);
    EXPECT_EQ(run.Err, "linvar-cli: malformed catalogue file " + broken + ": line 3, column 13\n");

    // A settings file that exists but cannot be read is no missing one: the tool says so, and
    // the port it would have mapped opens by default.
    dir.SetEnv("LINVAR_SETTINGS", dir.File(""));
    run = RunCli({"--port", "240", "--catalogue", Catalogue, "scan"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("linvar-cli: warning: cannot read the settings file " + dir.File("") +
                           ": Is a directory; the defaults apply\n"),
              std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("/dev/ttyACM40"), std::string::npos) << run.Err;
}

namespace {

// The words the groups of `pattern` match in `text`.
std::set<std::string> Matches(const std::string &text, const std::string &pattern)
{
    std::set<std::string> found;
    const std::regex expression(pattern, std::regex::multiline);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), expression);
         it != std::sregex_iterator(); ++it) {
        for (size_t group = 1; group < it->size(); ++group) {
            if ((*it)[group].length() > 0)
                found.insert((*it)[group]);
        }
    }
    return found;
}

std::string SourceText(const std::string &path)
{
    std::ifstream in(std::string(LINVAR_SOURCE_DIR) + "/" + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

// The manual page and the README are written by hand; --help is generated from what is
// parsed. Every command and option the help lists must be in both, and every option the
// manual page names must still exist.
TEST(CliProgramTest, ManualPageAndReadmeNameEveryOptionOfTheHelp)
{
    const TCliRun main = RunCli({"--help"});
    ASSERT_EQ(main.Status, 0) << main.Err;
    const std::string commandList = main.Out.substr(main.Out.find("\nCommands:\n"));
    const std::set<std::string> commands =
        Matches(commandList.substr(0, commandList.find("\n\n")), R"(^  ([a-z]+)(?:, ([a-z]+))?)");
    ASSERT_GE(commands.size(), 7u) << main.Out;

    const std::string optionPattern = R"((?:^|[\s,(])(--?[a-z][a-z-]*))";
    std::set<std::string> options = Matches(main.Out, optionPattern);
    for (const std::string &command : commands) {
        const TCliRun help = RunCli({command, "--help"});
        ASSERT_EQ(help.Status, 0) << command << ": " << help.Err;
        options.merge(Matches(help.Out, optionPattern));
    }
    ASSERT_TRUE(options.count("--firmware") && options.count("-q")) << main.Out;

    const std::string manual = SourceText("docs/man/linvar-cli.1.scd");
    const std::string readme = SourceText("tools/cli/README.md");
    ASSERT_FALSE(manual.empty() || readme.empty());
    std::set<std::string> words = commands;
    words.insert(options.begin(), options.end());
    for (const std::string &word : words) {
        EXPECT_NE(manual.find("*" + word + "*"), std::string::npos) << word << " not in the manual";
        const std::regex inReadme("(^|[^a-z-])" + word + "($|[^a-z-])");
        EXPECT_TRUE(std::regex_search(readme, inReadme)) << word << " not in the README";
    }
    for (const std::string &option : Matches(manual, R"(\*(--?[a-z][a-z-]*)\*)"))
        EXPECT_TRUE(options.count(option)) << option << " in the manual, not in --help";
}

TEST(CliProgramTest, CatalogueBesideTheProgramByDefault)
{
    TCliRun run = RunCli({"--json", "catalogue"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    nlohmann::json value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    ASSERT_EQ(value["devices"].size(), 3u);
    EXPECT_EQ(value["devices"][1]["versions"], "1.00-1.99,2.05");

    run = RunCli({"--json", "catalogue", "--type", "9", "--firmware", "1.20"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    std::vector<double> indexes;
    for (const auto &p : value["parameters"])
        indexes.push_back(p["index"]);
    EXPECT_EQ(indexes, (std::vector<double>{1, 2, 3, 6}));

    run = RunCli({"catalogue", "--type", "7", "--firmware", "1.00"});
    EXPECT_EQ(run.Status, 4);
    EXPECT_NE(run.Out.find("not offered"), std::string::npos);
}

namespace {

// The failure tests' bus; its settings file also holds a value far out of range and a name
// that is no setting, which the tool must point out.
class CliFailureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SimulatorProcess::TOptions options = QuickBus();
        options.SettingsLines.insert(
            options.SettingsLines.end(),
            {"CmdTimeoutConstant=250", "TimeoutConstant=999999", "Frobnicate=1"});
        Sim = std::make_unique<SimulatorProcess>(LINVAR_CLI_TEST_DIR "/bus-faults.conf", options);
        ASSERT_TRUE(Sim->Ready()) << Sim->Error();
    }
    std::vector<std::string> Arguments(const std::vector<std::string> &command) const
    {
        std::vector<std::string> arguments = {"--port", std::to_string(Sim->PortNumber()),
                                              "--catalogue", Catalogue};
        arguments.insert(arguments.end(), command.begin(), command.end());
        return arguments;
    }

    std::unique_ptr<SimulatorProcess> Sim;
};

} // namespace

TEST_F(CliFailureTest, ALostConverterEndsEachCommandWithItsOwnStatus)
{
    struct TCase
    {
        std::vector<std::string> Command;
        const char *Progress; // on stderr once the command is under way
        const char *Message;
        std::vector<const char *> Shown; // the results up to the loss
    };
    const TCase cases[] = {
        {{"--json", "scan"},
         "scan: 10%",
         "port lost during scan after address ",
         {"\"complete\":false", "\"address\":2", "\"address\":3", "\"address\":4"}},
        {{"read", "--address", "3", "--type", "9", "--firmware", "2.05"},
         "read: 25%",
         "port lost during read after 2 of 4 parameters",
         {"9.6", "undefined"}},
        {{"write", "--address", "3", "--type", "9", "--firmware", "2.05", "--defaults"},
         "write: 25%",
         "port lost during write after 2 of 4 parameters",
         {"written", "unconfirmed"}},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Command[c.Command[0] == "--json" ? 1 : 0]);
        TCliProcess cli(Arguments(c.Command));
        ASSERT_TRUE(cli.WaitForErr(c.Progress, std::chrono::seconds(30)));
        // The converter is pulled out.
        const double cpuBefore = cli.CpuSeconds();
        Sim->Stop();
        const TCliRun run = cli.Finish();
        EXPECT_EQ(run.Status, 5) << run.Err;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
        EXPECT_NE(run.Err.find("Input/output error); check the converter"), std::string::npos)
            << run.Err;
        std::string out = run.Out;
        std::erase(out, ' ');
        for (const char *shown : c.Shown)
            EXPECT_NE(out.find(shown), std::string::npos) << shown << " in " << run.Out;
        EXPECT_LT(run.CpuSeconds - cpuBefore, 0.2);

        // Plugged back in: the next command on the same port works again.
        ASSERT_TRUE(Sim->Restart()) << Sim->Error();
        const TCliRun again = RunCli(Arguments({"--quiet", "scan", "--last", "4"}));
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_NE(again.Out.find("Прибор типа 9"), std::string::npos) << again.Out;
    }
}

// Ctrl+C (or SIGTERM) stops a write between two parameters: those after it were never sent,
// which is not the same as a write the device did not confirm.
TEST_F(CliFailureTest, AnInterruptedWriteNamesWhatWasNeverSent)
{
    TCliProcess cli(Arguments(
        {"--json", "write", "--address", "3", "--type", "9", "--firmware", "2.05", "--defaults"}));
    ASSERT_TRUE(cli.WaitForErr("write: 25%", std::chrono::seconds(30)));
    cli.Interrupt();
    const TCliRun run = cli.Finish();
    EXPECT_EQ(run.Status, 130) << run.Err;
    EXPECT_NE(run.Err.find("not sent: the write stopped first"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Err.find("did not confirm"), std::string::npos) << run.Err;
    const nlohmann::json value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    ASSERT_EQ(value["parameters"].size(), 4u);
    EXPECT_EQ(value["parameters"][0]["result"], "written");
    EXPECT_EQ(value["parameters"][3]["result"], "unsent");
}

TEST_F(CliFailureTest, UnconfirmedWritesFailEachByNameAndSettingsTyposAreReported)
{
    const TCliRun run =
        RunCli(Arguments({"--json", "--quiet", "write", "--address", "4", "9=3", "1=5"}));
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("parameter 'Гистерезис, %': the device did not confirm the write"),
              std::string::npos)
        << run.Err;
    nlohmann::json value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    EXPECT_EQ(value["complete"], true);
    ASSERT_EQ(value["parameters"].size(), 2u);
    for (const auto &p : value["parameters"]) {
        EXPECT_EQ(p["result"], "unconfirmed");
        // What was asked for stays: nothing says the device lost it.
        EXPECT_EQ(p["raw"], p["requested_raw"]);
    }
    for (const char *warning : {"TimeoutConstant=999999 ignored: above 60000 ms; 30 applies",
                                "unknown setting 'frobnicate' ignored"}) {
        EXPECT_NE(run.Err.find("linvar-cli: warning: " + Sim->SettingsPath() + ": " + warning),
                  std::string::npos)
            << run.Err;
    }
}
