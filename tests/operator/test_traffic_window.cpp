// The traffic window as an operator meets it: opened after a search on a bus with one
// misbehaving device, it already holds that search, and its health view marks the device.

#include "tests/operator/OperatorSupport.h"

#include <fstream>
#include <iterator>

namespace {

using TrafficWindow = TOperatorTest;

// Rows of `image` holding a strongly red pixel: the text of a marked device.
std::vector<int> RedRows(const TImage &image)
{
    std::vector<int> rows;
    for (int y = 0; y < image.Height; ++y) {
        for (int x = 0; x < image.Width; ++x) {
            const uint32_t p = image.At(x, y);
            if ((p >> 16 & 0xFF) > 160 && (p >> 8 & 0xFF) < 90 && (p & 0xFF) < 90) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

} // namespace

TEST_F(TrafficWindow, OpenedAfterASearchItsHealthViewMarksTheFaultyDevice)
{
    // The operator bus, its last device (90) garbling its first ping reply.
    std::ifstream in(LINVAR_OPERATOR_BUS);
    const std::string bus((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TTempDir dir("linvar-operator-traffic-");
    const std::string conf = dir.Write("bus.conf", bus + "fault bad-crc on ping count 1\n");
    Run = std::make_unique<TLinvarRun>(std::string(), false, conf);
    ASSERT_TRUE(Run->Ready()) << Run->Error();
    TLinvarRun &run = *Run;
    ASSERT_TRUE(run.Poll());

    run.Click(Layout::TrafficMenu);
    TXWindow traffic = NoWindow;
    ASSERT_TRUE(WaitUntil([&] {
        for (TXWindow window : run.Dialogs()) {
            if (run.X.Title(window) == "Обмен по линии" && run.X.Viewable(window))
                traffic = window;
        }
        return traffic != NoWindow;
    })) << run.ProgramOutput();
    // It was recording before it opened: the search's attempts fill its rows.
    EXPECT_TRUE(WaitUntil([&] { return InkBands(run.X.Grab(traffic, Layout::TrafficRows)) > 10; }));
    run.X.Click(traffic, Layout::HealthTab);
    // Four devices answered; only 90, one failed attempt in three, is drawn in red.
    std::vector<int> red;
    EXPECT_TRUE(WaitUntil([&] {
        red = RedRows(run.X.Grab(traffic, Layout::HealthRows));
        return !red.empty();
    }));
    ASSERT_FALSE(red.empty());
    EXPECT_LT(red.back() - red.front(), Layout::HealthRowPitch) << "more than one row marked";
    // 90 is the last of the four rows, ordered by address.
    EXPECT_GE(red.front(), 3 * Layout::HealthRowPitch);
}
