#include "catalogue/DeviceCatalogue.h"
#include "workers/DeviceListEntry.h"
#include "workers/StartWorker.h"
#include "workers/TMessageQueue.h"
#include "workers/TThread.h"
#include "workers/WorkerMessages.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A worker that spins until it is stopped, counting its live instances.
class TSpinningWorker final : public TThread
{
public:
    static std::atomic<int> Alive;
    TSpinningWorker() { ++Alive; }
    ~TSpinningWorker() override { --Alive; }

protected:
    void Execute() override
    {
        while (!Stop.load())
            std::this_thread::yield();
        PostToMainWindow(WM_USER + 1, 0, 0);
    }
};
std::atomic<int> TSpinningWorker::Alive{0};

} // namespace

TEST(ThreadTest, HandleOutlivesTheSelfFreeingWorker)
{
    TMessageQueue queue;
    SetMainWindowTarget(&queue);
    TWorkerHandle first, second;
    ASSERT_TRUE(StartWorker<TSpinningWorker>(first));
    ASSERT_TRUE(StartWorker<TSpinningWorker>(second));
    EXPECT_TRUE(first.Started());
    EXPECT_TRUE(first.Running());
    EXPECT_FALSE(first.WaitFor(std::chrono::milliseconds(20)));

    first.RequestStop();
    first.Wait();
    EXPECT_FALSE(first.Running());
    EXPECT_TRUE(second.Running());
    first.RequestStop(); // on an ended worker: harmless

    StopAllWorkers();
    WaitAllWorkers();
    EXPECT_EQ(RunningWorkers(), 0u);
    EXPECT_EQ(TSpinningWorker::Alive.load(), 0);
    EXPECT_FALSE(second.Running());
    EXPECT_EQ(queue.Size(), 2u);
    SetMainWindowTarget(nullptr);

    TWorkerHandle empty;
    EXPECT_FALSE(empty);
    EXPECT_FALSE(empty.Running());
    empty.Wait();
}

TEST(MessagesTest, EachPosterKeepsItsOrderAndANullTargetDrops)
{
    TMessageQueue queue;
    SetMainWindowTarget(&queue);
    constexpr uint32_t Posters = 4;
    constexpr uint32_t PerPoster = 2000;
    std::vector<std::thread> threads;
    for (uint32_t p = 0; p < Posters; ++p) {
        threads.emplace_back([p] {
            for (uint32_t i = 0; i < PerPoster; ++i)
                PostToMainWindow(WM_PROGRESS, p, i);
        });
    }
    for (auto &t : threads)
        t.join();

    std::vector<uint32_t> next(Posters, 0);
    TPostedMessage message;
    while (queue.Next(message, std::chrono::milliseconds(0))) {
        ASSERT_LT(message.WParam, Posters);
        EXPECT_EQ(message.LParam, next[message.WParam]);
        ++next[message.WParam];
    }
    EXPECT_EQ(next, std::vector<uint32_t>(Posters, PerPoster));

    SetMainWindowTarget(nullptr);
    PostToMainWindow(WM_SEARCHDONE, 0, 0);
    EXPECT_EQ(queue.Size(), 0u);
}

TEST(DeviceListEntryTest, TextAndTagFromDeviceFound)
{
    SetTypeName(0x12, Utf8ToCp1251("Прибор Н"));
    struct TCase
    {
        uint32_t WParam, LParam;
        const char *Text; // UTF-8
        uint8_t Address, Type;
        uint16_t Version;
    };
    const TCase cases[] = {
        {0x0512, 111, "Адрес: 5 Тип: Прибор Н, версия: 1.11", 5, 0x12, 111},
        {0x0512, 0, "Адрес: 5 Тип: Прибор Н, версия: ", 5, 0x12, 0},
        {0x7FFE, 1200, "Адрес: 127 Тип: Неизвестный, версия: 12.00", 127, 0xFE, 1200},
        {0x0012, 65535, "Адрес: 0 Тип: Прибор Н, версия: 655.35", 0, 0x12, 65535},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Text);
        const auto entry = DeviceListEntry::FromDeviceFound(c.WParam, c.LParam);
        EXPECT_EQ(entry.TextUtf8(), c.Text);
        EXPECT_EQ(entry.Text, Utf8ToCp1251(c.Text));
        EXPECT_EQ(entry.Tag, c.LParam * 65536 + c.WParam);
        EXPECT_EQ(entry.Address(), c.Address);
        EXPECT_EQ(entry.Type(), c.Type);
        EXPECT_EQ(entry.Version(), c.Version);

        uint8_t address = 0, type = 0;
        uint16_t version = 0;
        DecodeDeviceTag(entry.Tag, address, type, version);
        EXPECT_EQ(MakeDeviceTag(address, type, version), entry.Tag);
        EXPECT_EQ(address, c.Address);
    }
}
