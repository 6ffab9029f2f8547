// The command line's one table: the global options, each command with its own options, and
// the rules between options that no single option can check. CLI11 parses by it and generates
// --help from it; the refusals are worded here, in the program's own words.

#include "tools/cli/CliOptions.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/LineSpeed.h"
#include "link/NumberText.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>

namespace {

// major.minor with one or two minor digits; one minor digit counts in tenths (1.5 is 1.50),
// as the catalogue's version lists read it. Anything looser would silently name another
// version.
constexpr TVersionSyntax FirmwareSyntax{.Exact = true, .MinorDigits = 1};

// A value's check: stores what `text` says and returns "", or returns why it cannot.
using TValueCheck = std::function<std::string(const std::string &text)>;

// A decimal number from `minimum` to `maximum` into `out`.
template <typename T>
TValueCheck Number(const char *name, int64_t minimum, int64_t maximum, std::optional<T> &out)
{
    return [name, minimum, maximum, &out](const std::string &text) {
        int64_t n = 0;
        if (!ParseNumber(text, minimum, maximum, n, TNumberForm::SignedDecimal)) {
            return std::string("option ") + name + ": '" + text + "' is not a number from " +
                   std::to_string(minimum) + " to " + std::to_string(maximum);
        }
        out = static_cast<T>(n);
        return std::string();
    };
}

// Any text but the empty one into `out`; `what` names what the option needs.
TValueCheck Text(const char *name, const char *what, std::string &out)
{
    return [name, what, &out](const std::string &text) {
        if (text.empty())
            return std::string("option ") + name + " needs " + what;
        out = text;
        return std::string();
    };
}

// Reads a comma list whose parts `item` turns into numbers: each part once, in the order
// given. The refusal, or the empty text; `option` and `what` name them in the refusals.
template <typename T>
std::string ParseCommaList(const std::string &text, const char *option, const char *what,
                           const std::function<std::string(const std::string &, T &)> &item,
                           std::vector<T> &out)
{
    out.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        T value{};
        if (std::string refusal = item(part, value); !refusal.empty())
            return std::string("option ") + option + ": " + refusal;
        if (std::find(out.begin(), out.end(), value) != out.end())
            return std::string("option ") + option + ": " + what + " " + part + " is given twice";
        out.push_back(value);
        if (comma == text.size())
            return {};
        start = comma + 1;
    }
}

// "5" or "5,12,33": bus addresses 0..127, each once.
std::string ParseAddresses(const std::string &text, std::vector<uint8_t> &addresses)
{
    return ParseCommaList<uint8_t>(
        text, "--address", "address",
        [](const std::string &part, uint8_t &address) {
            int64_t n = 0;
            if (!ParseNumber(part, 0, 127, n, TNumberForm::SignedDecimal))
                return "'" + part + "' is not a number from 0 to 127";
            address = static_cast<uint8_t>(n);
            return std::string();
        },
        addresses);
}

// "19200", "9600,19200" or "all" (the standard speeds, slowest first): line speeds, each once.
std::string ParseBaudRates(const std::string &text, std::vector<uint32_t> &speeds)
{
    if (text == "all") {
        speeds.assign(StandardBaudRates.begin(), StandardBaudRates.end());
        return {};
    }
    return ParseCommaList<uint32_t>(
        text, "--baud", "speed",
        [](const std::string &part, uint32_t &speed) {
            int64_t n = 0;
            if (ParseNumber(part, 0, 0xFFFFFFFF, n, TNumberForm::SignedDecimal) &&
                IsStandardBaudRate(static_cast<uint32_t>(n))) {
                speed = static_cast<uint32_t>(n);
                return std::string();
            }
            std::string list;
            for (const uint32_t standard : StandardBaudRates)
                list += std::to_string(standard) + ", ";
            return "'" + part + "' is not one of " + list + "or all";
        },
        speeds);
}

// A --firmware text as a version number; the empty text is version 0, which a device
// reports when it has no version and whose text form is empty.
std::string ParseFirmware(const std::string &text, std::optional<uint16_t> &firmware)
{
    uint16_t version = 0;
    if (!text.empty() && !ParseVersion(text, version, FirmwareSyntax))
        return "option --firmware: '" + text + "' is not a version such as 1.05, or \"\" for none";
    firmware = version;
    return {};
}

// Adds an option that takes one value, which `check` stores or refuses. Given twice, the
// last one counts.
CLI::Option *AddValue(CLI::App &app, const std::string &names, const std::string &valueName,
                      const std::string &help, TValueCheck check)
{
    CLI::Option *option = app.add_option(
        names,
        [check](const CLI::results_t &results) {
            if (const std::string refusal = check(results.back()); !refusal.empty())
                throw CLI::ValidationError(refusal);
            return true;
        },
        help);
    option->type_name(valueName)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    return option;
}

// Adds a flag, which takes no value ("--json=yes" is refused, not read as true).
void AddFlag(CLI::App &app, const std::string &names, const std::string &help, bool &out)
{
    app.add_flag(names, out, help)->disable_flag_override();
}

// A rule between options, and the words that refuse a command line breaking it. Each
// command's help lists the rules that concern it; the program's help, those of no command.
struct TRule
{
    std::vector<TCliCommand> Commands; // the commands it concerns; empty: the global options
    const char *Text;
    bool (*Broken)(const TCliOptions &);
};

bool OnBus(const TCliOptions &o)
{
    return o.Command != TCliCommand::Catalogue && o.Command != TCliCommand::Ports;
}

bool NeedsAddress(const TCliOptions &o)
{
    return o.Command == TCliCommand::Read || o.Command == TCliCommand::Write ||
           o.Command == TCliCommand::Diff || o.Command == TCliCommand::Watch;
}

bool WritesFromFile(const TCliOptions &o)
{
    return o.Command == TCliCommand::Write && !o.SetFile.empty();
}

using enum TCliCommand;
// In the order they are checked: where a command line breaks several, the first one speaks.
const TRule Rules[] = {
    {{Catalogue, Ports},
     "--trace belongs to the commands on the bus",
     [](const TCliOptions &o) { return o.Trace && !OnBus(o); }},
    {{Catalogue, Ports},
     "--stats belongs to the commands on the bus",
     [](const TCliOptions &o) { return o.Stats && !OnBus(o); }},
    {{Catalogue, Ports},
     "--baud belongs to the commands on the bus",
     [](const TCliOptions &o) { return !o.BaudRates.empty() && !OnBus(o); }},
    // One device answers at one speed; only the search looks at several in turn.
    {{Read, Write, Diff, Watch},
     "--baud takes one speed here; several (a list or all) only with scan",
     [](const TCliOptions &o) { return o.BaudRates.size() > 1 && o.Command != Scan; }},
    // The fast sweep is one sweep at one speed.
    {{Scan},
     "scan --fast searches at one speed, not a --baud list",
     [](const TCliOptions &o) { return o.Fast && o.BaudRates.size() > 1; }},
    {{Ports},
     "ports lists every port number; it takes no --port or --device",
     [](const TCliOptions &o) { return o.Command == Ports && (o.Port || !o.Device.empty()); }},
    {{},
     "give either --port or --device, not both",
     [](const TCliOptions &o) { return o.Port && !o.Device.empty(); }},
    {{Read, Write, Diff, Watch},
     "the command needs --address",
     [](const TCliOptions &o) { return NeedsAddress(o) && o.Addresses.empty(); }},
    {{Diff},
     "diff needs a parameter set FILE",
     [](const TCliOptions &o) { return o.Command == Diff && o.SetFile.empty(); }},
    {{Read, Write, Diff},
     "several addresses need write --from",
     [](const TCliOptions &o) {
         return o.Addresses.size() > 1 && !WritesFromFile(o) && o.Command != Watch;
     }},
    {{Write},
     "write --from takes no NAME=VALUE arguments or --defaults",
     [](const TCliOptions &o) {
         return WritesFromFile(o) && (o.Defaults || !o.Assignments.empty());
     }},
    {{Read, Write, Diff, Catalogue},
     "give --type and --firmware together",
     [](const TCliOptions &o) { return o.Type.has_value() != o.Firmware.has_value(); }},
    // Without --zero the ascending sweep starts at 1; a last address below that would still
    // poll address 1 after 127.
    {{Scan},
     "--last 0 needs --zero: address 0 is polled only with it",
     [](const TCliOptions &o) { return o.LastAddress == 0 && !o.ZeroAddress; }},
    {{Write},
     "write needs NAME=VALUE arguments, --defaults or --from",
     [](const TCliOptions &o) {
         return o.Command == Write && !o.Defaults && o.Assignments.empty() && !WritesFromFile(o);
     }},
};

// The rules that concern `command` (None: the global ones) as a help footer.
std::string RulesFooter(TCliCommand command)
{
    std::string footer;
    for (const TRule &rule : Rules) {
        const bool concerns =
            command == None ? rule.Commands.empty()
                            : std::ranges::find(rule.Commands, command) != rule.Commands.end();
        if (concerns)
            footer += std::string("\n  ") + rule.Text;
    }
    return footer.empty() ? footer : "Rules:" + footer;
}

const char *const ExitStatuses =
    "Exit status: 0 success, 1 device or write failure, 2 bad arguments,\n"
    "3 port does not open, 4 catalogue problem, 5 port lost, 130 interrupted;\n"
    "diff: 0 the same, 1 differs, 6 the device could not be read.\n"
    "Global options may come before or after the command; a command's own options follow it.\n"
    "'linvar-cli COMMAND --help' lists a command's options.";

// The command line's table, and what parsing by it leaves besides the options.
class TCliTable
{
public:
    explicit TCliTable(TCliOptions &options);

    // Runs CLI11 over argv; false with the refusal in `error`.
    bool Parse(int argc, const char *const argv[], std::string &error);

private:
    // Adds a command with its help; the global options fall through to the program.
    CLI::App &AddCommand(TCliCommand command, const char *name, const std::string &help);
    // --address, and --type with --firmware, which several commands share.
    void AddAddress(CLI::App &command);
    void AddIdentity(CLI::App &command);
    // Words what CLI11 left unparsed: an unknown command or option, one of another command,
    // a word no command takes. Empty when nothing is left.
    std::string LeftOverRefusal() const;
    // The commands that declare option `name`, as "read, write and diff"; empty when none.
    std::string CommandsDeclaring(const std::string &name) const;
    // The option `name` ("--json") of the program or of any command; null when none.
    const CLI::Option *Declared(const std::string &name) const;
    // The NAME=VALUE words of write as assignments; false with the refusal in `error`.
    bool ReadAssignments(std::string &error);

    TCliOptions &Options;
    CLI::App App{"linvar-cli: the device search, parameter read and write and the catalogue\n"
                 "from the command line, over the same link, catalogue and workers as the window.",
                 "linvar-cli"};
    std::vector<std::pair<CLI::App *, TCliCommand>> Commands;
    std::vector<std::string> AssignmentWords;
    std::string HelpTopic; // help COMMAND
    // How many words the program had left over when the command word came.
    size_t LeftBeforeCommand = 0;
};

TCliTable::TCliTable(TCliOptions &options) : Options(options)
{
    App.set_help_flag("-h,--help", "this text");
    App.require_subcommand(0, 1);
    // Leftovers are worded here, not by CLI11.
    App.allow_extras();
    App.footer(ExitStatuses + ("\n\n" + RulesFooter(None)));
    const auto formatter = App.get_formatter();
    formatter->column_width(36);
    formatter->label("SUBCOMMAND", "COMMAND");
    formatter->label("Positionals", "Arguments");

    AddValue(App, "--port", "N",
             "serial port number 0..255 (default: the first of 1..15\nthat opens)",
             Number("--port", 0, 255, Options.Port));
    AddValue(App, "--device", "PATH",
             "serial device path, or tcp://HOST:PORT or rfc2217://HOST:PORT, instead of a port "
             "number",
             Text("--device", "a path", Options.Device));
    AddValue(App, "--catalogue,--catalog", "FILE",
             "catalogue file (default: params.cfg beside linvar-cli)",
             Text("--catalogue", "a file", Options.Catalogue));
    AddValue(App, "--baud", "B",
             "line speed: 1200, 2400, 4800, 9600, 19200, 38400,\n57600 or 115200 (default: the "
             "settings' BaudRate,\n9600); scan takes several as B,B,... or all",
             [this](const std::string &text) { return ParseBaudRates(text, Options.BaudRates); });
    AddFlag(App, "--json", "JSON output", Options.Json);
    AddFlag(App, "-q,--quiet", "no progress on stderr", Options.Quiet);
    AddFlag(App, "--trace",
            "every attempt on the bus on stderr (with --json also in\nthe output, as "
            "\"attempts\")",
            Options.Trace);
    AddFlag(App, "--stats",
            "after the command, each bus address's attempts, replies,\nerrors and reply times "
            "(with --json as \"stats\")",
            Options.Stats);

    CLI::App &scan = AddCommand(Scan, "scan",
                                "find the devices on the bus: 127, then 1..126\n"
                                "(with --zero 0..126; with --last up to A)");
    AddFlag(scan, "--zero", "poll address 0 too", Options.ZeroAddress);
    AddValue(scan, "--last", "A", "stop after address A (0..126)",
             Number("--last", 0, 126, Options.LastAddress));
    AddFlag(scan, "--fast",
            "one short ping per address; the standard three attempts\nonly where bytes came "
            "back (FastSweepAllowance)",
            Options.Fast);

    CLI::App &read = AddCommand(Read, "read",
                                "read a device's parameters; without type and firmware\n"
                                "the device is identified first");
    AddAddress(read);
    AddIdentity(read);

    CLI::App &write = AddCommand(Write, "write",
                                 "write parameters given by name or index, or a parameter\n"
                                 "set (--from) to each device in turn; values must name a\n"
                                 "value exactly: nothing is rounded");
    AddAddress(write);
    AddIdentity(write);
    AddFlag(write, "--defaults", "every parameter gets its default first", Options.Defaults);
    AddFlag(write, "--raw", "values are raw device units, not as shown (divided)", Options.Raw);
    AddFlag(write, "--zero",
            "address 0 is a bus address: a write of 0 may move the\ndevice there (as scan --zero)",
            Options.ZeroAddress);
    AddValue(write, "--from", "FILE", "write the parameter set in FILE (docs/parameter-sets.md)",
             Text("--from", "a file", Options.SetFile));
    write.add_option("NAME=VALUE", AssignmentWords, "a parameter, by name or index, and its value")
        ->type_name("");

    CLI::App &diff = AddCommand(Diff, "diff",
                                "read a device and list the parameters whose values\n"
                                "differ from the set in FILE");
    AddAddress(diff);
    AddIdentity(diff);
    diff.add_option("FILE", Options.SetFile, "the parameter set")->type_name("");

    CLI::App &catalogue = AddCommand(Catalogue, "catalogue",
                                     "list the catalogue's devices, or the parameters of one\n"
                                     "type and firmware");
    catalogue.alias("catalog");
    AddIdentity(catalogue);

    CLI::App &watch = AddCommand(Watch, "watch",
                                 "poll devices round after round and print each one's\n"
                                 "health per round, until Ctrl+C or --count rounds");
    AddValue(watch, "--address", "A", "bus addresses 0..127 to poll, as A,B,...",
             [this](const std::string &text) { return ParseAddresses(text, Options.Addresses); });
    AddValue(watch, "--interval", "MS", "pause between rounds in ms (default 1000)",
             Number("--interval", 0, 3'600'000, Options.IntervalMs));
    AddValue(watch, "--count", "N", "stop after N rounds (1..1000000)",
             Number("--count", 1, 1'000'000, Options.Count));
    AddValue(watch, "--index", "I", "read parameter I (0..255) instead of an identify",
             Number("--index", 0, 255, Options.Index));

    AddCommand(Ports, "ports",
               "list the port numbers whose device exists: its path,\n"
               "by-id name, USB ids, access");
    AddCommand(Help, "help", "this text, or a command's")
        .add_option("COMMAND", HelpTopic, "the command to tell about")
        ->type_name("");
}

CLI::App &TCliTable::AddCommand(TCliCommand command, const char *name, const std::string &help)
{
    CLI::App *app = App.add_subcommand(name, help);
    app->fallthrough()->group("Commands");
    app->footer(RulesFooter(command));
    app->preparse_callback([this](size_t) { LeftBeforeCommand = App.remaining_size(); });
    Commands.emplace_back(app, command);
    return *app;
}

void TCliTable::AddAddress(CLI::App &command)
{
    AddValue(command, "--address", "A", "bus address 0..127; several as A,B,... for write --from",
             [this](const std::string &text) { return ParseAddresses(text, Options.Addresses); });
}

void TCliTable::AddIdentity(CLI::App &command)
{
    AddValue(command, "--type", "T", "device type 0..255, with --firmware",
             Number("--type", 0, 255, Options.Type));
    AddValue(command, "--firmware", "V",
             "firmware version such as 1.05 (1.5 is 1.50), \"\" for\nnone; with --type",
             [this](const std::string &text) { return ParseFirmware(text, Options.Firmware); });
}

std::string TCliTable::CommandsDeclaring(const std::string &name) const
{
    std::vector<std::string> names;
    for (const auto &[app, command] : Commands) {
        if (app->get_option_no_throw(name) != nullptr)
            names.push_back(app->get_name());
    }
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return list;
}

const CLI::Option *TCliTable::Declared(const std::string &name) const
{
    if (name.rfind("-", 0) != 0)
        return nullptr;
    const CLI::Option *option = App.get_option_no_throw(name);
    for (const auto &[app, command] : Commands)
        option = option ? option : app->get_option_no_throw(name);
    return option;
}

std::string TCliTable::LeftOverRefusal() const
{
    const std::vector<std::string> left = App.remaining();
    if (left.empty())
        return {};
    const std::string &word = left.front();
    if (word.size() < 2 || word[0] != '-') {
        if (Options.Command == None)
            return "unknown command '" + word + "'";
        return "unexpected argument '" + word + "'";
    }
    const std::string name = word.substr(0, word.find('='));
    const std::string owners = CommandsDeclaring(name);
    if (owners.empty())
        return "unknown option " + name;
    const bool before = LeftBeforeCommand > 0 && Options.Command != None;
    return name + " belongs to " + owners + (before ? "; give it after the command word" : "");
}

bool TCliTable::ReadAssignments(std::string &error)
{
    for (const std::string &word : AssignmentWords) {
        // Names may hold '=' themselves ("a=b=5"): the value follows the last one.
        const auto eq = word.rfind('=');
        if (eq == std::string::npos || eq == 0) {
            error = "unexpected argument '" + word + "'";
            return false;
        }
        Options.Assignments.push_back({word.substr(0, eq), word.substr(eq + 1)});
    }
    return true;
}

bool TCliTable::Parse(int argc, const char *const argv[], std::string &error)
{
    // "--name=VALUE" as CLI11 cannot tell it: a flag given a value is refused (CLI11 would
    // read "--json=" as true), and "--firmware=" is the empty value (CLI11 would take the
    // next word for it), as a script writes --firmware="$VERSION" for a device without one.
    std::vector<std::string> words(argv, argv + argc);
    for (size_t i = 1; i < words.size(); ++i) {
        const auto eq = words[i].find('=');
        const CLI::Option *option =
            eq == std::string::npos ? nullptr : Declared(words[i].substr(0, eq));
        if (option == nullptr)
            continue;
        if (option->get_items_expected_max() == 0) {
            error = "option " + words[i].substr(0, eq) + " takes no value";
            return false;
        }
        if (eq + 1 == words[i].size()) {
            words[i].pop_back();
            words.insert(words.begin() + static_cast<ptrdiff_t>(++i), std::string());
        }
    }
    std::vector<const char *> arguments;
    for (const std::string &word : words)
        arguments.push_back(word.c_str());
    try {
        App.parse(static_cast<int>(arguments.size()), arguments.data());
    } catch (const CLI::CallForHelp &) {
        Options.Command = Help;
        Options.Help = App.help();
        return true;
    } catch (const CLI::ArgumentMismatch &) {
        // Flags given a value are refused above: the command line ends before a value.
        error = "option " + words.back() + " needs a value";
        return false;
    } catch (const CLI::ParseError &e) {
        // The values' own refusals, worded by their checks above.
        error = e.what();
        return false;
    }
    for (const auto &[app, command] : Commands)
        Options.Command = app->parsed() ? command : Options.Command;
    if (std::string refusal = LeftOverRefusal(); !refusal.empty()) {
        error = std::move(refusal);
        return false;
    }
    if (Options.Command == None) {
        error = "no command given";
        return false;
    }
    if (Options.Command == Help) {
        const CLI::App *topic = &App;
        for (const auto &[app, command] : Commands)
            topic = app->check_name(HelpTopic) ? app : topic;
        if (!HelpTopic.empty() && topic == &App) {
            error = "unknown command '" + HelpTopic + "'";
            return false;
        }
        // App.help() would tell about the help command itself, the one parsed.
        Options.Help = topic == &App ? App.get_formatter()->make_help(&App, App.get_name(),
                                                                      CLI::AppFormatMode::Normal)
                                     : topic->help("linvar-cli");
        return true;
    }
    if (!ReadAssignments(error))
        return false;
    for (const TRule &rule : Rules) {
        if (rule.Broken(Options)) {
            error = rule.Text;
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseCliOptions(int argc, const char *const argv[], TCliOptions &options, std::string &error)
{
    options = TCliOptions{};
    TCliTable table(options);
    return table.Parse(argc, argv, error);
}
