#include "tools/cli/CliOptions.h"

#include "catalogue/DeviceCatalogue.h"
#include "link/NumberText.h"

#include <algorithm>

namespace {

// major.minor with one or two minor digits; one minor digit counts in tenths (1.5 is 1.50),
// as the catalogue's version lists read it. Anything looser would silently name another
// version.
constexpr TVersionSyntax FirmwareSyntax{.Exact = true, .MinorDigits = 1};

// A --firmware text as a version number; the empty text is version 0, which a device
// reports when it has no version and whose text form is empty.
bool ParseFirmware(const std::string &text, uint16_t &version)
{
    if (text.empty()) {
        version = 0;
        return true;
    }
    return ParseVersion(text, version, FirmwareSyntax);
}

// "5" or "5,12,33": bus addresses 0..127, each once.
bool ParseAddresses(const std::string &text, std::vector<uint8_t> &addresses, std::string &error)
{
    addresses.clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        int64_t n = 0;
        if (!ParseNumber(part, 0, 127, n, TNumberForm::SignedDecimal)) {
            error = "option --address: '" + part + "' is not a number from 0 to 127";
            return false;
        }
        if (std::find(addresses.begin(), addresses.end(), n) != addresses.end()) {
            error = "option --address: address " + part + " is given twice";
            return false;
        }
        addresses.push_back(static_cast<uint8_t>(n));
        if (comma == text.size())
            return true;
        start = comma + 1;
    }
}

TCliCommand CommandNamed(const std::string &name)
{
    if (name == "scan")
        return TCliCommand::Scan;
    if (name == "read")
        return TCliCommand::Read;
    if (name == "write")
        return TCliCommand::Write;
    if (name == "diff")
        return TCliCommand::Diff;
    if (name == "catalogue" || name == "catalog")
        return TCliCommand::Catalogue;
    if (name == "ports")
        return TCliCommand::Ports;
    if (name == "help")
        return TCliCommand::Help;
    return TCliCommand::None;
}

} // namespace

std::string CliUsage()
{
    return "Usage: linvar-cli [options] <command> [arguments]\n"
           "\n"
           "Commands:\n"
           "  scan [--zero] [--last A]           find the devices on the bus: 127, then 1..126\n"
           "                                     (with --zero 0..126; with --last up to A)\n"
           "  read --address A [--type T --firmware V]\n"
           "                                     read a device's parameters; without type and\n"
           "                                     firmware the device is identified first;\n"
           "                                     V is like 1.05 (1.5 is 1.50), \"\" for none\n"
           "  write --address A [--type T --firmware V] [--defaults] [--raw] NAME=VALUE...\n"
           "                                     write parameters given by name or index; with\n"
           "                                     --defaults every parameter gets its default\n"
           "                                     first; values are as shown (divided), or raw\n"
           "                                     device units with --raw, and must name a\n"
           "                                     value exactly: nothing is rounded\n"
           "  write --address A[,B...] [--type T --firmware V] --from FILE\n"
           "                                     write a parameter set (docs/parameter-sets.md)\n"
           "                                     to each device in turn\n"
           "  diff --address A [--type T --firmware V] FILE\n"
           "                                     read a device and list the parameters whose\n"
           "                                     values differ from the set in FILE\n"
           "  catalogue [--type T --firmware V]  list the catalogue's devices, or the\n"
           "                                     parameters of one type and firmware\n"
           "  ports                              list the port numbers whose device exists:\n"
           "                                     its path, by-id name, USB ids, access\n"
           "\n"
           "Options:\n"
           "  --port N          serial port number 0..255 (default: the first of 1..15 that\n"
           "                    opens)\n"
           "  --device PATH     serial device path instead of a port number\n"
           "  --catalogue FILE  catalogue file (default: params.cfg beside linvar-cli)\n"
           "  --json            JSON output\n"
           "  --quiet           no progress on stderr\n"
           "  --trace           every attempt on the bus on stderr (with --json also in the\n"
           "                    output, as \"attempts\")\n"
           "  --help            this text\n"
           "\n"
           "Exit status: 0 success, 1 device or write failure, 2 bad arguments,\n"
           "3 port does not open, 4 catalogue problem, 5 port lost, 130 interrupted;\n"
           "diff: 0 the same, 1 differs, 6 the device could not be read.\n";
}

bool ParseCliOptions(int argc, const char *const argv[], TCliOptions &options, std::string &error)
{
    options = TCliOptions{};
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0 && arg != "-h" && arg != "-q") {
            words.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        auto flag = [&]() {
            if (inlineValue) {
                error = "option " + name + " takes no value";
                return false;
            }
            return true;
        };
        auto value = [&](std::string &out) {
            if (inlineValue) {
                out = *inlineValue;
            } else if (i + 1 < argc) {
                out = argv[++i];
            } else {
                error = "option " + name + " needs a value";
                return false;
            }
            return true;
        };
        auto number = [&](int64_t minimum, int64_t maximum, int64_t &out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseNumber(text, minimum, maximum, out, TNumberForm::SignedDecimal)) {
                error = "option " + name + ": '" + text + "' is not a number from " +
                        std::to_string(minimum) + " to " + std::to_string(maximum);
                return false;
            }
            return true;
        };

        int64_t n = 0;
        if (name == "--help" || name == "-h") {
            if (!flag())
                return false;
            options.Command = TCliCommand::Help;
            return true;
        } else if (name == "--json") {
            if (!flag())
                return false;
            options.Json = true;
        } else if (name == "--quiet" || name == "-q") {
            if (!flag())
                return false;
            options.Quiet = true;
        } else if (name == "--trace") {
            if (!flag())
                return false;
            options.Trace = true;
        } else if (name == "--zero") {
            if (!flag())
                return false;
            options.ZeroAddress = true;
        } else if (name == "--defaults") {
            if (!flag())
                return false;
            options.Defaults = true;
        } else if (name == "--raw") {
            if (!flag())
                return false;
            options.Raw = true;
        } else if (name == "--port") {
            if (!number(0, 255, n))
                return false;
            options.Port = static_cast<uint8_t>(n);
        } else if (name == "--device") {
            if (!value(options.Device))
                return false;
            if (options.Device.empty()) {
                error = "option --device needs a path";
                return false;
            }
        } else if (name == "--catalogue" || name == "--catalog") {
            if (!value(options.Catalogue))
                return false;
            if (options.Catalogue.empty()) {
                error = "option --catalogue needs a file";
                return false;
            }
        } else if (name == "--last") {
            if (!number(0, 126, n))
                return false;
            options.LastAddress = static_cast<uint8_t>(n);
        } else if (name == "--address") {
            std::string text;
            if (!value(text) || !ParseAddresses(text, options.Addresses, error))
                return false;
        } else if (name == "--from") {
            if (!value(options.SetFile))
                return false;
            if (options.SetFile.empty()) {
                error = "option --from needs a file";
                return false;
            }
        } else if (name == "--type") {
            if (!number(0, 255, n))
                return false;
            options.Type = static_cast<uint8_t>(n);
        } else if (name == "--firmware") {
            std::string text;
            uint16_t version = 0;
            if (!value(text))
                return false;
            if (!ParseFirmware(text, version)) {
                error = "option --firmware: '" + text +
                        "' is not a version such as 1.05, or \"\" for none";
                return false;
            }
            options.Firmware = version;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }

    if (words.empty()) {
        error = "no command given";
        return false;
    }
    options.Command = CommandNamed(words[0]);
    if (options.Command == TCliCommand::None) {
        error = "unknown command '" + words[0] + "'";
        return false;
    }
    if (options.Command == TCliCommand::Help)
        return true;

    size_t first = 1;
    if (options.Command == TCliCommand::Diff && words.size() > 1)
        options.SetFile = words[first++];
    for (size_t i = first; i < words.size(); ++i) {
        // Names may hold '=' themselves ("a=b=5"): the value follows the last one.
        const auto eq = words[i].rfind('=');
        if (options.Command != TCliCommand::Write || eq == std::string::npos || eq == 0) {
            error = "unexpected argument '" + words[i] + "'";
            return false;
        }
        options.Assignments.push_back({words[i].substr(0, eq), words[i].substr(eq + 1)});
    }

    const bool onBus =
        options.Command != TCliCommand::Catalogue && options.Command != TCliCommand::Ports;
    if (options.Trace && !onBus) {
        error = "--trace belongs to the commands on the bus";
        return false;
    }
    if (options.Command == TCliCommand::Ports && (options.Port || !options.Device.empty())) {
        error = "ports lists every port number; it takes no --port or --device";
        return false;
    }
    if (options.Port && !options.Device.empty()) {
        error = "give either --port or --device, not both";
        return false;
    }
    const bool needsAddress = options.Command == TCliCommand::Read ||
                              options.Command == TCliCommand::Write ||
                              options.Command == TCliCommand::Diff;
    if (needsAddress && options.Addresses.empty()) {
        error = "the command needs --address";
        return false;
    }
    if (options.Command == TCliCommand::Diff && options.SetFile.empty()) {
        error = "diff needs a parameter set FILE";
        return false;
    }
    const bool fromFile = options.Command == TCliCommand::Write && !options.SetFile.empty();
    if (!options.SetFile.empty() && options.Command != TCliCommand::Write &&
        options.Command != TCliCommand::Diff) {
        error = "--from belongs to write";
        return false;
    }
    if (options.Addresses.size() > 1 && !fromFile) {
        error = "several addresses need write --from";
        return false;
    }
    if (fromFile && (options.Defaults || !options.Assignments.empty())) {
        error = "write --from takes no NAME=VALUE arguments or --defaults";
        return false;
    }
    if (options.Type.has_value() != options.Firmware.has_value()) {
        error = "give --type and --firmware together";
        return false;
    }
    if ((options.ZeroAddress || options.LastAddress) && options.Command != TCliCommand::Scan) {
        error = "--zero and --last belong to scan";
        return false;
    }
    // Without --zero the ascending sweep starts at 1; a last address below that would still
    // poll address 1 after 127.
    if (options.LastAddress && *options.LastAddress == 0 && !options.ZeroAddress) {
        error = "--last 0 needs --zero: address 0 is polled only with it";
        return false;
    }
    if ((options.Defaults || options.Raw) && options.Command != TCliCommand::Write) {
        error = "--defaults and --raw belong to write";
        return false;
    }
    const bool nothingToWrite = !options.Defaults && options.Assignments.empty() && !fromFile;
    if (options.Command == TCliCommand::Write && nothingToWrite) {
        error = "write needs NAME=VALUE arguments or --defaults";
        return false;
    }
    if (!options.Addresses.empty() && !needsAddress) {
        error = "--address belongs to read, write and diff";
        return false;
    }
    return true;
}
