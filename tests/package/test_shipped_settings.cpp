// The settings file that the package installs as /etc/linvar/rs485.conf: every setting
// commented out at its default.

#include "link/SettingsFile.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ShippedText()
{
    std::ifstream in(LINVAR_SHIPPED_SETTINGS);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text with the '#' taken off every commented setting ("#Name=value"), as an
// administrator does to change one.
std::string Uncommented(const std::string &text)
{
    std::istringstream lines(text);
    std::string result;
    std::string line;
    while (std::getline(lines, line)) {
        const bool setting = line.size() > 1 && line[0] == '#' &&
                             std::isalpha(static_cast<unsigned char>(line[1])) &&
                             line.find('=') != std::string::npos;
        result += (setting ? line.substr(1) : line) + '\n';
    }
    return result;
}

} // namespace

// As shipped the file sets nothing, so an installed program behaves as one without a file
// (no port is mapped away from its default device).
TEST(ShippedSettings, SetsNothing)
{
    const std::string text = ShippedText();
    ASSERT_FALSE(text.empty()) << LINVAR_SHIPPED_SETTINGS;
    EXPECT_TRUE(ParseSettingsText(text).empty());
}

// Each commented setting is one the program knows, shown at the default the program uses,
// and none is left out: the file tells an administrator the truth about what is in force.
TEST(ShippedSettings, ShowsEverySettingAtItsDefault)
{
    const auto values = ParseSettingsText(Uncommented(ShippedText()));
    for (const char *name :
         {"intervaltimeout", "timeoutmultiplier", "timeoutconstant", "cmdintervaltimeout",
          "cmdtimeoutmultiplier", "cmdtimeoutconstant", "starttimeout", "tailinus",
          "fastsweepallowance", "stopbits", "baudrate", "smartpi", "usartmode"})
        EXPECT_EQ(values.count(name), 1u) << name;

    std::vector<std::string> warnings;
    const TLinkSettings shown = LinkSettingsFromValues(values, &warnings);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    const TLinkSettings defaults;
    EXPECT_EQ(shown.IntervalTimeout, defaults.IntervalTimeout);
    EXPECT_EQ(shown.TimeoutMultiplier, defaults.TimeoutMultiplier);
    EXPECT_EQ(shown.TimeoutConstant, defaults.TimeoutConstant);
    EXPECT_EQ(shown.CmdIntervalTimeout, defaults.CmdIntervalTimeout);
    EXPECT_EQ(shown.CmdTimeoutMultiplier, defaults.CmdTimeoutMultiplier);
    EXPECT_EQ(shown.CmdTimeoutConstant, defaults.CmdTimeoutConstant);
    EXPECT_EQ(shown.StartTimeOut, defaults.StartTimeOut);
    EXPECT_EQ(shown.TailinUS, defaults.TailinUS);
    EXPECT_EQ(shown.StopBits, defaults.StopBits);
    EXPECT_EQ(shown.FastSweepAllowance, defaults.FastSweepAllowance);
    EXPECT_EQ(shown.BaudRate, defaults.BaudRate);
}
