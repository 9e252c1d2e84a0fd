#include "UdevWatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <vector>

namespace nimbary {
namespace {

TEST(UdevWatcherTest, OnlyAddAndRemoveWithANodeAreNotices) {
    std::vector<std::string> seen;
    DeviceNotices notices;
    notices.arrived = [&](const std::string& p) { seen.push_back("+" + p); };
    notices.removed = [&](const std::string& p) { seen.push_back("-" + p); };

    UdevWatcher::Dispatch(notices, "add", "/dev/hidraw3");
    UdevWatcher::Dispatch(notices, "remove", "/dev/hidraw3");
    UdevWatcher::Dispatch(notices, "change", "/dev/hidraw3");
    UdevWatcher::Dispatch(notices, "bind", "/dev/hidraw3");
    UdevWatcher::Dispatch(notices, "add", nullptr);
    UdevWatcher::Dispatch(notices, nullptr, "/dev/hidraw3");
    UdevWatcher::Dispatch(DeviceNotices{}, "add", "/dev/hidraw4");  // no callbacks: ignored
    EXPECT_EQ(seen, (std::vector<std::string>{"+/dev/hidraw3", "-/dev/hidraw3"}));
}

// Without hardware (or a udev daemon) no event comes; what can be checked is
// that setting up and tearing down the monitor is clean, with or without an
// event loop turning.
TEST(UdevWatcherTest, SetsUpAndTearsDownCleanly) {
    int argc = 1;
    char name[] = "nimbary_station_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (int round = 0; round < 2; ++round) {
        UdevWatcher watcher;
        EXPECT_FALSE(watcher.Watching());
        const bool watching = watcher.Watch(DeviceNotices{});
        EXPECT_EQ(watcher.Watching(), watching);
        EXPECT_EQ(watcher.Watch(DeviceNotices{}), watching)
            << "a second Watch only swaps callbacks";
        QCoreApplication::processEvents();
    }
}

}  // namespace
}  // namespace nimbary
