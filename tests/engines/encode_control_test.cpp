#include "engines/encode_control.h"

#include "app/error_log.h"

#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void WaitUntil(const std::function<bool()>& condition) {
    QDeadlineTimer patience(60000);
    while (!condition() && !patience.hasExpired()) {
        QThread::msleep(1);
    }
}

int NiceOf(int threadId) {
    errno = 0;
    return getpriority(PRIO_PROCESS, static_cast<id_t>(threadId));
}

TEST(EncodeControlTest, AnEndedWorkerNeverClearsItsSuccessor) {
    EncodeControl control;
    std::atomic<bool> firstEnded{false};
    std::unique_ptr<WorkerTicket> stale;
    ASSERT_TRUE(control.StartWorker(
        [&](const WorkerTicket& ticket) {
            stale = std::make_unique<WorkerTicket>(ticket);
            firstEnded = true;
        },
        PRIORITY_NORMAL));
    WaitUntil([&] { return firstEnded && !control.IsWorkerRunning(); });
    std::atomic<bool> release{false};
    ASSERT_TRUE(control.StartWorker(
        [&](const WorkerTicket&) { WaitUntil([&] { return release.load(); }); }, PRIORITY_NORMAL));
    stale->Finish();
    EXPECT_TRUE(control.IsWorkerRunning());
    release = true;
}

// A client's worker reports its errors on the connection that started it.
TEST(EncodeControlTest, TheWorkerCarriesTheErrorRouteOfItsStarter) {
    EncodeControl control;
    std::atomic<int> seen{-2};
    {
        const ErrorRouteScope route(42);
        ASSERT_TRUE(control.StartWorker([&](const WorkerTicket&) { seen = CurrentErrorRoute(); },
                                        PRIORITY_NORMAL));
    }
    WaitUntil([&] { return !control.IsWorkerRunning(); });
    EXPECT_EQ(seen.load(), 42);
    EXPECT_EQ(CurrentErrorRoute(), 0);
}

TEST(EncodeControlTest, PriorityActsOnTheWorkerThreadOnly) {
    EncodeControl control;
    const int ownNice = NiceOf(static_cast<int>(gettid()));
    std::atomic<int> workerId{0};
    std::atomic<bool> release{false};
    ASSERT_TRUE(control.StartWorker(
        [&](const WorkerTicket&) {
            workerId = static_cast<int>(gettid());
            WaitUntil([&] { return release.load(); });
        },
        PRIORITY_LOW));
    WaitUntil([&] { return workerId != 0; });
    EXPECT_EQ(NiceOf(workerId), ownNice + NiceOffsetForPriority(PRIORITY_LOW));
    EXPECT_EQ(NiceOf(static_cast<int>(gettid())), ownNice);
    // Lowering further always works; a refused raise changes nothing.
    control.SetEncodePriority(PRIORITY_LOW);
    control.SetEncodePriority(7);
    EXPECT_EQ(NiceOf(workerId), ownNice + NiceOffsetForPriority(PRIORITY_LOW));
    control.SetEncodePriority(PRIORITY_HIGHEST);
    const int after = NiceOf(workerId);
    EXPECT_TRUE(after == ownNice + NiceOffsetForPriority(PRIORITY_LOW) ||
                after == ownNice + NiceOffsetForPriority(PRIORITY_HIGHEST));
    release = true;
}

} // namespace
