// The Windows side of the link: the translations to and from the comm driver's structures,
// the error mapping, the registry settings and the clock. Built and run on Windows (Wine).

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/RegistrySettings.h"
#include "link/SystemSerial.h"
#include "link/Win32Serial.h"
#include "tests/support/TempDir.h"

namespace {

TEST(Win32Line, LinkFormatOverTheDriversOwnSettings)
{
    DCB found{};
    found.DCBlength = sizeof found;
    found.BaudRate = 115200;
    found.ByteSize = 7;
    found.Parity = ODDPARITY;
    found.fDtrControl = DTR_CONTROL_HANDSHAKE;
    found.fRtsControl = RTS_CONTROL_HANDSHAKE;
    found.fAbortOnError = TRUE;
    found.fOutxCtsFlow = TRUE;
    found.XonChar = 0x11;
    TLineSettings line;
    line.RtsToggle = true;
    for (uint32_t stopBits : {0u, 1u, 2u}) {
        line.StopBits = stopBits;
        const DCB dcb = DcbWithLineSettings(found, line);
        EXPECT_EQ(dcb.BaudRate, 9600u);
        EXPECT_EQ(dcb.ByteSize, 8);
        EXPECT_EQ(dcb.Parity, NOPARITY);
        EXPECT_EQ(dcb.StopBits, stopBits == 0   ? ONESTOPBIT
                                : stopBits == 1 ? ONE5STOPBITS
                                                : TWOSTOPBITS);
        EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
        EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
        EXPECT_EQ(dcb.fAbortOnError, 0u);
        // Everything else stays as the driver reported it.
        EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
        EXPECT_EQ(dcb.XonChar, 0x11);
        const TLineSettings back = LineSettingsOfDcb(dcb);
        EXPECT_EQ(back.StopBits, stopBits);
        EXPECT_TRUE(back.RtsToggle);
        EXPECT_FALSE(back.DtrControl);
    }
}

TEST(Win32Timeouts, ZeroTotalReturnsAtOnceAndOthersPassThrough)
{
    // The driver reads all-zero as "wait for every byte": a silent bus would block forever.
    const COMMTIMEOUTS immediate = CommTimeoutsOf(TSerialTimeouts{});
    EXPECT_EQ(immediate.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(immediate.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(immediate.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(TimeoutsOfComm(immediate), TSerialTimeouts{});

    const TSerialTimeouts command{5, 2, 600, 0, 0};
    const COMMTIMEOUTS comm = CommTimeoutsOf(command);
    EXPECT_EQ(comm.ReadIntervalTimeout, 5u);
    EXPECT_EQ(comm.ReadTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(comm.ReadTotalTimeoutConstant, 600u);
    EXPECT_EQ(TimeoutsOfComm(comm), command);
}

TEST(Win32Errors, RemovedConverterIsLostAndBusyPortIsBusy)
{
    for (DWORD gone : {ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_DEVICE_REMOVED,
                       ERROR_OPERATION_ABORTED, ERROR_GEN_FAILURE}) {
        EXPECT_NE(LostErrnoOf(gone), 0) << gone;
    }
    EXPECT_EQ(LostErrnoOf(ERROR_SUCCESS), 0);
    EXPECT_EQ(LostErrnoOf(ERROR_INVALID_PARAMETER), 0);
    EXPECT_EQ(OpenErrnoOf(ERROR_FILE_NOT_FOUND), ENOENT);
    EXPECT_EQ(OpenErrnoOf(ERROR_ACCESS_DENIED), EBUSY);
}

TEST(Win32Port, MissingPortFailsWithNotFoundAndNamesUseTheDeviceForm)
{
    TSystemSerialPlatform platform;
    int error = 0;
    EXPECT_EQ(platform.Open(WindowsComPortName(251), error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(WindowsComPortName(3), "\\\\.\\COM3");
    EXPECT_EQ(WindowsComPortName(12), "\\\\.\\COM12");

    // Without a settings file the numbers name the system's ports.
    unsetenv("LINVAR_SETTINGS");
    EXPECT_EQ(ComPortPath(10), "\\\\.\\COM10");
    EXPECT_EQ(LinkSettingsPath(), RegistryKeyName);
}

// A key of its own under the user's root, removed afterwards.
class TRegistryKey : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Name = "Software\\linvar-test-" + std::to_string(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &Key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(Key);
        RegDeleteKeyA(HKEY_CURRENT_USER, Name.c_str());
    }
    void Set(const char *name, DWORD type, const void *data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExA(Key, name, 0, type, static_cast<const BYTE *>(data), size),
                  ERROR_SUCCESS);
    }

    std::string Name;
    HKEY Key = nullptr;
};

TEST_F(TRegistryKey, EmptyKeyGivesTheDefaults)
{
    const TLinkSettings settings = LinkSettingsFromKey(Key);
    const TLinkSettings defaults;
    EXPECT_EQ(settings.TimeoutConstant, defaults.TimeoutConstant);
    EXPECT_EQ(settings.CmdTimeoutConstant, defaults.CmdTimeoutConstant);
    EXPECT_EQ(settings.TailinUS, defaults.TailinUS);
    EXPECT_FALSE(settings.SmartPI);
    EXPECT_FALSE(settings.USARTMode);
}

TEST_F(TRegistryKey, ValuesUpToFourBytesWithTheFilesBoundsAndPresenceFlags)
{
    const DWORD constant = 250;
    Set("CmdTimeoutConstant", REG_DWORD, &constant, sizeof constant);
    const uint8_t two[2] = {0x34, 0x12}; // shorter data: the low bytes of the number
    Set("TailinUS", REG_BINARY, two, sizeof two);
    const uint64_t wide = 7;
    Set("StartTimeOut", REG_QWORD, &wide, sizeof wide);
    const DWORD huge = 6'000'000;
    Set("TimeoutConstant", REG_DWORD, &huge, sizeof huge);
    Set("SmartPI", REG_SZ, "", 1);
    const DWORD zero = 0;
    Set("USARTMode", REG_DWORD, &zero, sizeof zero);

    std::vector<std::string> warnings;
    const TLinkSettings settings = LinkSettingsFromKey(Key, &warnings);
    EXPECT_EQ(settings.CmdTimeoutConstant, 250u);
    EXPECT_EQ(settings.TailinUS, 0x1234u);
    EXPECT_EQ(settings.StartTimeOut, TLinkSettings().StartTimeOut);       // eight bytes: missing
    EXPECT_EQ(settings.TimeoutConstant, TLinkSettings().TimeoutConstant); // out of bounds
    EXPECT_TRUE(settings.SmartPI);
    EXPECT_TRUE(settings.USARTMode);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("StartTimeOut"), std::string::npos);
    EXPECT_NE(warnings[1].find("TimeoutConstant"), std::string::npos);
}

TEST(Win32Clock, CountersRunForwardAtTheirFrequency)
{
    TSystemSerialPlatform platform;
    const int64_t frequency = platform.CounterFrequency();
    ASSERT_GT(frequency, 0);
    const TTimerResolution resolution;
    const int64_t ticks = platform.Counter();
    const int64_t ns = MonotonicNs();
    platform.SleepMs(20);
    EXPECT_GE(MonotonicNs() - ns, 19'000'000);
    EXPECT_GE((platform.Counter() - ticks) * 1000 / frequency, 19);
    EXPECT_TRUE(platform.RaisePriority());
    EXPECT_FALSE(platform.RaisePriority());
    platform.RestorePriority();
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

} // namespace
