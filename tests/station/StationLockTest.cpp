#include "StationLock.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "OtherUser.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::test;
using nimbary::testing::TempDir;

namespace {

using Kind = FileLock::Kind;

TEST(StationLockTest, OneHolderAtATimeAndTheRefusalNamesIt) {
    TempDir dir;
    const std::string path = StationLock::SimulatedStationPath(dir.File("Nimbary.db"));
    EXPECT_EQ(path, dir.File("Nimbary.db.station-lock"));
    StationLock a(path), b(path);
    ASSERT_TRUE(a.TryLock());
    EXPECT_TRUE(a.TryLock());  // taking it again is a no-op
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // nobody else may open it, so nobody else may hold it
    EXPECT_FALSE(b.TryLock());
    EXPECT_TRUE(b.Busy());
    EXPECT_EQ(b.Holder(), static_cast<long>(getpid()));
    EXPECT_EQ(b.HolderText(),
              " (" + CommandName(getpid()) + ", PID " + std::to_string(getpid()) + ")");
    EXPECT_NE(b.ErrorText().find("Another program (" + CommandName(getpid())), std::string::npos);
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

// What may stand where a lock is looked for, and what the lock makes of it:
// anything but what it expects is refused at once, with the reason.
TEST(StationLockTest, RefusesWhatItDidNotExpectWithoutWaiting) {
    TempDir dir;
    BorrowedNode node;
    ASSERT_FALSE(node.Path().empty()) << "no pseudo terminal to lock";
    const std::string file = dir.File("file"), fifo = dir.File("fifo"), link = dir.File("link"),
                      folder = dir.File("folder"), others = dir.File("others");
    ASSERT_EQ(close(open(file.c_str(), O_CREAT | O_WRONLY, 0600)), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(symlink(node.Path().c_str(), link.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(close(open(others.c_str(), O_CREAT | O_WRONLY, 0644)), 0);
    struct Case {
        std::string path;
        Kind kind;
        const char* refusal;  // nullptr: locked
    };
    std::vector<Case> cases = {
        {node.Path(), Kind::DeviceNode, nullptr},
        {file, Kind::DeviceNode, "it is not a device"},
        {fifo, Kind::DeviceNode, "it is not a device"},
        {link, Kind::DeviceNode, "it is a symbolic link"},
        {dir.File("missing"), Kind::DeviceNode, "No such file or directory"},
        {dir.File("new"), Kind::OwnFile, nullptr},
        {file, Kind::OwnFile, nullptr},
        {fifo, Kind::OwnFile, "it is not a regular file"},
        {link, Kind::OwnFile, "it is a symbolic link"},
        {folder, Kind::OwnFile, "it is not a regular file"},
    };
    if (CanBecomeOthers()) {  // only root can give a file away
        ASSERT_EQ(chown(others.c_str(), kAttacker, kAttacker), 0);
        cases.push_back({others, Kind::OwnFile, "it belongs to another user (uid 61428)"});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        StationLock lock(c.path, c.kind);
        // A FIFO's open could wait for a writer: tried in a child first, so
        // that a hang fails the test instead of holding it.
        ASSERT_NE(AsUser(geteuid(), [&] { return lock.TryLock() ? 1 : 0; }), kHung);
        EXPECT_EQ(lock.TryLock(), c.refusal == nullptr);
        EXPECT_FALSE(lock.Busy());
        if (!c.refusal) continue;
        EXPECT_EQ(lock.Problem(), c.refusal);
        EXPECT_NE(lock.ErrorText().find(c.path), std::string::npos) << lock.ErrorText();
    }
    EXPECT_EQ(access(dir.File("link").c_str(), F_OK), 0);  // nothing was removed or followed
}

// Two stations, two locks; one station, one holder.
TEST(StationLockTest, EachNodeIsItsOwnLock) {
    BorrowedNode one, two;
    ASSERT_FALSE(one.Path().empty() || two.Path().empty());
    StationLock a(one.Path(), Kind::DeviceNode), b(two.Path(), Kind::DeviceNode),
        again(one.Path(), Kind::DeviceNode);
    EXPECT_TRUE(a.TryLock());
    EXPECT_TRUE(b.TryLock());
    EXPECT_FALSE(again.TryLock());
    EXPECT_TRUE(again.Busy());
    EXPECT_EQ(again.Holder(), static_cast<long>(getpid()));
    EXPECT_TRUE(a.HeldAtPath());
}

// --- another user against the lock ---

// Where the owner's lock lies.
enum class Place {
    Node,          // the station's device node (a borrowed terminal, the owner's alone)
    SharedFolder,  // a simulated station's database in a folder everyone may write (sticky)
    OwnFolder,     // a simulated station's database in the owner's own folder
};

enum class Attack {
    Hold,           // flock -n LOCK sleep ...: after the owner once used it
    PlantFile,      // made first, as a 0600 file of the attacker's
    PlantFifo,      // made first, as a FIFO
    SwapWhileHeld,  // made first, then removed while the owner holds it
};

// The owner's attempt: 0 locked, 1 busy, 2 refused. With `keep`, a lock
// taken stays taken as long as the process.
int OwnerTry(const std::string& path, Kind kind, bool keep = false) {
    auto lock = std::make_unique<StationLock>(path, kind);
    if (lock->TryLock()) {
        if (keep) lock.release();
        return 0;
    }
    return lock->Busy() ? 1 : 2;
}

// The attacker's moves, 0 when they could be made.
int Hold(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CREAT, 0666);  // as flock(1) does
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : 1;
}
int PlantFile(const std::string& path, mode_t mode) {
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, mode);
    if (fd < 0) return 1;
    fchmod(fd, mode);
    close(fd);
    return 0;
}

TEST(StationLockTest, AnotherUserCannotHoldHangOrSplitTheLock) {
    if (!CanBecomeOthers()) GTEST_SKIP() << "needs root, to act as two other users (setresuid)";
    TempDir dir;
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    const std::string shared = dir.File("shared"), own = dir.File("own");
    ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);  // as /tmp
    ASSERT_EQ(mkdir(own.c_str(), 0755), 0);
    ASSERT_EQ(chown(own.c_str(), kOwner, kOwner), 0);

    const int locked = 0, refused = 2;
    const struct {
        Place place;
        Attack attack;
        bool attackWorks;  // the attacker could make the move at all
        int owner;         // what the owner's next attempt gives
    } cases[] = {
        {Place::Node, Attack::Hold, false, locked},
        {Place::Node, Attack::PlantFile, false, locked},
        {Place::Node, Attack::PlantFifo, false, locked},
        {Place::Node, Attack::SwapWhileHeld, false, locked},
        {Place::OwnFolder, Attack::Hold, false, locked},
        {Place::OwnFolder, Attack::PlantFile, false, locked},
        {Place::OwnFolder, Attack::PlantFifo, false, locked},
        {Place::OwnFolder, Attack::SwapWhileHeld, false, locked},
        // Whoever may write the database's folder may replace the database
        // too; the lock then refuses what was planted, says so, and never
        // hangs nor lets two in.
        {Place::SharedFolder, Attack::Hold, false, locked},
        {Place::SharedFolder, Attack::PlantFile, true, refused},
        {Place::SharedFolder, Attack::PlantFifo, true, refused},
        {Place::SharedFolder, Attack::SwapWhileHeld, true, refused},
    };
    // The node cases need no folder of ours; the folder cases need one the
    // other users can enter.
    const std::string folderless = OthersCannotReachTemp();
    int round = 0;
    for (const auto& c : cases) {
        if (c.place != Place::Node && !folderless.empty()) continue;
        const char* places[] = {"node", "shared folder", "own folder"};
        const char* attacks[] = {"hold", "plant a file", "plant a FIFO", "swap while held"};
        SCOPED_TRACE(std::string(places[int(c.place)]) + ", " + attacks[int(c.attack)]);
        BorrowedNode node(kOwner);
        ASSERT_FALSE(node.Path().empty());
        const std::string db = (c.place == Place::SharedFolder ? shared : own) + "/Nimbary" +
                               std::to_string(++round) + ".db";
        const std::string path =
            c.place == Place::Node ? node.Path() : StationLock::SimulatedStationPath(db);
        const Kind kind = c.place == Place::Node ? Kind::DeviceNode : Kind::OwnFile;
        auto owner = [&] { return OwnerTry(path, kind); };

        int attack = 1;
        std::unique_ptr<Resident> holder;
        if (c.attack == Attack::Hold) {
            ASSERT_EQ(AsUser(kOwner, owner), locked);  // the owner has used it before
            holder = std::make_unique<Resident>(kAttacker, [&] { return Hold(path); });
            attack = holder->Result();
        } else if (c.attack == Attack::PlantFile) {
            attack = AsUser(kAttacker, [&] { return PlantFile(path, 0600); });
        } else if (c.attack == Attack::PlantFifo) {
            attack = AsUser(kAttacker, [&] { return mkfifo(path.c_str(), 0644) == 0 ? 0 : 1; });
        } else {
            attack = AsUser(kAttacker, [&] { return PlantFile(path, 0666); });
            Resident first(kOwner, [&] { return OwnerTry(path, kind, true); });
            const int removed =
                AsUser(kAttacker, [&] { return unlink(path.c_str()) == 0 ? 0 : 1; });
            EXPECT_EQ(removed == 0, c.attackWorks);
            const int second = AsUser(kOwner, owner);
            EXPECT_NE(second, kHung);
            EXPECT_FALSE(first.Result() == locked && second == locked) << "two holders";
            EXPECT_EQ(first.Result(), c.owner);
            EXPECT_EQ(attack == 0, c.attackWorks);
            continue;
        }
        EXPECT_EQ(attack == 0, c.attackWorks);
        EXPECT_EQ(AsUser(kOwner, owner), c.owner);  // never kHung
    }
    if (!folderless.empty())
        GTEST_SKIP() << "the device node's cases ran; the lock files' did not: " << folderless;
}

}  // namespace
