// The soak's seam: the record log and the chaos schedule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <unistd.h>

#include "SimChaos.h"
#include "SimOptions.h"
#include "SimTestUtil.h"

namespace nimbary::sim {
namespace {

using test::FrozenConfig;

struct TempLog {
    std::string path;
    TempLog() {
        char name[] = "/tmp/nimbary-simlog-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path = name;
    }
    ~TempLog() { std::remove(path.c_str()); }
    // Lines by their first word; record lines by kind and time.
    std::map<std::string, int> kinds;
    std::map<char, std::multiset<uint32_t>> times;
    void Read() {
        kinds.clear();
        times.clear();
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string kind;
            uint32_t t = 0;
            words >> kind >> t;
            ++kinds[kind];
            if (kind.size() == 1) times[kind[0]].insert(t);
        }
    }
};

// What the memory holds, record by record.
std::multiset<uint32_t> Held(const HistoryMemory& m) {
    std::multiset<uint32_t> out;
    if (m.Empty()) return out;
    for (uint8_t b = m.FirstBlock();; b = m.NextBlock(b)) {
        const BlockEntry e = m.Entry(b);
        for (uint32_t i = 0; i < e.count; ++i) out.insert(e.time + i * e.interval);
        if (b == m.CurrentBlock()) break;
    }
    return out;
}

// Stored, less overwritten and erased, is what the memory holds: across
// data wraps, table wraps and a clear.
TEST(SimLog, AccountsForEveryRecordTheMemoryHeldAndLost) {
    for (const MemoryLayout layout : {MemoryLayout{64, 1000, BlockRing::UpToN, 255},
                                      MemoryLayout{4, 64256, BlockRing::UpToNMinus1, 5}}) {
        SimConfig c = FrozenConfig();
        c.memory = layout;
        c.interval = 60;
        SimStation s(c);
        TempLog log;
        std::string err;
        s.SetLog(SimLog::Create(log.path, err));
        s.AdvanceClock(300 * 60);
        s.ClearMemory();
        s.AdvanceClock(200 * 60);
        log.Read();
        EXPECT_EQ(log.kinds["R"], 501) << "one a minute, the start included";
        EXPECT_GT(log.kinds["D"], 0) << "the ring wrapped";
        EXPECT_GT(log.kinds["C"], 0);
        std::multiset<uint32_t> left = log.times['R'];
        for (char lost : {'D', 'C'})
            for (uint32_t t : log.times[lost]) {
                auto at = left.find(t);
                ASSERT_NE(at, left.end()) << lost << " " << t << " was never stored";
                left.erase(at);
            }
        EXPECT_EQ(left, Held(s.Memory()));
    }
}

TEST(SimChaos, UnplugsFaultsAndClearsThenEndsPluggedAndQuiet) {
    SimConfig c = FrozenConfig();
    c.interval = 60;
    SimBackend backend(std::make_shared<SimStation>(c));
    TempLog log;
    std::string err;
    auto simLog = SimLog::Create(log.path, err);
    backend.Station().SetLog(simLog);
    SimChaos chaos(backend, ChaosPlan{20, 5, 9}, simLog);
    bool sawUnplugged = false;
    uint32_t now = backend.Station().Now();
    const uint32_t end = now + 5 * 86400;
    while (chaos.Step(now)) {
        sawUnplugged = sawUnplugged || !backend.Plugged();
        backend.Station().AdvanceClock(60);
        now = backend.Station().Now();
        ASSERT_LE(now, end + 60) << "the schedule ends on time";
    }
    log.Read();
    EXPECT_TRUE(sawUnplugged);
    EXPECT_GT(log.kinds["U"], 0);
    EXPECT_EQ(log.kinds["U"], log.kinds["P"]) << "every unplug ends in a replug";
    EXPECT_GT(log.kinds["F"], 0);
    EXPECT_GT(log.kinds["X"], 0);
    EXPECT_EQ(log.kinds["END"], 1);
    EXPECT_TRUE(backend.Plugged());
    EXPECT_FALSE(backend.Station().Recording());
    const int records = log.kinds["R"];
    backend.Station().AdvanceClock(3600);
    log.Read();
    EXPECT_EQ(log.kinds["R"], records) << "nothing recorded after the end";
}

// An image that grows goes on in its newest block, as a station that was
// never unplugged from its power.
TEST(SimOptions, ExtendRecordsOnFromTheImagesNewestRecord) {
    char folder[] = "/tmp/nimbary-extend-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    SimConfig c = FrozenConfig(1);
    c.interval = 60;
    SimStation original(c);
    ASSERT_EQ(original.Image().Save(folder), "");
    uint32_t last = 0;
    ASSERT_TRUE(original.Memory().LastRecordTime(last));

    SimOptions o;
    std::vector<std::string> args = {"--sim-image", folder, "--sim-extend", "90"};
    ASSERT_EQ(SimOptions::Parse(args, o), "");
    std::string err;
    auto backend = MakeSimBackend(o, err);
    ASSERT_NE(backend, nullptr) << err;
    const HistoryMemory m = backend->Station().Memory();
    uint32_t newest = 0;
    ASSERT_TRUE(m.LastRecordTime(newest));
    EXPECT_EQ(newest, last + 90 * 60);
    EXPECT_EQ(Held(m).size(), Held(original.Memory()).size() + 90);
    const BlockEntry before = original.Memory().Entry(original.Memory().CurrentBlock());
    const BlockEntry after = m.Entry(original.Memory().CurrentBlock());
    EXPECT_EQ(after.time, before.time) << "the newest block goes on";
    EXPECT_EQ(after.count, std::min(255, before.count + 90));
    EXPECT_FALSE(backend->Station().Recording());
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace nimbary::sim
