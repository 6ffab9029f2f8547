// The network port's pieces on byte sequences: remote port names, the Telnet codec, and the
// port over a scripted connection (escaping, the line-setting negotiation and its failures,
// a dropped connection). The real server is tested in test_net_server.cpp.

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <functional>
#include <memory>

#include "link/NetAddress.h"
#include "link/NetSerialPort.h"
#include "link/TelnetCodec.h"

namespace {

using TBytes = std::vector<uint8_t>;

TEST(NetAddress, ParsesRemoteNamesAndRejectsMalformedOnes)
{
    TNetAddress a;
    ASSERT_TRUE(ParseNetAddress("tcp://10.0.0.7:4001", a));
    EXPECT_EQ(a.Transport, TNetTransport::RawTcp);
    EXPECT_EQ(a.Host, "10.0.0.7");
    EXPECT_EQ(a.Port, 4001);
    ASSERT_TRUE(ParseNetAddress("RFC2217://plant-room.local:65535", a));
    EXPECT_EQ(a.Transport, TNetTransport::Rfc2217);
    EXPECT_EQ(a.Host, "plant-room.local");
    EXPECT_EQ(a.Port, 65535);
    ASSERT_TRUE(ParseNetAddress("tcp://[::1]:2000", a));
    EXPECT_EQ(a.Host, "::1");

    for (const char *bad :
         {"tcp://", "tcp://host", "tcp://host:", "tcp://:80", "tcp://host:0", "tcp://host:65536",
          "tcp://host:80/x", "tcp://host:8a", "tcp://a:b:80", "tcp://[::1]80", "tcp://[::1",
          "udp://host:80", "/dev/ttyUSB0", "tcp://host:123456"}) {
        EXPECT_FALSE(ParseNetAddress(bad, a)) << bad;
    }
    EXPECT_TRUE(IsNetPath("Tcp://host"));
    EXPECT_FALSE(IsNetPath("/dev/tcp://x"));
}

TEST(TelnetCodec, PassesEveryByteValueAndAnswersOptionRequests)
{
    TBytes out;
    const TBytes line = {0x01, 0xFF, 0x00, 0xFF, 0xFF, 0x0D};
    TTelnetCodec::Escape(line.data(), line.size(), out);
    EXPECT_EQ(out, (TBytes{0x01, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D}));

    // What a server sends, cut anywhere: escaped data, option requests, a COM-PORT answer
    // whose value holds an escaped 0xFF, and a NOP.
    TTelnetCodec codec;
    const TBytes greeting = codec.Greeting();
    const TBytes stream = {0x05,          0xFF,        0xFF,
                           0x06,          TELNET_IAC,  TELNET_DO,
                           TELOPT_BINARY,                  // already offered
                           TELNET_IAC,    TELNET_WILL, 1,  // echo: refused
                           TELNET_IAC,    TELNET_DO,   24, // terminal type: refused
                           TELNET_IAC,    TELNET_DO,   24, // asked again: no loop
                           TELNET_IAC,    TELNET_WONT, 5,  // never asked: no answer
                           TELNET_IAC,    TELNET_DO,   TELOPT_COM_PORT,
                           TELNET_IAC,    TELNET_SB,   TELOPT_COM_PORT,
                           101,           0x00,        0x00,
                           0xFF,          0xFF,        0x00,
                           TELNET_IAC,    TELNET_SE,   TELNET_IAC,
                           241,           0x07};
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        TTelnetCodec c;
        c.Greeting();
        TBytes data;
        TBytes replies;
        c.Feed(stream.data(), cut, data, replies);
        c.Feed(stream.data() + cut, stream.size() - cut, data, replies);
        EXPECT_EQ(data, (TBytes{0x05, 0xFF, 0x06, 0x07})) << cut;
        EXPECT_EQ(replies, (TBytes{TELNET_IAC, TELNET_DONT, 1, TELNET_IAC, TELNET_WONT, 24}))
            << cut;
        EXPECT_EQ(c.ComPort, TComPortState::Accepted);
        ASSERT_EQ(c.Answers.size(), 1u);
        EXPECT_EQ(c.Answers[0].Command, 101);
        EXPECT_EQ(c.Answers[0].Value, (TBytes{0x00, 0x00, 0xFF, 0x00}));
    }
    EXPECT_EQ(TTelnetCodec::ComPortCommand(CPO_SET_BAUDRATE, {0, 0, 0xFF, 0}),
              (TBytes{TELNET_IAC, TELNET_SB, TELOPT_COM_PORT, 1, 0, 0, 0xFF, 0xFF, 0, TELNET_IAC,
                      TELNET_SE}));
}

// A connection whose far end is a function of what we send.
struct TScript
{
    std::function<TBytes(const TBytes &)> Answer;
    TBytes Sent;
    std::deque<uint8_t> Incoming;
    bool Closed = false;
};

class TScriptSocket : public ISocket
{
public:
    explicit TScriptSocket(std::shared_ptr<TScript> script) : Script(std::move(script)) {}
    bool SendAll(const uint8_t *data, size_t count, int &error) override
    {
        if (Script->Closed) {
            error = EPIPE;
            return false;
        }
        const TBytes bytes(data, data + count);
        Script->Sent.insert(Script->Sent.end(), bytes.begin(), bytes.end());
        const TBytes answer = Script->Answer ? Script->Answer(bytes) : TBytes{};
        Script->Incoming.insert(Script->Incoming.end(), answer.begin(), answer.end());
        return true;
    }
    int Receive(uint8_t *buffer, size_t count, int64_t, int &error) override
    {
        if (Script->Incoming.empty()) {
            error = ECONNRESET;
            return Script->Closed ? -1 : 0;
        }
        size_t n = 0;
        for (; n < count && !Script->Incoming.empty(); ++n) {
            buffer[n] = Script->Incoming.front();
            Script->Incoming.pop_front();
        }
        return static_cast<int>(n);
    }

private:
    std::shared_ptr<TScript> Script;
};

// A server that accepts the COM-PORT-OPTION and answers each line command with `answer`
// (the value asked for, unless it changes it), and echoes line bytes as a device would.
std::shared_ptr<TScript> Server(std::function<TBytes(uint8_t, const TBytes &)> answer = nullptr)
{
    auto script = std::make_shared<TScript>();
    script->Answer = [answer](const TBytes &sent) {
        if (sent.size() >= 3 && sent[0] == TELNET_IAC && sent[1] == TELNET_WILL) {
            return TBytes{TELNET_IAC, TELNET_DO, TELOPT_COM_PORT};
        }
        if (sent.size() >= 4 && sent[0] == TELNET_IAC && sent[1] == TELNET_SB) {
            const TBytes value(sent.begin() + 4, sent.end() - 2);
            const TBytes given = answer ? answer(sent[3], value) : value;
            TBytes reply{TELNET_IAC, TELNET_SB, TELOPT_COM_PORT,
                         static_cast<uint8_t>(sent[3] + CPO_SERVER_OFFSET)};
            TTelnetCodec::Escape(given.data(), given.size(), reply);
            reply.insert(reply.end(), {TELNET_IAC, TELNET_SE});
            return reply;
        }
        return sent; // line bytes, escaped as they came
    };
    return script;
}

std::unique_ptr<ISerialPort> Open(const std::shared_ptr<TScript> &script, TNetTransport transport,
                                  int &error)
{
    return OpenNetPortOn(std::make_unique<TScriptSocket>(script), transport, 0, error);
}

TEST(NetPort, Rfc2217SetsTheLineAndCarriesEveryByte)
{
    auto script = Server();
    int error = -1;
    auto port = Open(script, TNetTransport::Rfc2217, error);
    ASSERT_TRUE(port) << error;
    EXPECT_TRUE(port->SwitchesDirection());
    TLineSettings line;
    line.BaudRate = 19200;
    line.StopBits = 2;
    script->Sent.clear();
    ASSERT_TRUE(port->SetLineSettings(line));
    EXPECT_EQ(script->Sent, (TBytes{255, 250, 44, 1, 0, 0,   0x4B, 0, 255, 240, // 19200
                                    255, 250, 44, 2, 8, 255, 240,               // 8 data bits
                                    255, 250, 44, 3, 1, 255, 240,               // no parity
                                    255, 250, 44, 4, 2, 255, 240}));            // 2 stop bits
    // The same format again costs nothing on the network.
    script->Sent.clear();
    ASSERT_TRUE(port->SetLineSettings(line));
    EXPECT_TRUE(script->Sent.empty());

    TSerialTimeouts timeouts;
    timeouts.ReadConstant = 50;
    port->SetTimeouts(timeouts);
    const TBytes frame = {0x05, 0x06, 0x00, 0xFF, 0x01, 0xFF};
    EXPECT_EQ(port->Write(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(script->Sent, (TBytes{0x05, 0x06, 0x00, 0xFF, 0xFF, 0x01, 0xFF, 0xFF}));
    TBytes back(frame.size());
    EXPECT_EQ(port->Read(back.data(), back.size()), frame.size());
    EXPECT_EQ(back, frame);
    EXPECT_EQ(port->LostError(), 0);

    // The connection drops: the port is lost for good, with the reason.
    script->Closed = true;
    EXPECT_EQ(port->Read(back.data(), 1), 0u);
    EXPECT_EQ(port->LostError(), ECONNRESET);
    EXPECT_EQ(port->Write(frame.data(), 1), 0u);
}

TEST(NetPort, RawTcpCarriesTheBytesUntouched)
{
    auto script = std::make_shared<TScript>();
    script->Answer = [](const TBytes &sent) { return sent; };
    int error = -1;
    auto port = Open(script, TNetTransport::RawTcp, error);
    ASSERT_TRUE(port);
    TLineSettings line;
    line.BaudRate = 19200;
    EXPECT_TRUE(port->SetLineSettings(line));
    const TBytes frame = {0xFF, 0xFF, 0xFA};
    EXPECT_EQ(port->Write(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(script->Sent, frame);
    TBytes back(3);
    EXPECT_EQ(port->Read(back.data(), 3), 3u);
    EXPECT_EQ(back, frame);
}

TEST(NetPort, WrongNegotiationIsReported)
{
    // The server refuses the option outright.
    auto refusing = std::make_shared<TScript>();
    refusing->Answer = [](const TBytes &) {
        return TBytes{TELNET_IAC, TELNET_DONT, TELOPT_COM_PORT};
    };
    int error = 0;
    EXPECT_FALSE(Open(refusing, TNetTransport::Rfc2217, error));
    EXPECT_EQ(error, EPROTO);

    // The server accepts it but sets another speed, or another data size, than asked.
    const std::function<TBytes(uint8_t, const TBytes &)> wrongs[] = {
        [](uint8_t command, const TBytes &value) {
            return command == CPO_SET_BAUDRATE ? TBytes{0, 0, 0x25, 0x80} : value;
        },
        [](uint8_t command, const TBytes &value) {
            return command == CPO_SET_DATASIZE ? TBytes{7} : value;
        },
    };
    for (const auto &wrong : wrongs) {
        auto script = Server(wrong);
        auto port = Open(script, TNetTransport::Rfc2217, error);
        ASSERT_TRUE(port);
        TLineSettings line;
        line.BaudRate = 19200;
        EXPECT_FALSE(port->SetLineSettings(line));
        EXPECT_EQ(port->LostError(), EPROTO);
    }
}

} // namespace
