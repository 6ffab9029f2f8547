#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "link/LineSpeed.h"
#include "link/LinkState.h"
#include "link/NumberText.h"
#include "link/SettingsFile.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<uint32_t> Numbers(const TLinkSettings &s)
{
    return {s.IntervalTimeout,
            s.TimeoutMultiplier,
            s.TimeoutConstant,
            s.CmdIntervalTimeout,
            s.CmdTimeoutMultiplier,
            s.CmdTimeoutConstant,
            s.StartTimeOut,
            s.TailinUS,
            s.StopBits};
}

TLinkSettings FromText(const std::string &text)
{
    return LinkSettingsFromValues(ParseSettingsText(text));
}

} // namespace

TEST(Settings, NumberFormats)
{
    struct TCase
    {
        const char *Text;
        uint32_t Value; // 30, the default, when the text does not count
    };
    const TCase cases[] = {
        {"0", 0},
        {"31", 31},
        {" 600 ", 600},
        {"010", 10}, // decimal, not octal
        {"0x1F", 31},
        {"0XfF", 255},
        {"60000", 60000},
        {"0xEA60", 60000},
        {"4294967296", 30},
        {"0x100000000", 30}, // wider than 32 bits
        {"99999999999999999999999", 30},
        {"", 30},
        {"0x", 30},
        {"-1", 30},
        {"+5", 30},
        {"12ms", 30},
        {"1 2", 30},
        {"0x1G", 30},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(FromText(std::string("TimeoutConstant=") + c.Text).TimeoutConstant, c.Value)
            << c.Text;
    }
}

// The number reader's other form and its limits, which the settings' range never reaches.
TEST(NumberText, SignedDecimalAndLimits)
{
    struct TCase
    {
        const char *Text;
        TNumberForm Form;
        bool Ok;
        int64_t Value;
    };
    constexpr auto Hex = TNumberForm::DecimalOrHex;
    constexpr auto Signed = TNumberForm::SignedDecimal;
    const TCase cases[] = {
        {"+5", Signed, true, 5},
        {"-5", Signed, true, -5},
        {"007", Signed, true, 7},
        {"-9223372036854775808", Signed, true, INT64_MIN},
        {"9223372036854775807", Signed, true, INT64_MAX},
        {"9223372036854775808", Signed, false, 0},
        {"-9223372036854775809", Signed, false, 0},
        {"18446744073709551621", Signed, false, 0}, // 2^64 + 5 must not wrap to 5
        {"0x10", Signed, false, 0},
        {"+-5", Signed, false, 0},
        {"-", Signed, false, 0},
        {" 5", Signed, false, 0},
        {"0x7FFFFFFFFFFFFFFF", Hex, true, INT64_MAX},
        {"0x8000000000000000", Hex, false, 0},
        {"0x10000000000000005", Hex, false, 0},
        {"-5", Hex, false, 0},
    };
    for (const TCase &c : cases) {
        int64_t value = 12345;
        EXPECT_EQ(ParseNumber(c.Text, INT64_MIN, INT64_MAX, value, c.Form), c.Ok) << c.Text;
        EXPECT_EQ(value, c.Ok ? c.Value : 12345) << c.Text;
    }
    int64_t value = 0;
    EXPECT_TRUE(ParseNumber("-3", -3, 3, value, Signed));
    EXPECT_FALSE(ParseNumber("-4", -3, 3, value, Signed));
    EXPECT_FALSE(ParseNumber("4", -3, 3, value, Signed));
}

TEST(Settings, MissingFileGivesDefaultsAndIsCreatedEmpty)
{
    TTempDir dir;
    const std::string path = dir.File("etc/rs485.conf");
    dir.SetEnv("LINVAR_SETTINGS", path);
    LinkSettings.TimeoutConstant = 1;
    LinkSettings.SmartPI = true;
    LoadLinkSettings();
    EXPECT_EQ(Numbers(LinkSettings), (std::vector<uint32_t>{0, 0, 30, 0, 0, 600, 4, 400, 0}));
    EXPECT_FALSE(LinkSettings.SmartPI);
    EXPECT_FALSE(LinkSettings.USARTMode);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(Settings, ExistingFileIsNeverWritten)
{
    TTempDir dir;
    const std::string text = "# mine\nTimeoutConstant=50\nBaudRate=19200\n[Other]\nx=1\n";
    const std::string path = dir.Write("rs485.conf", text);
    const auto before = std::filesystem::last_write_time(path);
    dir.SetEnv("LINVAR_SETTINGS", path);
    LoadLinkSettings();
    EXPECT_EQ(LinkSettings.TimeoutConstant, 50u);
    // The settings' speed is the one the next opening sets.
    EXPECT_EQ(BaudRate, 19200u);
    EXPECT_EQ(std::filesystem::file_size(path), text.size());
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    LinkSettings = TLinkSettings();
    SetComState(DefaultBaudRate);
}

TEST(Settings, ValuesOfTheKeySectionOnly)
{
    const TLinkSettings s = FromText("IntervalTimeout = 5\n"
                                     "[Some\\Other\\Key]\n"
                                     "TimeoutMultiplier=7\nSmartPI=1\n"
                                     "[software\\kaven\\velmo\\rs]\n"
                                     "tailinus=0x10\n"
                                     "CmdTimeoutConstant=100\n"
                                     "CmdTimeoutConstant=200\n"
                                     "; comment\n# comment\n"
                                     "StopBits=2\n");
    EXPECT_EQ(Numbers(s), (std::vector<uint32_t>{5, 0, 30, 0, 0, 200, 4, 16, 2}));
    EXPECT_FALSE(s.SmartPI);
}

TEST(Settings, UnusableNumbersKeepDefaults)
{
    const TLinkSettings s = FromText("TimeoutConstant=0x100000000\n" // more than 32 bits
                                     "CmdTimeoutConstant=fast\n"
                                     "StartTimeOut=\n"
                                     "TailinUS\n"
                                     "StopBits=3\n");
    EXPECT_EQ(Numbers(s), (std::vector<uint32_t>{0, 0, 30, 0, 0, 600, 4, 400, 0}));
    // A stop-bit code far out of range would make the character time divide by zero.
    EXPECT_EQ(FromText("StopBits=4294967295").StopBits, 0u);
    EXPECT_EQ(FromText("StopBits=1").StopBits, 1u);
}

TEST(Settings, ValuesFarOutsideSenseCountAsMissingAndAreReported)
{
    struct TCase
    {
        const char *Line;
        uint32_t TLinkSettings::*Field;
        uint32_t Value;
        const char *Warning; // nullptr: none
    };
    const TCase cases[] = {
        {"TimeoutConstant=60000", &TLinkSettings::TimeoutConstant, 60000, nullptr},
        {"TimeoutConstant=60001", &TLinkSettings::TimeoutConstant, 30,
         "TimeoutConstant=60001 ignored: above 60000 ms; 30 applies"},
        {"CmdTimeoutConstant=0x7FFFFFFF", &TLinkSettings::CmdTimeoutConstant, 600, "above 60000"},
        {"StartTimeOut=600000", &TLinkSettings::StartTimeOut, 4, "above 60000 ms; 4 applies"},
        {"IntervalTimeout=70000", &TLinkSettings::IntervalTimeout, 0, "above 60000"},
        {"CmdIntervalTimeout=60000", &TLinkSettings::CmdIntervalTimeout, 60000, nullptr},
        {"TimeoutMultiplier=200", &TLinkSettings::TimeoutMultiplier, 200, nullptr},
        {"CmdTimeoutMultiplier=201", &TLinkSettings::CmdTimeoutMultiplier, 0, "above 200 ms"},
        {"TailinUS=1000000", &TLinkSettings::TailinUS, 1000000, nullptr},
        {"TailinUS=1000001", &TLinkSettings::TailinUS, 400, "above 1000000 us; 400 applies"},
        {"StopBits=3", &TLinkSettings::StopBits, 0, "StopBits=3 ignored: above 2; 0 applies"},
        {"CmdTimeoutConstant=fast", &TLinkSettings::CmdTimeoutConstant, 600,
         "CmdTimeoutConstant=fast ignored: not a number from 0 to 60000; 600 applies"},
        // Only the standard speeds: anything else is refused like any bad value.
        {"BaudRate=0x4B00", &TLinkSettings::BaudRate, 19200, nullptr},
        {"BaudRate=1200", &TLinkSettings::BaudRate, 1200, nullptr},
        {"BaudRate=115200", &TLinkSettings::BaudRate, 115200, nullptr},
        {"BaudRate=14400", &TLinkSettings::BaudRate, 9600,
         "BaudRate=14400 ignored: not one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, "
         "115200; 9600 applies"},
        {"BaudRate=230400", &TLinkSettings::BaudRate, 9600, "not one of"},
        {"BaudRate=0", &TLinkSettings::BaudRate, 9600, "not one of"},
        {"BaudRate=fast", &TLinkSettings::BaudRate, 9600, "not one of"},
        {"BaudRate=", &TLinkSettings::BaudRate, 9600, "not one of"},
    };
    for (const TCase &c : cases) {
        std::vector<std::string> warnings;
        const TLinkSettings s = LinkSettingsFromValues(ParseSettingsText(c.Line), &warnings);
        EXPECT_EQ(s.*c.Field, c.Value) << c.Line;
        if (c.Warning == nullptr) {
            EXPECT_TRUE(warnings.empty()) << c.Line;
        } else {
            ASSERT_EQ(warnings.size(), 1u) << c.Line;
            EXPECT_NE(warnings[0].find(c.Warning), std::string::npos) << warnings[0];
        }
    }

    // Names that are no setting are reported; port lines only as the lookup spells them.
    std::vector<std::string> warnings;
    LinkSettingsFromValues(ParseSettingsText("Frobnicate=1\nCOM5=/dev/a\nCOM05=/dev/b\n"
                                             "COM256=/dev/c\nSmartPI\nusartmode=0\n"
                                             "[Other]\nElsewhere=1\n"),
                           &warnings);
    EXPECT_EQ(warnings, (std::vector<std::string>{"unknown setting 'com05' ignored",
                                                  "unknown setting 'com256' ignored",
                                                  "unknown setting 'frobnicate' ignored"}));
}

TEST(Settings, PresenceFlagsWhateverTheValue)
{
    for (const char *text : {"SmartPI=1", "SmartPI=0", "SmartPI=", "SmartPI", "smartpi=no"}) {
        EXPECT_TRUE(FromText(text).SmartPI) << text;
        EXPECT_FALSE(FromText(text).USARTMode) << text;
    }
    for (const char *text : {"USARTMode=0", "USARTMode"}) {
        EXPECT_TRUE(FromText(text).USARTMode) << text;
    }
    EXPECT_FALSE(FromText("# SmartPI=1\n[Elsewhere]\nSmartPI=1\n").SmartPI);
}

TEST(Settings, PortPathsByDefaultRule)
{
    struct TCase
    {
        uint8_t Number;
        const char *Path;
    };
    const TCase cases[] = {
        {0, ""},
        {1, "/dev/ttyUSB0"},
        {15, "/dev/ttyUSB14"},
        {99, "/dev/ttyUSB98"},
        {100, "/dev/ttyS0"},
        {103, "/dev/ttyS3"},
        {199, "/dev/ttyS99"},
        {200, "/dev/ttyACM0"},
        {255, "/dev/ttyACM55"},
    };
    for (const TCase &c : cases) {
        EXPECT_EQ(DefaultComPortPath(c.Number), c.Path) << int(c.Number);
    }
}

TEST(Settings, PortPathOverrides)
{
    const auto values = ParseSettingsText("COM5=/dev/serial/by-id/usb-FTDI_X-if00-port0\n"
                                          "com10 = /tmp/bus\n"
                                          "COM0=/dev/ttyS0\n");
    EXPECT_EQ(ComPortPathFromValues(values, 5), "/dev/serial/by-id/usb-FTDI_X-if00-port0");
    EXPECT_EQ(ComPortPathFromValues(values, 10), "/tmp/bus");
    EXPECT_EQ(ComPortPathFromValues(values, 0), "/dev/ttyS0");
    EXPECT_EQ(ComPortPathFromValues(values, 6), "/dev/ttyUSB5");

    TTempDir dir;
    dir.UseSettings("COM7=/dev/ttyAMA0\n");
    EXPECT_EQ(ComPortPath(7), "/dev/ttyAMA0");
    EXPECT_EQ(LinkSettingsPath(), dir.File("rs485.conf"));
}

TEST(Settings, DefaultLocation)
{
    unsetenv("LINVAR_SETTINGS");
    EXPECT_EQ(LinkSettingsPath(), "/etc/linvar/rs485.conf");
}
