#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GuiThread.h"

using nimbary::PostToGuiThread;

// Calls from a worker arrive whole and in order while the GUI thread is busy
// and never waits for events (so that no wake-up of its event loop orders
// them: ThreadSanitizer then sees only the hand-over itself).
TEST(PostToGuiThread, CallsFromAWorkerArriveWholeAndInOrder) {
    QObject context;
    std::vector<std::string> got;
    constexpr size_t kCalls = 2000;
    std::atomic<bool> posted{false};
    std::thread worker([&] {
        for (size_t i = 0; i < kCalls; ++i) {
            const std::string text = "call " + std::to_string(i) + std::string(40, '.');
            PostToGuiThread(&context, [&got, text] { got.push_back(text); });
        }
        posted = true;
    });
    QElapsedTimer t;
    t.start();
    while ((!posted || got.size() < kCalls) && t.elapsed() < 20000)
        QCoreApplication::processEvents();
    worker.join();
    ASSERT_EQ(got.size(), kCalls);
    for (size_t i = 0; i < kCalls; ++i)
        ASSERT_EQ(got[i], "call " + std::to_string(i) + std::string(40, '.'));
}

TEST(PostToGuiThread, NothingRunsForAContextGoneAndTheGuiThreadRunsAtOnceUnlessLater) {
    auto gone = std::make_unique<QObject>();
    bool ran = false;
    std::thread([&] { PostToGuiThread(gone.get(), [&ran] { ran = true; }); }).join();
    gone.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);

    QObject context;
    bool now = false, later = false;
    PostToGuiThread(&context, [&now] { now = true; });
    EXPECT_TRUE(now);
    PostToGuiThread(&context, [&later] { later = true; }, true);
    EXPECT_FALSE(later);
    QCoreApplication::processEvents();
    EXPECT_TRUE(later);
}
