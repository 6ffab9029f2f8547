// The front end's own pieces: the command line, the value texts and the words for the core's
// kinds.

#include "tests/cli/CliTestSupport.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliWords.h"
#include "values/ValueText.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

bool Parse(std::vector<std::string> words, TCliOptions &options, std::string &error)
{
    words.insert(words.begin(), "linvar-cli");
    std::vector<const char *> argv;
    for (const auto &w : words)
        argv.push_back(w.c_str());
    return ParseCliOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

} // namespace

TEST(CliOptionsTest, RejectsUnusableCommandLinesWithAReason)
{
    const std::pair<std::vector<std::string>, const char *> cases[] = {
        {{}, "no command"},
        {{"probe"}, "unknown command"},
        {{"scan", "--bogus"}, "unknown option --bogus"},
        {{"scan", "--port"}, "needs a value"},
        {{"scan", "--port", "256"}, "from 0 to 255"},
        {{"scan", "--port", "1x"}, "not a number"},
        {{"scan", "--port=-1"}, "not a number"},
        {{"scan", "--port", "0x10"}, "not a number"}, // values are typed in decimal
        {{"scan", "--port", "3", "--device", "/dev/ttyUSB0"}, "either --port or --device"},
        {{"read"}, "needs --address"},
        {{"read", "--address", "128"}, "from 0 to 127"},
        {{"read", "--address", "5", "--type", "9"}, "together"},
        {{"read", "--address", "5", "--type", "9", "--firmware", "2"}, "version"},
        {{"read", "--address", "5", "--type", "9", "--firmware", "2.055"}, "version"},
        {{"write", "--address", "5"}, "NAME=VALUE"},
        {{"write", "--address", "5", "=3"}, "unexpected argument"},
        {{"read", "--address", "5", "x=3"}, "unexpected argument"},
        {{"read", "--address", "5", "--zero"}, "--zero belongs to scan"},
        {{"read", "--address", "5", "--last", "9"}, "--last belongs to scan"},
        {{"scan", "--last", "127"}, "from 0 to 126"},
        {{"scan", "--last", "0"}, "--last 0 needs --zero"},
        {{"scan", "--defaults"}, "--defaults belongs to write"},
        {{"scan", "--type", "9"}, "--type belongs to read, write, diff and catalogue"},
        {{"--address", "5", "read"}, "give it after the command word"},
        {{"scan", "--port", "3", "--port"}, "option --port needs a value"},
        {{"write", "--address", "5", "--raw=no", "1=2"}, "option --raw takes no value"},
        {{"help", "probe"}, "unknown command 'probe'"},
        {{"scan", "--address", "5"}, "belongs to read, write, diff and watch"},
        {{"scan", "--json=yes"}, "takes no value"},
        {{"scan", "--json="}, "takes no value"},
        {{"scan", "--device="}, "option --device needs a path"},
        {{"write", "--address", "5,12", "1=2"}, "several addresses need write --from"},
        {{"write", "--address", "5,,12", "--from", "f"}, "'' is not a number"},
        {{"write", "--address", "5,12,5", "--from", "f"}, "address 5 is given twice"},
        {{"write", "--address", "5", "--from", "f", "1=2"}, "takes no NAME=VALUE"},
        {{"read", "--address", "5", "--from", "f"}, "--from belongs to write"},
        {{"diff", "--address", "5"}, "diff needs a parameter set FILE"},
        {{"diff", "--address", "5,6", "f"}, "several addresses"},
        {{"catalogue", "--trace"}, "--trace belongs to the commands on the bus"},
        {{"ports", "--port", "3"}, "takes no --port or --device"},
        // Line speeds: the standard ones only, each once; several only for the search.
        {{"--baud", "14400", "scan"},
         "'14400' is not one of 1200, 2400, 4800, 9600, 19200, "
         "38400, 57600, 115200, or all"},
        {{"--baud", "9600,", "scan"}, "'' is not one of"},
        {{"--baud=", "scan"}, "'' is not one of"},
        {{"scan", "--baud", "0x4B00"}, "'0x4B00' is not one of"},
        {{"--baud", "9600,19200,9600", "scan"}, "speed 9600 is given twice"},
        {{"--baud", "all", "read", "--address", "5"}, "several (a list or all) only with scan"},
        {{"write", "--baud", "9600,19200", "--address", "5", "1=2"}, "only with scan"},
        {{"--baud", "9600", "catalogue"}, "--baud belongs to the commands on the bus"},
    };
    for (const auto &[words, reason] : cases) {
        TCliOptions options;
        std::string error;
        std::string line;
        for (const auto &w : words)
            line += w + " ";
        SCOPED_TRACE(line);
        EXPECT_FALSE(Parse(words, options, error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

TEST(CliOptionsTest, AcceptsOptionsAnywhereAndBothValueForms)
{
    TCliOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--json", "write", "--port=4", "--address", "12", "--type", "9",
                       "--firmware", "2.5", "--raw", "Name, unit=a=7", "4=2.5", "-q"},
                      options, error))
        << error;
    EXPECT_EQ(options.Command, TCliCommand::Write);
    EXPECT_TRUE(options.Json);
    EXPECT_TRUE(options.Quiet);
    EXPECT_TRUE(options.Raw);
    EXPECT_EQ(options.Port, 4);
    EXPECT_EQ(options.Addresses, std::vector<uint8_t>{12});
    EXPECT_EQ(options.Type, 9);
    EXPECT_EQ(options.Firmware, 250); // one minor digit counts in tenths, as in version lists
    ASSERT_EQ(options.Assignments.size(), 2u);
    EXPECT_EQ(options.Assignments[0].Name, "Name, unit=a");
    EXPECT_EQ(options.Assignments[0].Value, "7");
    EXPECT_EQ(options.Assignments[1].Name, "4");

    ASSERT_TRUE(Parse({"write", "--address", "5,12,33", "--from", "set.json"}, options, error))
        << error;
    EXPECT_EQ(options.Addresses, (std::vector<uint8_t>{5, 12, 33}));
    EXPECT_EQ(options.SetFile, "set.json");
    ASSERT_TRUE(Parse({"diff", "set.json", "--address", "7"}, options, error)) << error;
    EXPECT_EQ(options.Command, TCliCommand::Diff);
    EXPECT_EQ(options.SetFile, "set.json");

    ASSERT_TRUE(Parse({"scan", "--zero", "--device", "/dev/ttyS1", "--last=20"}, options, error));
    EXPECT_TRUE(options.ZeroAddress);
    EXPECT_EQ(options.LastAddress, 20);
    EXPECT_EQ(options.Device, "/dev/ttyS1");
    EXPECT_FALSE(options.Port);
    // Address 0 is polled only with --zero, so only then can the sweep end there.
    TCliOptions zero;
    ASSERT_TRUE(Parse({"scan", "--zero", "--last", "0"}, zero, error)) << error;
    EXPECT_EQ(zero.LastAddress, 0);
    // Given twice, the last one counts, as before the command word.
    ASSERT_TRUE(Parse({"--port", "3", "scan", "--port", "5", "--json"}, options, error)) << error;
    EXPECT_EQ(options.Port, 5);
    EXPECT_TRUE(options.Json);
    EXPECT_TRUE(options.BaudRates.empty());
    ASSERT_TRUE(Parse({"scan", "--baud", "all"}, options, error)) << error;
    EXPECT_EQ(options.BaudRates,
              (std::vector<uint32_t>{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}));
    ASSERT_TRUE(Parse({"--baud", "19200,1200", "scan"}, options, error)) << error;
    EXPECT_EQ(options.BaudRates, (std::vector<uint32_t>{19200, 1200}));
    ASSERT_TRUE(Parse({"read", "--address", "3", "--baud=19200"}, options, error)) << error;
    EXPECT_EQ(options.BaudRates, std::vector<uint32_t>{19200});
    // A command's help, asked for either way, tells its own options and rules.
    for (const std::vector<std::string> &words :
         {std::vector<std::string>{"scan", "--help"}, std::vector<std::string>{"help", "scan"}}) {
        ASSERT_TRUE(Parse(words, options, error)) << error;
        EXPECT_EQ(options.Command, TCliCommand::Help);
        for (const char *part : {"Usage: linvar-cli scan", "--last A", "--last 0 needs --zero"})
            EXPECT_NE(options.Help.find(part), std::string::npos) << part << " in " << options.Help;
    }
    // The empty text is the version a device without one reports.
    TCliOptions none;
    for (const std::vector<std::string> &words :
         {std::vector<std::string>{"catalogue", "--type", "9", "--firmware", ""},
          std::vector<std::string>{"catalogue", "--firmware=", "--type", "9"}}) {
        ASSERT_TRUE(Parse(words, none, error)) << error;
        EXPECT_EQ(none.Firmware, 0);
    }
}

TEST(CliValueTextTest, ShownValuesBothWays)
{
    const std::tuple<int32_t, int32_t, const char *> shown[] = {
        {125, 10, "12.5"}, {100, 1, "100"},     {1, 3, "0.333333333333333"},
        {12, 8, "1.5"},    {1180, 100, "11.8"}, {0, 10, "0"},
        {7, 0, "7"},       {65535, 1, "65535"}};
    for (const auto &[raw, divisor, text] : shown)
        EXPECT_EQ(FormatParameterValue(raw, divisor), text);

    // Text, divisor, raw units; then the verdict and the raw value or the two nearest. The
    // limits are 0..65535, or 1..65535 for the shown values at divisor 10.
    struct TCase
    {
        const char *Text;
        int32_t Divisor;
        bool Raw;
        TValueVerdict Verdict;
        int32_t Value; // Ok: the raw value; BetweenSteps: the lower neighbour
        int32_t Upper = 0;
    };
    using enum TValueVerdict;
    const TCase cases[] = {
        {"12.5", 10, false, Ok, 125},
        {"12,5", 10, false, Ok, 125},
        {"12.50", 10, false, Ok, 125},
        {"9.6", 10, false, Ok, 96},
        {"0.333333333333333", 3, false, Ok, 1}, // the shown text of 1/3
        {"100", 3, false, Ok, 300},
        {"96", 10, true, Ok, 96},
        {"7", 0, false, Ok, 7},
        {"0.1", 10, false, Ok, 1},
        {"9.65", 10, false, BetweenSteps, 96, 97}, // never rounded to 9.7
        {"0.333", 3, false, BetweenSteps, 0, 1},
        {"12.345", 100, false, BetweenSteps, 1234, 1235},
        {"0.05", 10, false, BelowMinimum, 0},
        {"-1", 1, false, BelowMinimum, 0},
        {"6553.6", 10, false, AboveMaximum, 0},
        {"70000", 1, true, AboveMaximum, 0},
        {"9.6", 10, true, NotNumber, 0},
        {"", 1, false, NotNumber, 0},
        {"1e3", 1, false, NotNumber, 0},
        {"abc", 1, false, NotNumber, 0},
        {"1.2.3", 10, false, NotNumber, 0},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Text);
        const uint16_t minimum = c.Divisor == 10 && !c.Raw ? 1 : 0;
        const TValueReading reading = ReadParameterValue(c.Text, c.Divisor, c.Raw, minimum, 65535);
        EXPECT_EQ(reading.Verdict, c.Verdict);
        if (c.Verdict == Ok) {
            EXPECT_EQ(reading.Raw, c.Value);
        } else if (c.Verdict == BetweenSteps) {
            EXPECT_EQ(reading.Lower, c.Value);
            EXPECT_EQ(reading.Upper, c.Upper);
        }
    }
    // A limit without a short decimal form is reached by its shown text.
    EXPECT_EQ(ReadParameterValue("0.333333333333333", 3, false, 1, 2).Verdict, Ok);
    EXPECT_EQ(ReadParameterValue("0.666666666666667", 3, false, 1, 2).Raw, 2);
    // A refusal says what can be written, in the units the value was given in.
    const TValueReading between = ReadParameterValue("9.65", 10, false, 1, 1000);
    EXPECT_EQ(ValueRefusal(between, "9.65", 10, false, 1, 1000),
              "'9.65' falls between the steps of 0.1; the nearest values that can be written "
              "are 9.6 and 9.7");
    const TValueReading low = ReadParameterValue("0", 10, true, 5, 1000);
    EXPECT_EQ(ValueRefusal(low, "0", 10, true, 5, 1000), "'0' is below the minimum, 5 (raw)");
    const TValueReading high = ReadParameterValue("200", 10, false, 0, 1000);
    EXPECT_EQ(ValueRefusal(high, "200", 10, false, 0, 1000), "'200' is above the maximum, 100");
}

TEST(CliWordsTest, FaultKindsAreToldInEnglish)
{
    TSetError range{TSetFault::OutOfRange, "parameters[2].raw"};
    range.Value = 70000;
    range.Maximum = 65535;
    TSetError kind{TSetFault::WrongType, "type", TSetValueKind::WholeNumber};
    TSetError unread{TSetFault::NotReadable, {}};
    unread.Errno = ENOENT;
    TSetError syntax{TSetFault::NotJson, {}};
    syntax.Place = {2, 13};
    TSetError above{TSetFault::AboveMaximum, "Скорость обмена, кбит/с"};
    above.Value = 2000;
    above.Limit = 1152;
    const std::pair<TSetError, const char *> sets[] = {
        {range, "parameters[2].raw: a number from 0 to 65535 is needed, not 70000"},
        {kind, "type: a whole number is needed"},
        {unread, "cannot read the file: No such file or directory"},
        {syntax, "no valid JSON in UTF-8 at line 2, column 13"},
        {above, "parameter 'Скорость обмена, кбит/с': raw value 2000 is above the maximum, 1152"},
    };
    for (const auto &[error, text] : sets)
        EXPECT_EQ(SetFaultText(error), text);

    EXPECT_EQ(CatalogueFaultText({TCatalogueFault::Malformed, {3, 14}}, "p.cfg"),
              "malformed catalogue file p.cfg: line 3, column 14");
    EXPECT_EQ(CatalogueFaultText({TCatalogueFault::NotFound, {}}, "p.cfg"),
              "no catalogue file: p.cfg");
    EXPECT_EQ(CatalogueFaultText({}, "p.cfg"), "");
    EXPECT_EQ(PortRefusalText("port 3 (/dev/ttyS2)", {TPortFault::AccessRefused, EACCES}),
              "cannot open port 3 (/dev/ttyS2): Permission denied");
}
