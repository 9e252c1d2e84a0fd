#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "StationLock.h"
#include "TempDir.h"

using namespace nimbary;
using nimbary::testing::TempDir;

TEST(StationLockTest, OneHolderAtATimeAndTheRefusalNamesIt) {
    TempDir dir;
    const std::string path = StationLock::SimulatedStationPath(dir.File("Nimbary.db"));
    EXPECT_EQ(path, dir.File("Nimbary.db.station-lock"));
    StationLock a(path), b(path);
    ASSERT_TRUE(a.TryLock());
    EXPECT_TRUE(a.TryLock());  // taking it again is a no-op
    EXPECT_FALSE(b.TryLock());
    EXPECT_TRUE(b.Busy());
    EXPECT_EQ(b.Holder(), static_cast<long>(getpid()));
    EXPECT_NE(b.ErrorText().find("Another program"), std::string::npos);
    a.Unlock();
    EXPECT_TRUE(b.TryLock());
}

// The lock goes with the process, however it ends.
TEST(StationLockTest, ReleasedWhenTheHolderIsKilled) {
    TempDir dir;
    const std::string path = dir.File("station.lock");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StationLock held(path);
        const char ok = held.TryLock() ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    StationLock mine(path);
    EXPECT_FALSE(mine.TryLock());
    EXPECT_EQ(mine.Holder(), static_cast<long>(child));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(mine.TryLock());
    close(ready[0]);
    close(ready[1]);
}
