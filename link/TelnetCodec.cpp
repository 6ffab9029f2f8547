#include "link/TelnetCodec.h"

namespace {

// Options we use in both directions; any other is refused.
bool Wanted(uint8_t option)
{
    return option == TELOPT_BINARY || option == TELOPT_SGA || option == TELOPT_COM_PORT;
}

} // namespace

void TTelnetCodec::Escape(const uint8_t *data, size_t count, std::vector<uint8_t> &out)
{
    for (size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == TELNET_IAC) {
            out.push_back(TELNET_IAC);
        }
    }
}

std::vector<uint8_t> TTelnetCodec::Greeting()
{
    for (const uint8_t option : {TELOPT_BINARY, TELOPT_SGA, TELOPT_COM_PORT}) {
        OursSaid[option] = true;
        TheirsSaid[option] = option != TELOPT_COM_PORT;
    }
    return {TELNET_IAC,    TELNET_WILL, TELOPT_BINARY, TELNET_IAC,  TELNET_DO,
            TELOPT_BINARY, TELNET_IAC,  TELNET_WILL,   TELOPT_SGA,  TELNET_IAC,
            TELNET_DO,     TELOPT_SGA,  TELNET_IAC,    TELNET_WILL, TELOPT_COM_PORT};
}

std::vector<uint8_t> TTelnetCodec::ComPortCommand(uint8_t command,
                                                  const std::vector<uint8_t> &value)
{
    std::vector<uint8_t> out{TELNET_IAC, TELNET_SB, TELOPT_COM_PORT, command};
    Escape(value.data(), value.size(), out);
    out.push_back(TELNET_IAC);
    out.push_back(TELNET_SE);
    return out;
}

void TTelnetCodec::Feed(const uint8_t *bytes, size_t count, std::vector<uint8_t> &data,
                        std::vector<uint8_t> &replies)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        switch (State) {
        case TState::Data:
            if (b == TELNET_IAC) {
                State = TState::Command;
            } else {
                data.push_back(b);
            }
            break;
        case TState::Command:
            if (b == TELNET_IAC) {
                data.push_back(b); // an escaped 0xFF of the line
                State = TState::Data;
            } else if (b >= TELNET_WILL && b <= TELNET_DONT) {
                Verb = b;
                State = TState::Option;
            } else if (b == TELNET_SB) {
                Sub.clear();
                State = TState::Sub;
            } else {
                State = TState::Data; // NOP, GA, data mark...: nothing for a binary line
            }
            break;
        case TState::Option:
            Negotiate(Verb, b, replies);
            State = TState::Data;
            break;
        case TState::Sub:
            if (b == TELNET_IAC) {
                State = TState::SubCommand;
            } else {
                Sub.push_back(b);
            }
            break;
        case TState::SubCommand:
            if (b == TELNET_IAC) {
                Sub.push_back(b);
                State = TState::Sub;
            } else {
                // SE, or a broken subnegotiation that another command cuts short: either
                // way it ends here.
                EndSubnegotiation();
                State = TState::Data;
            }
            break;
        }
    }
}

void TTelnetCodec::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t> &replies)
{
    if (option == TELOPT_COM_PORT && (verb == TELNET_DO || verb == TELNET_DONT)) {
        ComPort = verb == TELNET_DO ? TComPortState::Accepted : TComPortState::Refused;
    }
    const bool theirs = verb == TELNET_WILL || verb == TELNET_WONT; // about the server's side
    bool &said = theirs ? TheirsSaid[option] : OursSaid[option];
    if (said) {
        return;
    }
    said = true;
    // An option is off until both ends agree, so a refusal of one we never asked for
    // changes nothing and needs no answer.
    if (verb == TELNET_WONT || verb == TELNET_DONT) {
        return;
    }
    uint8_t answer = 0;
    if (verb == TELNET_WILL) {
        answer = Wanted(option) ? TELNET_DO : TELNET_DONT;
    } else {
        answer = Wanted(option) ? TELNET_WILL : TELNET_WONT;
    }
    replies.insert(replies.end(), {TELNET_IAC, answer, option});
}

void TTelnetCodec::EndSubnegotiation()
{
    if (Sub.size() >= 2 && Sub[0] == TELOPT_COM_PORT) {
        Answers.push_back({Sub[1], std::vector<uint8_t>(Sub.begin() + 2, Sub.end())});
    }
    Sub.clear();
}
