// linvar-cli on a bus behind a real network serial server (ser2net, started by the tests on
// the simulator's pseudo-terminal): raw TCP and RFC 2217 give what the local port gives, a
// slow network still finds every device, and a server that goes away or is not there is
// told as such.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "tests/cli/CliTestSupport.h"
#include "tests/support/DelayRelay.h"
#include "tests/support/Ser2netProcess.h"

namespace {

const std::string Catalogue = LINVAR_SAMPLE_CATALOGUE;

class CliRemoteTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Room for a busy machine: a retry on either path would change the frames compared.
        SimulatorProcess::TOptions options = QuickBus();
        options.SettingsLines.push_back("TimeoutConstant=60");
        Sim = std::make_unique<SimulatorProcess>(LINVAR_CLI_TEST_DIR "/bus-cli.conf", options);
        ASSERT_TRUE(Sim->Ready()) << Sim->Error();
        Server = std::make_unique<TSer2netProcess>(Sim->DevicePath());
        ASSERT_TRUE(Server->Ready()) << Server->Error();
    }

    // Runs on `device` with the sample catalogue, once ser2net has let go of the device after
    // the run before (it turns a second client away until then).
    TCliRun Run(const std::string &device, std::vector<std::string> arguments)
    {
        EXPECT_TRUE(Server->WaitDeviceReleased());
        arguments.insert(arguments.begin(), {"--device", device, "--catalogue", Catalogue});
        return RunCli(arguments);
    }

    // The JSON output of a run that succeeds, with the attempts' times and port left out.
    nlohmann::json Result(const std::string &device, const std::vector<std::string> &command)
    {
        std::vector<std::string> arguments = {"--json", "--trace", "--quiet"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        const TCliRun run = Run(device, arguments);
        EXPECT_EQ(run.Status, 0) << device << ": " << run.Err;
        nlohmann::json value = ParseJson(run.Out);
        if (value.is_discarded())
            return value;
        value.erase("read_at");
        for (auto &attempt : value["attempts"]) {
            attempt.erase("time_ms");
            attempt.erase("port");
        }
        return value;
    }

    std::unique_ptr<SimulatorProcess> Sim;
    std::unique_ptr<TSer2netProcess> Server;
};

// Addresses of the devices a scan found.
std::vector<int> Addresses(const nlohmann::json &scan)
{
    std::vector<int> found;
    for (const auto &device : scan["devices"])
        found.push_back(device.value("address", -1));
    return found;
}

} // namespace

TEST_F(CliRemoteTest, RawAndRfc2217GiveTheLocalFramesAndResults)
{
    // Parameter 4 = 2.55 is the raw word 0x00FF: a 0xFF byte in the request and the reply,
    // which Telnet must escape and unescape.
    const std::vector<std::vector<std::string>> commands = {
        {"scan", "--last", "8"},
        {"write", "--address", "3", "--type", "9", "--firmware", "2.05", "4=2.55"},
        {"read", "--address", "3", "--type", "9", "--firmware", "2.05"},
    };
    std::vector<nlohmann::json> local;
    for (const auto &command : commands)
        local.push_back(Result(Sim->DevicePath(), command));
    ASSERT_EQ(Addresses(local[0]), (std::vector<int>{2, 3, 4, 6}));
    EXPECT_NE(local[2].dump().find("3F FF 00"), std::string::npos);
    for (const std::string &remote : {Server->RawUrl(), Server->Rfc2217Url()}) {
        for (size_t i = 0; i < commands.size(); ++i)
            EXPECT_EQ(Result(remote, commands[i]), local[i]) << remote << " " << commands[i][0];
    }

    // A port number reaches a remote bus through the settings file, and the port list names
    // it by its address without connecting.
    std::ofstream(Sim->SettingsPath(), std::ios::app)
        << "COM9=" << Server->Rfc2217Url() << "\nCOM8=tcp://nowhere\n";
    const TCliRun ports = RunCli({"ports"});
    EXPECT_NE(
        ports.Out.find("port 9: " + Server->Rfc2217Url() + ", network serial server, may open"),
        std::string::npos)
        << ports.Out;
    EXPECT_NE(
        ports.Out.find("port 8: tcp://nowhere, network serial server, refused: Invalid argument"),
        std::string::npos)
        << ports.Out;
    EXPECT_TRUE(Server->WaitDeviceReleased());
    const TCliRun scan =
        RunCli({"--port", "9", "--catalogue", Catalogue, "--quiet", "scan", "--last", "3"});
    EXPECT_EQ(scan.Status, 0) << scan.Err;
    EXPECT_NE(scan.Out.find("Прибор типа 9"), std::string::npos) << scan.Out;
}

TEST_F(CliRemoteTest, ASlowNetworkStillFindsEveryDevice)
{
    // 30 ms each way on top of the loopback: twice the pings' own time-out.
    for (const uint16_t port : {Server->RawPort(), Server->TelnetPort()}) {
        TDelayRelay relay(port, 30);
        ASSERT_NE(relay.Port(), 0);
        const std::string url = std::string(port == Server->RawPort() ? "tcp" : "rfc2217") +
                                "://127.0.0.1:" + std::to_string(relay.Port());
        const nlohmann::json scan = Result(url, {"scan", "--last", "8"});
        EXPECT_EQ(Addresses(scan), (std::vector<int>{2, 3, 4, 6})) << url;
        const nlohmann::json read =
            Result(url, {"read", "--address", "3", "--type", "9", "--firmware", "2.05"});
        EXPECT_EQ(read["parameters"].size(), 4u) << url;
    }
}

TEST_F(CliRemoteTest, AServerThatGoesOrIsNotThereIsTold)
{
    // Nothing listens: refused at once, not after the connect time-out.
    const auto start = std::chrono::steady_clock::now();
    const std::string unused = "tcp://127.0.0.1:" + std::to_string(TSer2netProcess::FreePort());
    TCliRun run = Run(unused, {"scan", "--last", "2"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("cannot open " + unused + ": Connection refused"), std::string::npos)
        << run.Err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // RFC 2217 spoken to the raw port: nothing answers the negotiation.
    run = Run("rfc2217://127.0.0.1:" + std::to_string(Server->RawPort()), {"scan", "--last", "2"});
    EXPECT_EQ(run.Status, 3);
    EXPECT_NE(run.Err.find("Protocol error"), std::string::npos) << run.Err;

    // The server stops mid-sweep: a lost port, as a pulled converter.
    ASSERT_TRUE(Server->WaitDeviceReleased());
    TCliProcess cli({"--device", Server->Rfc2217Url(), "--catalogue", Catalogue, "scan"});
    ASSERT_TRUE(cli.WaitForErr("scan: 10%", std::chrono::seconds(30)));
    Server->Stop();
    run = cli.Finish();
    EXPECT_EQ(run.Status, 5) << run.Err;
    EXPECT_NE(run.Err.find("port lost during scan after address "), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("Connection reset by peer"), std::string::npos) << run.Err;
    EXPECT_NE(run.Out.find("Прибор типа 9"), std::string::npos) << run.Out;

    // The server back: the next search connects afresh.
    Server = std::make_unique<TSer2netProcess>(Sim->DevicePath());
    ASSERT_TRUE(Server->Ready()) << Server->Error();
    run = Run(Server->RawUrl(), {"--quiet", "scan", "--last", "4"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Прибор типа 9"), std::string::npos) << run.Out;
}

TEST(CliRemoteSpeed, Rfc2217SetsTheServersLineSpeedAndRawTcpLeavesIt)
{
    SimulatorProcess sim(LINVAR_CLI_TEST_DIR "/bus-speeds.conf", QuickBus());
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    TSer2netProcess server(sim.DevicePath());
    ASSERT_TRUE(server.Ready()) << server.Error();
    // Device 3 listens at 19200 only, device 2 at 9600, where ser2net sets its line.
    const struct
    {
        std::string Url;
        const char *Found;
    } cases[] = {{server.Rfc2217Url(), "Прибор типа 9"}, {server.RawUrl(), "Прибор типа 18"}};
    for (const auto &c : cases) {
        ASSERT_TRUE(server.WaitDeviceReleased());
        const TCliRun run = RunCli({"--device", c.Url, "--baud", "19200", "--catalogue", Catalogue,
                                    "--quiet", "scan", "--last", "4"});
        EXPECT_EQ(run.Status, 0) << c.Url << ": " << run.Err;
        EXPECT_NE(run.Out.find(c.Found), std::string::npos) << c.Url << ": " << run.Out;
    }
}
