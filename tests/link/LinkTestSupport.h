#pragma once
// Shared pieces of the link tests: a fixture with the recording fake installed, default
// settings and an empty settings file.

#include <gtest/gtest.h>

#include <memory>

#include "link/LineSpeed.h"
#include "link/Link.h"
#include "tests/support/FakeSerialPlatform.h"
#include "tests/support/TempDir.h"

class TLinkOnFake : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Dir.UseSettings("");
        LinkSettings = TLinkSettings();
        InitPerfFrequency();
    }
    void TearDown() override
    {
        CloseComPort();
        LinkSettings = TLinkSettings();
        SetComState(DefaultBaudRate);
        PerfFrequency = 0;
    }
    // Opens port 1 on the fake and forgets the calls the opening made.
    void OpenPort()
    {
        ASSERT_TRUE(OpenComPort(1));
        Fake.ClearCalls();
    }

    TFakeSerialPlatform Fake;
    TTempDir Dir;
};
