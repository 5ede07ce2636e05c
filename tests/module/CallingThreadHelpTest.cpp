// The calling thread's help: a grab's thread and the host thread waiting in run,
// driven by plain threads: every piece of offered work is done exactly once
// and the grab's thread never leaves while the host thread is still inside
// the work, however the two threads are timed.

#include "CallingThreadHelp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using std::chrono::milliseconds;

// A frame's worth of work items, taken one at a time by whichever thread
// runs `work`; each item counts how often it was done.
struct Items {
    explicit Items(std::size_t count) : done(count) {}
    std::vector<std::atomic<int>> done;
    std::atomic<std::size_t> next{0};
    std::atomic<int> inProgress{0};
    milliseconds itemTime{0};
    const std::function<void()> work = [this] {
        for (std::size_t i = next++; i < done.size(); i = next++) {
            ++inProgress;
            std::this_thread::sleep_for(itemTime);
            ++done[i];
            --inProgress;
        }
    };
    bool eachDoneOnce() const
    {
        for (const std::atomic<int>& d : done) {
            if (d != 1)
                return false;
        }
        return true;
    }
};

struct Timing {
    const char* name;
    bool grabWorksToo;
    milliseconds callerLate;  // before the host thread comes to help
    milliseconds itemTime;
};

void PrintTo(const Timing& t, std::ostream* out) { *out << t.name; }

class CallingThreadHelpTiming : public ::testing::TestWithParam<Timing> {};

TEST_P(CallingThreadHelpTiming, EveryItemDoneOnceAndNobodyInsideAfterWithdraw)
{
    const Timing& t = GetParam();
    CallingThreadHelp callerHelp;
    Items items(5);
    items.itemTime = t.itemTime;
    callerHelp.callerComing();
    std::atomic<int> inProgressAtWithdraw{-1};
    std::thread grab([&] {
        ASSERT_TRUE(callerHelp.callerExpected());
        callerHelp.offer(items.work);
        if (t.grabWorksToo)
            items.work();
        callerHelp.withdraw(items.next, items.done.size());
        inProgressAtWithdraw = items.inProgress.load();
        callerHelp.jobEnded();
    });
    std::this_thread::sleep_for(t.callerLate);
    callerHelp.helpUntilJobEnds();
    grab.join();
    EXPECT_TRUE(items.eachDoneOnce());
    EXPECT_EQ(inProgressAtWithdraw, 0);
}

INSTANTIATE_TEST_SUITE_P(Timings, CallingThreadHelpTiming, ::testing::Values(
    Timing{"HostDoesItAll", false, milliseconds(0), milliseconds(1)},
    Timing{"HostComesLateAndStillDoesItAll", false, milliseconds(30), milliseconds(0)},
    Timing{"BothShare", true, milliseconds(0), milliseconds(2)},
    Timing{"GrabFinishesBeforeHostComes", true, milliseconds(30), milliseconds(0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CallingThreadHelpWithoutOffer, HostThreadReturnsWhenTheGrabEnds)
{
    CallingThreadHelp callerHelp;
    callerHelp.callerComing();
    std::thread grab([&] {
        std::this_thread::sleep_for(milliseconds(20));
        callerHelp.jobEnded();
    });
    callerHelp.helpUntilJobEnds();  // would hang if the end were not passed on
    grab.join();
}

TEST(CallingThreadHelpWithoutOffer, NoHostThreadExpectedUnlessAnnounced)
{
    CallingThreadHelp callerHelp;
    EXPECT_FALSE(callerHelp.callerExpected());
    callerHelp.callerComing();
    EXPECT_TRUE(callerHelp.callerExpected());
}

// Two callers enter the offered work together; the first leaves at once,
// the second stays a while. The work lives on the grab's stack, so the grab
// must not withdraw while the second is still inside.
TEST(CallingThreadHelpTwoCallers, WithdrawWaitsForEveryCallerInside)
{
    CallingThreadHelp callerHelp;
    Items items(1);
    std::atomic<int> entered{0};
    std::atomic<int> inside{0};
    const std::function<void()> work = [&] {
        ++inside;
        const int me = entered++;
        items.work();
        if (me == 0) {  // leaves only once the second is inside too
            for (int waited = 0; entered < 2 && waited < 2000; ++waited)
                std::this_thread::sleep_for(milliseconds(1));
        } else {
            std::this_thread::sleep_for(milliseconds(50));
        }
        --inside;
    };
    callerHelp.callerComing();
    std::thread first([&] { callerHelp.helpUntilJobEnds(); });
    std::thread second([&] { callerHelp.helpUntilJobEnds(); });
    std::this_thread::sleep_for(milliseconds(20));  // both wait for an offer
    std::atomic<int> insideAtWithdraw{-1};
    std::thread grab([&] {
        callerHelp.offer(work);
        callerHelp.withdraw(items.next, items.done.size());
        insideAtWithdraw = inside.load();
        callerHelp.jobEnded();
    });
    grab.join();
    first.join();
    second.join();
    EXPECT_EQ(entered, 2) << "both callers should have entered the work";
    EXPECT_EQ(insideAtWithdraw, 0) << "withdraw returned while a caller was inside the work";
    EXPECT_TRUE(items.eachDoneOnce());
}

// Many grabs in a row with one helper object, as one module object does them.
TEST(CallingThreadHelpRepeated, ThousandGrabsNeitherLoseWorkNorHang)
{
    CallingThreadHelp callerHelp;
    for (int grabNo = 0; grabNo < 1000; ++grabNo) {
        Items items(1 + grabNo % 4);
        const bool offers = grabNo % 5 != 0;
        callerHelp.callerComing();
        std::thread grab([&] {
            if (offers) {
                callerHelp.offer(items.work);
                if (grabNo % 2 == 0)
                    items.work();
                callerHelp.withdraw(items.next, items.done.size());
            } else {
                items.work();
            }
            callerHelp.jobEnded();
        });
        callerHelp.helpUntilJobEnds();
        grab.join();
        ASSERT_TRUE(items.eachDoneOnce()) << "grab " << grabNo;
    }
}

}  // namespace
