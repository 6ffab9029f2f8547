// What linvar-cli tells about the wire and the ports: --trace against the bus simulator, and
// the port list on a machine of the test's own (a fake sysfs tree named by LINVAR_PORT_ROOT).

#include "tests/cli/CliTestSupport.h"
#include "tests/support/FakePortTree.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempDir.h"

#include "device/DeviceRequests.h"
#include "link/Frame.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <unistd.h>

namespace {

const std::string Catalogue = LINVAR_SAMPLE_CATALOGUE;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(CliTraceTest, EveryAttemptOnStderrAndInTheJson)
{
    // The sweep up to 2: nothing at 127, a garbled answer to every ping at 1, a device at 2.
    TTempDir dir("linvar-cli-trace-");
    const std::string conf = dir.Write("bus.conf", "latency 1\nchar-us 100\n"
                                                   "device 1 type 9 version 2.05\n"
                                                   "fault bad-crc on ping\n"
                                                   "device 2 type 18 version 1.11\n");
    SimulatorProcess sim(conf, QuickBus());
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    const std::vector<std::string> scan = {"--trace", "--quiet", "--port", "7", "--catalogue",
                                           Catalogue, "scan",    "--last", "2"};
    const char *verdicts[] = {"no reply",         "no reply",         "no reply",
                              "wrong check byte", "wrong check byte", "wrong check byte",
                              "accepted",         "accepted"};

    TCliRun run = RunCli(scan);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Прибор типа 18"), std::string::npos) << run.Out;
    std::vector<std::string> lines = Lines(run.Err);
    // After the trace, one warning names the address that answered only garbled.
    ASSERT_EQ(lines.size(), 9u) << run.Err;
    EXPECT_EQ(lines.back().rfind("linvar-cli: warning: address 1 brought garbled replies only "
                                 "(wrong check byte, wrong check byte, wrong check byte)",
                                 0),
              0u)
        << lines.back();
    lines.pop_back();
    const std::regex line("trace +([0-9]+\\.[0-9]{3}) ms  " + sim.DevicePath() +
                          "  #([123])  > ([0-9A-F]{2}( [0-9A-F]{2})*)  < (.*)  (.*)");
    double last = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(lines[i], parts, line));
        EXPECT_GE(std::stod(parts[1]), last);
        last = std::stod(parts[1]);
        EXPECT_EQ(parts[6], verdicts[i]);
        if (i < 6) {
            EXPECT_EQ(parts[2], std::to_string(i % 3 + 1));
        }
    }
    // The request with its check byte, as the wire carries it.
    const auto ping = [](uint8_t address) {
        const std::vector<uint8_t> frame = WithCheckByte(PingRequest(address));
        return "> " + HexText(frame.data(), frame.size()) + "  < ";
    };
    EXPECT_NE(lines[0].find(ping(127) + "(none)  "), std::string::npos) << lines[0];
    EXPECT_NE(lines[6].find(ping(2) + "02 05 00 01 00 "), std::string::npos) << lines[6];

    std::vector<std::string> json = scan;
    json.insert(json.begin(), "--json");
    run = RunCli(json);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Lines(run.Err).size(), 9u) << run.Err;
    const nlohmann::json value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    EXPECT_EQ(value["devices"].size(), 1u);
    const nlohmann::json garbled = {
        {{"address", 1},
         {"verdicts", {"wrong check byte", "wrong check byte", "wrong check byte"}}}};
    EXPECT_EQ(value["garbled"], garbled);
    const nlohmann::json &attempts = value["attempts"];
    ASSERT_EQ(attempts.size(), 8u) << run.Out;
    EXPECT_EQ(attempts[0]["reply"], "");
    EXPECT_EQ(attempts[0]["port"], sim.DevicePath());
    for (size_t i = 0; i < attempts.size(); ++i)
        EXPECT_EQ(attempts[i]["verdict"], verdicts[i]) << i;
    // The garbled reply is shown as it came, whole, and the retry sends the same request.
    EXPECT_EQ(attempts[4]["attempt"], 2);
    EXPECT_EQ(attempts[4]["request"], attempts[3]["request"]);
    EXPECT_EQ(attempts[4]["reply"].get<std::string>().rfind("01 05 00 01 00 ", 0), 0u);
    EXPECT_LE(attempts[0]["time_ms"].get<double>(), attempts[7]["time_ms"].get<double>());
}

TEST(CliPortsTest, ListsWhatStandsBehindEachNumberAndHowToGetAccess)
{
    TTempDir root("linvar-cli-ports-");
    ASSERT_FALSE(root.Path.empty());
    const std::string usb = AddUsbAdapter(root, "ttyUSB0");
    // A read-only kernel setting refuses writing with EACCES even to root: a device of a
    // group this user is not in.
    const std::string refused = "/proc/sys/kernel/osrelease";
    const bool refuses = access(refused.c_str(), R_OK | W_OK) != 0 && errno == EACCES;

    root.SetEnv("LINVAR_SETTINGS", WritePortSettings(root, {{3, usb}, {4, refused}}));
    root.SetEnv("LINVAR_PORT_ROOT", root.Path);
    const TCliRun text = RunCli({"ports"});
    const TCliRun json = RunCli({"--json", "ports"});
    unsetenv("LINVAR_PORT_ROOT");

    EXPECT_EQ(text.Status, 0) << text.Err;
    const std::vector<std::string> lines = Lines(text.Out);
    ASSERT_EQ(lines.size(), 2u) << text.Out;
    EXPECT_EQ(lines[0], "port 3: " + usb + ", USB 0403:6001, serial A12345, latency timer 16 " +
                            "ms, by-id usb-Maker_Converter_A12345-if00-port0, may open");
    EXPECT_EQ(json.Status, 0) << json.Err;
    const nlohmann::json value = ParseJson(json.Out);
    ASSERT_FALSE(value.is_discarded()) << json.Out;
    const nlohmann::json &ports = value["ports"];
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0]["number"], 3);
    EXPECT_EQ(ports[0]["by_id"], "usb-Maker_Converter_A12345-if00-port0");
    EXPECT_EQ(ports[0]["usb_serial"], "A12345");
    EXPECT_EQ(ports[0]["latency_timer_ms"], 16);
    EXPECT_EQ(ports[0]["accessible"], true);
    EXPECT_EQ(ports[1]["usb_vendor"], "");
    if (!refuses)
        GTEST_SKIP() << refused << " does not refuse access here";
    EXPECT_EQ(lines[1], "port 4: " + refused + ", refused: Permission denied");
    EXPECT_EQ(ports[1]["accessible"], false);
    EXPECT_EQ(ports[1]["access_error"], "Permission denied");
    for (const TCliRun *run : {&text, &json})
        EXPECT_NE(run->Err.find("\"dialout\" (sudo usermod -aG dialout $USER)"), std::string::npos)
            << run->Err;
}

// The health figures of a bus whose faults are known: counts exact, the reply time of a
// device within what the simulator was told to take; then watch on the same bus.
TEST(CliStatsTest, HealthOfABusWithKnownFaultsAndWatchRounds)
{
    TTempDir dir("linvar-cli-stats-");
    const std::string conf = dir.Write("bus.conf", "latency 1\nchar-us 100\n"
                                                   "device 1 type 9 version 2.05\n"
                                                   "fault bad-crc on ping\n"
                                                   "device 2 type 18 version 1.11 latency 10\n"
                                                   "param 1 byte 2\n");
    SimulatorProcess sim(conf, QuickBus());
    ASSERT_TRUE(sim.Ready()) << sim.Error();

    TCliRun run = RunCli({"--stats", "--json", "--quiet", "--port", "7", "--catalogue", Catalogue,
                          "scan", "--last", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    nlohmann::json value = ParseJson(run.Out);
    ASSERT_FALSE(value.is_discarded()) << run.Out;
    const nlohmann::json &devices = value["stats"]["devices"];
    ASSERT_EQ(devices.size(), 3u) << run.Out;
    // Address, attempts, transactions, valid, retries, time-outs, wrong check, troubled.
    const struct
    {
        int Address, Attempts, Transactions, Valid, Retries, TimeOuts, WrongCheck;
        bool Troubled;
    } expected[] = {
        {1, 3, 1, 0, 2, 0, 3, true}, {2, 2, 2, 2, 0, 0, 0, false}, {127, 3, 1, 0, 2, 3, 0, true}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(devices[i].dump());
        EXPECT_EQ(devices[i]["address"], expected[i].Address);
        EXPECT_EQ(devices[i]["attempts"], expected[i].Attempts);
        EXPECT_EQ(devices[i]["transactions"], expected[i].Transactions);
        EXPECT_EQ(devices[i]["valid"], expected[i].Valid);
        EXPECT_EQ(devices[i]["retries"], expected[i].Retries);
        EXPECT_EQ(devices[i]["timeouts"], expected[i].TimeOuts);
        EXPECT_EQ(devices[i]["wrong_check"], expected[i].WrongCheck);
        EXPECT_EQ(devices[i]["troubled"], expected[i].Troubled);
        EXPECT_EQ(devices[i]["refusals"], 0);
    }
    // Device 2 starts its reply 10 ms after the request; six bytes take 0.6 ms more.
    const nlohmann::json &times = devices[1]["reply_ms"];
    EXPECT_GE(times["median"].get<double>(), 10.0) << times;
    EXPECT_LT(times["max"].get<double>(), 30.0) << times;
    EXPECT_EQ(devices[0]["reply_ms"]["max"], 0.0);

    // The text table marks the troubled addresses.
    run = RunCli(
        {"--stats", "--quiet", "--port", "7", "--catalogue", Catalogue, "scan", "--last", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(std::regex_search(run.Out, std::regex("\n127 +3 +1 +0 +2 +3 +0 .*  !\n")))
        << run.Out;
    EXPECT_TRUE(std::regex_search(run.Out, std::regex("\n2 +2 +2 +2 +0 +0 +0 [^!]*\n"))) << run.Out;

    // Three rounds of a read at 2 and at the silent 5, a line of JSON each.
    run = RunCli({"--json", "--port", "7", "--catalogue", Catalogue, "watch", "--address", "2,5",
                  "--index", "1", "--interval", "0", "--count", "3"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::vector<std::string> rounds = Lines(run.Out);
    ASSERT_EQ(rounds.size(), 3u) << run.Out;
    for (size_t i = 0; i < rounds.size(); ++i) {
        value = ParseJson(rounds[i]);
        ASSERT_FALSE(value.is_discarded()) << rounds[i];
        EXPECT_EQ(value["round"], i + 1);
        const nlohmann::json &polled = value["stats"]["devices"];
        ASSERT_EQ(polled.size(), 2u) << rounds[i];
        EXPECT_EQ(polled[0]["valid"], i + 1);
        EXPECT_EQ(polled[0]["attempts"], i + 1);
        EXPECT_EQ(polled[1]["timeouts"], 3 * (i + 1));
        EXPECT_EQ(polled[1]["troubled"], true);
    }
    run = RunCli({"--port", "7", "--catalogue", Catalogue, "watch", "--address", "2", "--interval",
                  "0", "--count", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(std::regex_match(run.Out, std::regex("round 1  2: 1/1 valid, 0 time-outs, .* ms\n"
                                                     "round 2  2: 2/2 valid, .* ms\n")))
        << run.Out;
}
