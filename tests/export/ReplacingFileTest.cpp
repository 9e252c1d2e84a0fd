#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "ReplacingFile.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes a file's last change `seconds` ago.
void Age(const std::string& path, int seconds) {
    struct timeval then[2] = {};
    gettimeofday(&then[0], nullptr);
    then[0].tv_sec -= seconds;
    then[1] = then[0];
    utimes(path.c_str(), then);
}

}  // namespace

// Wherever the user may write the target, it is written: in place, from a
// copy made elsewhere, when only the folder refuses; a long name too. A
// file that may not be written, or a new one in a folder that may not, is
// refused. Unfinished, the target stays as it was.
TEST(ReplacingFile, WritesWhereverTheTargetMayBeWritten) {
    if (const std::string why = AsUnprivileged::CannotReachTemp(); !why.empty()) GTEST_SKIP() << why;
    struct Case {
        const char* name;
        mode_t folder, file;  // file 0: none there before
        bool commit, created;
        const char* after;  // the target's text then; nullptr: no target
    };
    const Case cases[] = {
        {"writable file, read-only folder", 0555, 0666, true, true, "new"},
        {"unfinished there", 0555, 0666, false, true, "earlier"},
        {"new file, read-only folder", 0555, 0, true, false, nullptr},
        {"read-only file, writable folder", 0777, 0444, true, false, "earlier"},
        {"new file, writable folder", 0777, 0, true, true, "new"},
        {"unfinished new file", 0777, 0, false, true, nullptr},
    };
    TempDir dir;
    chmod(dir.Path().c_str(), 0755);
    // A temporary folder anyone may write, as /tmp is.
    const std::string temp = dir.File("tmp"), folder = dir.File("f");
    ASSERT_EQ(mkdir(temp.c_str(), 01777), 0);
    chmod(temp.c_str(), 01777);
    const std::string savedTemp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", temp.c_str(), 1);
    for (const Case& c : cases) {
        for (const std::string& name : {std::string("day.csv"), std::string(251, 'n') + ".csv"}) {
            SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(name.size()) + " characters");
            const std::string path = folder + "/" + name;
            ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
            if (c.file) {
                std::ofstream(path) << "earlier";
                chmod(path.c_str(), c.file);
            }
            chmod(folder.c_str(), c.folder);
            bool created = false, done = false;
            {
                AsUnprivileged nobody;
                ASSERT_TRUE(nobody.Active());
                ReplacingFile file(path);
                created = file.Create();
                done = created && file.Write("new", 3) && (!c.commit || file.Commit());
            }
            chmod(folder.c_str(), 0755);
            EXPECT_EQ(created, c.created);
            EXPECT_EQ(done, c.created);
            EXPECT_TRUE(Entries(temp).empty());
            EXPECT_EQ(Entries(folder),
                      c.after ? std::vector<std::string>{name} : std::vector<std::string>{});
            if (c.after) {
                EXPECT_EQ(Slurp(path), c.after);
            }
            struct stat st {};
            if (c.file && stat(path.c_str(), &st) == 0) {
                EXPECT_EQ(st.st_mode & 0777, c.file);
            }
            std::filesystem::remove_all(folder);
        }
    }
    setenv("TMPDIR", savedTemp.c_str(), 1);
    if (savedTemp.empty()) unsetenv("TMPDIR");
}

// A write killed half-way leaves nothing behind, and leftovers of our own
// naming from before (a crash, an earlier version) go at the next file made
// in that folder, unless someone still writes them or they are just made.
TEST(ReplacingFile, NothingIsLeftBehindForLong) {
    TempDir dir;
    const std::string path = dir.File("day.csv");
    const pid_t child = fork();
    if (child == 0) {
        ReplacingFile file(path);
        if (file.Create() && file.Write("half", 4)) std::_Exit(0);  // killed before the commit
        std::_Exit(1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(Entries(dir.Path()).empty());

    const std::vector<std::string> stale = {".nimbary-0123abcd.part", ".day.csv.89ABCDEF.part"};
    const std::vector<std::string> kept = {".nimbary-f0f0f0f0.part", ".nimbary-11111111.part",
                                           ".notes.part", "x.nimbary-22222222.part"};
    for (const auto& names : {stale, kept})
        for (const std::string& name : names) {
            std::ofstream(dir.File(name)) << "part";
            Age(dir.File(name), 120);
        }
    Age(dir.File(".nimbary-f0f0f0f0.part"), 0);
    const int writing = open(dir.File(".nimbary-11111111.part").c_str(), O_RDONLY);
    ASSERT_EQ(flock(writing, LOCK_EX), 0);
    ReplacingFile day(path);
    ASSERT_TRUE(day.Create() && day.Write("day", 3) && day.Commit());
    close(writing);
    std::vector<std::string> left = kept;
    left.push_back("day.csv");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(Entries(dir.Path()), left);
    EXPECT_EQ(Slurp(path), "day");
}
