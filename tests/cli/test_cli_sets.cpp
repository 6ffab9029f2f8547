// linvar-cli with parameter sets against the bus simulator: a read saved as a set, the set
// written to several devices (one silent, one of older firmware), diff, and refused files.

#include "tests/cli/CliTestSupport.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

const std::string Catalogue = LINVAR_SAMPLE_CATALOGUE;

std::string FileText(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(CliSetTest, ASetGoesToSeveralDevicesAndDiffTellsWhatDiffers)
{
    TTempDir dir;
    TSimulatorProcess::TOptions options = QuickBus();
    const std::string state = dir.File("state.txt");
    options.Arguments = {"--state", state};
    TSimulatorProcess sim(LINVAR_CLI_TEST_DIR "/bus-cli.conf", options);
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    auto cli = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--quiet", "--port", std::to_string(sim.PortNumber()),
                                             "--catalogue", Catalogue});
        return RunCli(arguments);
    };

    // A scripted read is a saved set. Each device keeps its own bus address: a null raw value
    // leaves a parameter alone.
    TCliRun run = cli({"--json", "read", "--address", "3"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    nlohmann::json set = ParseJson(run.Out);
    ASSERT_FALSE(set.is_discarded()) << run.Out;
    EXPECT_EQ(set["format"], "linvar-parameter-set");
    ASSERT_EQ(set["parameters"].size(), 4u);
    set["parameters"][0]["raw"] = nullptr;
    set["parameters"][2]["raw"] = 9; // "Задержка ответа, мс"
    set["parameters"][3]["raw"] = 400; // "Тайм-аут приёма, с", which firmware 1.20 lacks
    const std::string file = dir.Write("set.json", set.dump(2));

    run = cli({"write", "--address", "10,12,11", "--from", file});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Out.find("address 10: written\naddress 12: failed\naddress 11: written\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Err.find("address 12: no device answers at address 12"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("warning: address 11: the device (firmware 1.20) has no parameter "
                           "'Тайм-аут приёма, с' of the set (firmware 2.05); skipped"),
              std::string::npos)
        << run.Err;

    run = cli({"diff", "--address", "10", file});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("No differences."), std::string::npos) << run.Out;
    run = cli({"--json", "diff", "--address", "3", file});
    EXPECT_EQ(run.Status, 1) << run.Err;
    nlohmann::json diff = ParseJson(run.Out);
    ASSERT_EQ(diff["differences"].size(), 2u) << run.Out;
    EXPECT_EQ(diff["differences"][0]["index"], 3);
    EXPECT_EQ(diff["differences"][0]["file_raw"], 9);
    EXPECT_EQ(diff["differences"][0]["device_raw"], 4);
    EXPECT_EQ(diff["differences"][1]["file_value"], 4);
    EXPECT_EQ(diff["same"], false);
    run = cli({"diff", "--address", "12", file});
    EXPECT_EQ(run.Status, 6) << run.Err;
    run = cli({"diff", "--address", "4", file});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("the set is for device type 9, the device is of type 24"),
              std::string::npos)
        << run.Err;

    // Files refused before any device is touched: a set that writes nothing is no success.
    const std::string truncated = dir.Write("cut.json", set.dump().substr(0, 100));
    const std::string twice = dir.Write("twice.json", set.dump() + std::string(1, '\0') + "{}");
    nlohmann::json foreign = set;
    foreign["parameters"] = {{{"index", 99}, {"raw", 1}}};
    const std::string none = dir.Write("none.json", foreign.dump());
    set["parameters"][1]["raw"] = 5000; // above the maximum, 1152
    const std::string beyond = dir.Write("beyond.json", set.dump());
    for (const std::string &bad : {truncated, twice, none, beyond, dir.File("missing.json")}) {
        run = cli({"write", "--address", "10", "--from", bad});
        EXPECT_EQ(run.Status, 2) << bad;
        EXPECT_NE(run.Err.find("linvar-cli: " + bad + ": "), std::string::npos) << run.Err;
    }

    // What the devices hold: the set where it applies, their own values elsewhere.
    ASSERT_EQ(sim.Stop(), 0);
    const std::string held = FileText(state);
    for (const char *line :
         {"3 3 4\n", "10 1 10\n", "10 3 9\n", "10 4 400\n", "11 1 11\n", "11 3 9\n", "11 6 3\n"})
        EXPECT_NE(held.find(line), std::string::npos) << line << " in\n" << held;

    // The converter pulled out between two devices: a lost port, not a silent device.
    ASSERT_TRUE(sim.Restart()) << sim.Error();
    TCliProcess lost({"--port", std::to_string(sim.PortNumber()), "--catalogue", Catalogue,
                      "--json", "write", "--address", "10,11", "--from", file});
    ASSERT_TRUE(lost.WaitForErr("write: 100%", std::chrono::seconds(30)));
    sim.Stop(); // within the second the worker shows its full bar
    run = lost.Finish();
    EXPECT_EQ(run.Status, 5) << run.Err;
    EXPECT_NE(run.Err.find("address 11: port lost during the probe of address 11"),
              std::string::npos)
        << run.Err;
    EXPECT_EQ(run.Err.find("no device answers"), std::string::npos) << run.Err;
    const nlohmann::json devices = ParseJson(run.Out);
    ASSERT_FALSE(devices.is_discarded()) << run.Out;
    EXPECT_EQ(devices["devices"][0]["result"], "written");
    EXPECT_EQ(devices["devices"][1]["complete"], false);
}
