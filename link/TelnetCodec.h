#pragma once
// The Telnet side of a network serial server (RFC 854 with the COM-PORT-OPTION of RFC 2217):
// IAC escaping of the line's bytes going out, and a byte-at-a-time reader that separates the
// line's bytes from the server's commands, answers its option requests and keeps the answers
// to our line-setting commands. No sockets here, so it is tested on byte sequences.

#include <cstddef>
#include <cstdint>
#include <vector>

// Telnet commands and options as the protocol names them.
constexpr uint8_t TELNET_IAC = 255;
constexpr uint8_t TELNET_DONT = 254;
constexpr uint8_t TELNET_DO = 253;
constexpr uint8_t TELNET_WONT = 252;
constexpr uint8_t TELNET_WILL = 251;
constexpr uint8_t TELNET_SB = 250;
constexpr uint8_t TELNET_SE = 240;
constexpr uint8_t TELOPT_BINARY = 0;
constexpr uint8_t TELOPT_SGA = 3;
constexpr uint8_t TELOPT_COM_PORT = 44;
// COM-PORT-OPTION commands from the client; the server answers each with the command + 100.
constexpr uint8_t CPO_SET_BAUDRATE = 1;
constexpr uint8_t CPO_SET_DATASIZE = 2;
constexpr uint8_t CPO_SET_PARITY = 3;
constexpr uint8_t CPO_SET_STOPSIZE = 4;
constexpr uint8_t CPO_SET_CONTROL = 5;
constexpr uint8_t CPO_SERVER_OFFSET = 100;

// What the server said about the COM-PORT-OPTION.
enum class TComPortState
{
    Unanswered,
    Accepted, // DO COM-PORT-OPTION: line-setting commands are understood
    Refused,  // DONT COM-PORT-OPTION
};

// One COM-PORT-OPTION subnegotiation from the server: its command and value bytes.
struct TComPortAnswer
{
    uint8_t Command = 0;
    std::vector<uint8_t> Value;
};

class TTelnetCodec
{
public:
    // Appends `count` line bytes to `out`, each 0xFF doubled so it is data, not a command.
    static void Escape(const uint8_t *data, size_t count, std::vector<uint8_t> &out);
    // The option requests a client opens with: binary both ways (no CR/NUL translation),
    // no go-aheads, and the COM-PORT-OPTION; the server's acknowledgements then need no answer.
    std::vector<uint8_t> Greeting();
    // A COM-PORT-OPTION command with its value bytes, escaped.
    static std::vector<uint8_t> ComPortCommand(uint8_t command, const std::vector<uint8_t> &value);

    // Reads received bytes: line bytes are appended to `data`, replies to the server's option
    // requests to `replies` (to be sent back), COM-PORT-OPTION answers to Answers. Commands
    // may be split anywhere across calls.
    void Feed(const uint8_t *bytes, size_t count, std::vector<uint8_t> &data,
              std::vector<uint8_t> &replies);

    // The server's word on the COM-PORT-OPTION.
    TComPortState ComPort = TComPortState::Unanswered;
    // COM-PORT-OPTION answers not yet taken, oldest first.
    std::vector<TComPortAnswer> Answers;

private:
    enum class TState
    {
        Data,
        Command,   // after IAC
        Option,    // after IAC and WILL/WONT/DO/DONT
        Sub,       // inside a subnegotiation
        SubCommand // IAC inside a subnegotiation
    };
    // Handles IAC `verb` `option`.
    void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t> &replies);
    // Handles a whole subnegotiation held in Sub.
    void EndSubnegotiation();

    TState State = TState::Data;
    uint8_t Verb = 0;
    std::vector<uint8_t> Sub;
    // Options we have said WILL/WONT (Ours) and DO/DONT (Theirs) to, so a request already
    // answered is not answered again: two ends that answer every answer loop for ever.
    bool OursSaid[256] = {};
    bool TheirsSaid[256] = {};
};
