#include "InstanceGuard.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <future>

#include "OtherUser.h"

using namespace nimbary;
using namespace nimbary::test;

namespace {

// $XDG_RUNTIME_DIR for one test, given back after it.
class RuntimeFolder {
public:
    // `mode` 0: none at all.
    explicit RuntimeFolder(mode_t mode = 0700) : old_(qgetenv("XDG_RUNTIME_DIR")) {
        had_ = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        if (mode == 0) {
            qunsetenv("XDG_RUNTIME_DIR");
            return;
        }
        chmod(QFile::encodeName(root_.path()).constData(), mode);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root_.path()));
    }
    ~RuntimeFolder() {
        if (had_)
            qputenv("XDG_RUNTIME_DIR", old_);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }
    QString Path() const { return root_.path(); }

private:
    QTemporaryDir root_;
    QByteArray old_;
    bool had_ = false;
};

using State = InstanceGuard::State;

// One copy per data folder; the guard lies in the user's runtime folder, or,
// where there is none that only the user may enter, in the data folder.
TEST(InstanceGuardTest, OneCopyPerDataFolderWhereverTheGuardLies) {
    const struct {
        const char* name;
        mode_t runtimeMode;
        bool inRuntime;
    } cases[] = {
        {"private runtime folder", 0700, true},
        {"runtime folder others may enter", 0755, false},
        {"no runtime folder", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RuntimeFolder runtime(c.runtimeMode);
        QTemporaryDir root;
        const QString data = root.filePath("data/Nimbary");  // not made yet
        InstanceGuard first(data);
        ASSERT_EQ(first.Status(), State::Acquired) << first.Problem().toStdString();
        EXPECT_EQ(QFileInfo(first.LockPath()).absolutePath(), c.inRuntime ? runtime.Path() : data);
        EXPECT_EQ(first.SocketPath().isEmpty(), !c.inRuntime);
        struct stat st;
        ASSERT_EQ(stat(QFile::encodeName(first.LockPath()).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(InstanceGuard(data).Status(), State::Running);
        EXPECT_EQ(InstanceGuard(data + "/").Status(), State::Running);  // the same folder
        EXPECT_EQ(InstanceGuard(root.filePath("other")).Status(), State::Acquired);
    }
}

// Something in the guard's place that is not its file: said, at once.
TEST(InstanceGuardTest, AGuardThatCannotBeTakenSaysWhy) {
    RuntimeFolder runtime;
    QTemporaryDir root;
    const QString data = root.filePath("data");
    const QString path = InstanceGuard(data).LockPath();
    QFile::remove(path);
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // In a child, so that a hang in open() fails the test instead of holding it.
    const int state =
        AsUser(geteuid(), [&] { return static_cast<int>(InstanceGuard(data).Status()); });
    EXPECT_EQ(state, static_cast<int>(State::Failed));
    InstanceGuard guard(data);
    EXPECT_EQ(guard.Problem(), path + ": it is not a regular file");
}

// A second start asks the first to come to the front, over the socket
// beside the guard; without a runtime folder there is no socket to ask.
TEST(InstanceGuardTest, ASecondStartRaisesTheFirst) {
    for (bool withRuntime : {true, false}) {
        SCOPED_TRACE(withRuntime ? "runtime folder" : "none");
        RuntimeFolder runtime(withRuntime ? 0700 : 0);
        QTemporaryDir root;
        InstanceGuard first(root.filePath("data"));
        int raised = 0;
        EXPECT_EQ(first.Listen([&] { ++raised; }), withRuntime);
        InstanceGuard second(root.filePath("data"));
        ASSERT_EQ(second.Status(), State::Running);
        auto asked = std::async(std::launch::async, [&] { return second.AskToRaise(5000); });
        while (asked.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QTest::qWait(10);
        EXPECT_EQ(asked.get(), withRuntime);
        EXPECT_EQ(raised, withRuntime ? 1 : 0);
    }
}

// Another user who knows the data folder's name can no longer take the
// guard first: not at the old predictable name in the shared temporary
// folder, and not in the owner's runtime folder, which he cannot enter.
TEST(InstanceGuardTest, AnotherUserCannotTakeTheGuardFirst) {
    if (!CanBecomeOthers()) GTEST_SKIP() << "needs root, to act as two other users (setresuid)";
    if (const std::string why = OthersCannotReachTemp(); !why.empty()) GTEST_SKIP() << why;
    QTemporaryDir root;
    const QString shared = root.filePath("tmp"), run = root.filePath("run"),
                  data = root.filePath("home/.local/share/Nimbary");
    QDir().mkpath(shared);
    QDir().mkpath(run);
    QDir().mkpath(data);
    auto name = [](const QString& p) { return QFile::encodeName(p).toStdString(); };
    chmod(name(root.path()).c_str(), 0755);
    chmod(name(shared).c_str(), 01777);
    chown(name(run).c_str(), kOwner, kOwner);
    chmod(name(run).c_str(), 0700);
    for (const QString& dir : {root.filePath("home"), root.filePath("home/.local"),
                               root.filePath("home/.local/share"), data})
        chown(name(dir).c_str(), kOwner, kOwner);
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(data).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const std::vector<std::string> targets = {
        name(shared + "/nimbary-" + key + ".lock"),  // where it was
        name(run + "/nimbary-" + key + ".lock"),     // where it is
        name(data + "/.nimbary-instance.lock"),      // where it is without a runtime folder
    };
    for (const std::string& t : targets) {
        SCOPED_TRACE(t);
        const int planted = AsUser(kAttacker, [&] {
            const int fd = open(t.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
            return fd >= 0 ? 0 : 1;
        });
        EXPECT_EQ(planted == 0, t == targets[0]);
    }
    for (bool withRuntime : {true, false}) {
        SCOPED_TRACE(withRuntime ? "runtime folder" : "none");
        const int state = AsUser(kOwner, [&] {
            qputenv("TMPDIR", QFile::encodeName(shared));
            if (withRuntime)
                qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run));
            else
                qunsetenv("XDG_RUNTIME_DIR");
            return static_cast<int>(InstanceGuard(data).Status());
        });
        EXPECT_EQ(state, static_cast<int>(State::Acquired));
    }
}

}  // namespace
