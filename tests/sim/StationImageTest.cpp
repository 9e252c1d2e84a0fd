// Station images on disk: save, load, and clear errors for broken folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "SimTestUtil.h"
#include "StationImage.h"

namespace nimbary::sim {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

class StationImageTest : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbary-sim-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream f(dir_ + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    std::string dir_;
};

// Every answer the memory commands give, concatenated.
Bytes MemoryAnswers(HidDevice& dev) {
    Bytes all;
    auto add = [&](const std::vector<uint8_t>& req) {
        auto r = Ask(dev, req);
        EXPECT_TRUE(r);
        if (r) all.insert(all.end(), r->begin(), r->begin() + (*r)[0]);
    };
    add({0x01});
    add({0x02, 0x00});
    add({0x02, 0x03});
    for (int a = 0; a < 1024; a += 124) add({0x02, 0x01, uint8_t(a), uint8_t(a >> 8), 124});
    for (int a = 0; a < 64256; a += 124) add({0x02, 0x02, uint8_t(a), uint8_t(a >> 8), 124});
    return all;
}

TEST_F(StationImageTest, SaveAndLoadGiveTheSameMemoryAndAnswers) {
    Rig original(FrozenConfig(3, 11));
    original.station->SetPressureOffset(-42);
    const StationImage img = original.station->Image();
    ASSERT_EQ(img.Save(dir_), "");

    EXPECT_EQ(fs::file_size(dir_ + "/block.bin"), 1024u);
    EXPECT_EQ(fs::file_size(dir_ + "/data.bin"), 64256u);
    const std::string ini = Read("station.ini");
    EXPECT_NE(ini.find("[Station]"), std::string::npos);
    EXPECT_NE(ini.find("DevID=0x1A2B3C4D"), std::string::npos);
    EXPECT_NE(ini.find("PressureOffset=-42"), std::string::npos);
    EXPECT_NE(ini.find("UsedSize=" + std::to_string(img.usedSize)), std::string::npos);

    StationImage loaded;
    ASSERT_EQ(StationImage::Load(dir_, loaded), "");
    EXPECT_EQ(loaded.table, img.table);
    EXPECT_EQ(loaded.data, img.data);
    EXPECT_EQ(loaded.devId, 0x1A2B3C4Du);
    EXPECT_EQ(loaded.firstBlock, img.firstBlock);
    EXPECT_EQ(loaded.currentBlock, img.currentBlock);
    EXPECT_EQ(loaded.usedSize, img.usedSize);
    EXPECT_EQ(loaded.pressureOffset, -42);

    // A differently made station that loads the image answers the same.
    SimConfig other = FrozenConfig(0, 99);
    other.devId = 0x55;
    Rig replay(other);
    ASSERT_EQ(replay.station->LoadImage(loaded), "");
    EXPECT_EQ(MemoryAnswers(*replay.dev), MemoryAnswers(*original.dev));
    EXPECT_EQ(replay.station->Memory().Data(), original.station->Memory().Data());

    // Loaded images are frozen: time passes, nothing is recorded ...
    replay.station->AdvanceClock(3600);
    EXPECT_EQ(replay.station->Memory().Table(), img.table);
    EXPECT_FALSE(replay.station->Recording());
    // ... unless asked; then the newest block's sensors and interval go on.
    replay.station->SetRecording(true);
    replay.station->AdvanceClock(3600);
    const HistoryMemory m = replay.station->Memory();
    EXPECT_NE(m.Table(), img.table);
    EXPECT_EQ(m.Entry(m.CurrentBlock()).interval, 300);
    EXPECT_EQ(m.Entry(m.CurrentBlock()).flags, 0xFF);
}

TEST_F(StationImageTest, SmallerDataAreaIsDumpedInRingOrder) {
    SimConfig c = FrozenConfig(1);
    c.memory.dataSize = 1000;
    c.memory.blocks = 20;
    Rig rig(c);
    const StationImage img = rig.station->Image();
    ASSERT_EQ(img.Save(dir_), "");
    EXPECT_EQ(fs::file_size(dir_ + "/data.bin"), 64256u);
    const Bytes data = rig.station->Memory().Data();
    EXPECT_EQ(img.data[1000], data[0]);
    EXPECT_EQ(img.data[64255], data[64255 % 1000]);

    StationImage back;
    ASSERT_EQ(StationImage::Load(dir_, back), "");
    Rig replay;
    ASSERT_EQ(replay.station->LoadImage(back), "");
    EXPECT_EQ(replay.station->Memory().Data(), data);
    EXPECT_EQ((*Ask(*replay.dev, {0x01}))[3], 20);
    EXPECT_EQ(Le16(*Ask(*replay.dev, {0x01}), 4), 1000);
}

TEST_F(StationImageTest, BrokenFoldersGiveClearErrors) {
    Rig rig(FrozenConfig(1));
    const StationImage good = rig.station->Image();
    const std::string goodIni =
        "[Station]\nDevID=0x1A2B3C4D\nType=1\nBlocks=64\nDataSize=64256\nFirstBlock=1\n"
        "CurrentBlock=2\nUsedSize=3781\nPressureOffset=85\n";
    struct Case {
        const char* what;
        std::function<void()> breakIt;
        const char* mention;
    } cases[] = {
        {"no folder", [&] { fs::remove_all(dir_); }, "station.ini"},
        {"no station.ini", [&] { fs::remove(dir_ + "/station.ini"); }, "station.ini"},
        {"no section", [&] { Write("station.ini", "DevID=1\n"); }, "[Station]"},
        {"key missing", [&] { Write("station.ini", "[Station]\nDevID=0x1\nType=1\nBlocks=64\n"); },
         "DataSize"},
        {"not a number",
         [&] {
             std::string s = goodIni;
             s.replace(s.find("Blocks=64"), 9, "Blocks=six");
             Write("station.ini", s);
         },
         "Blocks"},
        {"out of range",
         [&] {
             std::string s = goodIni;
             s.replace(s.find("Blocks=64"), 9, "Blocks=65");
             Write("station.ini", s);
         },
         "Blocks"},
        {"first block past the ring",
         [&] {
             std::string s = goodIni;
             s.replace(s.find("Blocks=64"), 9, "Blocks=1");
             Write("station.ini", s);
         },
         "FirstBlock"},
        {"garbled line", [&] { Write("station.ini", "[Station]\n\x01\x02garbage\n"); }, "line 2"},
        {"short block.bin", [&] { Write("block.bin", std::string(1000, '\0')); }, "block.bin"},
        {"long block.bin", [&] { Write("block.bin", std::string(1025, '\0')); }, "block.bin"},
        {"short data.bin", [&] { Write("data.bin", std::string(64255, '\0')); }, "data.bin"},
        {"no data.bin", [&] { fs::remove(dir_ + "/data.bin"); }, "data.bin"},
        {"binary noise as ini", [&] { Write("station.ini", std::string(70000, '\xFF')); },
         "station.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::create_directories(dir_);
        ASSERT_EQ(good.Save(dir_), "");
        c.breakIt();
        StationImage out;
        out.devId = 0xDEAD;
        const std::string err = StationImage::Load(dir_, out);
        EXPECT_NE(err, "");
        EXPECT_NE(err.find(c.mention), std::string::npos) << err;
        EXPECT_EQ(out.devId, 0xDEADu) << "nothing half-loaded";
    }
}

TEST_F(StationImageTest, IniIsReadLeniently) {
    Rig rig(FrozenConfig(1));
    ASSERT_EQ(rig.station->Image().Save(dir_), "");
    Write("station.ini",
          "; made by hand\r\n[Other]\r\nBlocks=3\r\n[ station ]\r\n devid = 1a2b3c4d \r\n"
          "TYPE=1\r\nBlocks=64\r\nDataSize=0xFB00\r\nFirstBlock=1\r\nCurrentBlock=2\r\n"
          "UsedSize=3781\r\nPressureOffset=-7\r\nExtra=ignored\r\n");
    StationImage out;
    ASSERT_EQ(StationImage::Load(dir_, out), "");
    EXPECT_EQ(out.devId, 0x1A2B3C4Du);
    EXPECT_EQ(out.blocks, 64);
    EXPECT_EQ(out.dataSize, 64256);
    EXPECT_EQ(out.pressureOffset, -7);
}

TEST_F(StationImageTest, SaveIntoANewFolderAndIntoANonFolder) {
    Rig rig;
    EXPECT_EQ(rig.station->Image().Save(dir_ + "/a/b"), "");
    EXPECT_TRUE(fs::exists(dir_ + "/a/b/station.ini"));
    Write("file", "x");
    EXPECT_NE(rig.station->Image().Save(dir_ + "/file"), "");
}

}  // namespace
}  // namespace nimbary::sim
