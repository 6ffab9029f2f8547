#include <gtest/gtest.h>

#include <filesystem>

#include "SettingsFile.h"
#include "TempDir.h"

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
        bool Ok;
        uint32_t Value;
    };
    const TCase cases[] = {
        {"0", true, 0},
        {"30", true, 30},
        {" 600 ", true, 600},
        {"0x1F", true, 31},
        {"0XfF", true, 255},
        {"4294967295", true, 0xFFFFFFFF},
        {"0xFFFFFFFF", true, 0xFFFFFFFF},
        {"4294967296", false, 0},
        {"0x100000000", false, 0}, // wider than 32 bits
        {"99999999999999999999999", false, 0},
        {"", false, 0},
        {"0x", false, 0},
        {"-1", false, 0},
        {"12ms", false, 0},
        {"1 2", false, 0},
        {"0x1G", false, 0},
    };
    for (const TCase &c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseSettingNumber(c.Text, value), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(value, c.Value) << c.Text;
        }
    }
}

TEST(Settings, MissingFileGivesDefaultsAndIsCreatedEmpty)
{
    TTempDir dir;
    const std::string path = dir.File("etc/rs485.conf");
    TSettingsEnv env(path);
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
    const std::string text = "# mine\nTimeoutConstant=50\n[Other]\nx=1\n";
    const std::string path = dir.Write("rs485.conf", text);
    const auto before = std::filesystem::last_write_time(path);
    TSettingsEnv env(path);
    LoadLinkSettings();
    EXPECT_EQ(LinkSettings.TimeoutConstant, 50u);
    EXPECT_EQ(std::filesystem::file_size(path), text.size());
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
    LinkSettings = TLinkSettings();
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
    TSettingsEnv env(dir.Write("rs485.conf", "COM7=/dev/ttyAMA0\n"));
    EXPECT_EQ(ComPortPath(7), "/dev/ttyAMA0");
    EXPECT_EQ(LinkSettingsPath(), dir.File("rs485.conf"));
}

TEST(Settings, DefaultLocation)
{
    unsetenv("LINVAR_SETTINGS");
    EXPECT_EQ(LinkSettingsPath(), "/etc/linvar/rs485.conf");
}
