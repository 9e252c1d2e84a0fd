#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "../history/FileSizeLimit.h"
#include "CDebug.h"
#include "CannedSave.h"
#include "RecordingMessages.h"
#include "SimRig.h"

using namespace nimbary;
using nimbary::test::HandImage;
using nimbary::test::SimRig;
using nimbary::test::WatchedSource;
using nimbary::testing::CannedSave;

namespace {

sim::SimConfig WithHistory(uint32_t days) {
    sim::SimConfig c;
    c.seed = 5;
    c.devId = 0x00C0FFEE;
    c.startTime = 800000000;
    c.frozen = true;
    c.historyDays = days;
    return c;
}

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray Bytes(const std::vector<uint8_t>& v, size_t n) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(n));
}

// Counts the reads of each area on their way to the station.
struct Counted {
    int reads[4] = {};
    std::function<void(uint8_t area)> also;
    WatchedSource source;
    explicit Counted(HistorySource& inner)
        : source(inner, [this](uint8_t area, uint16_t) {
              ++reads[area];
              if (also) also(area);
              return true;
          }) {}
};

}  // namespace

TEST(Debug, DumpsAreTheStationsBlockTableAndDataAreaByteForByte) {
    SimRig rig(WithHistory(3));
    RecordingMessages messages;
    Counted counted(*rig.source);
    CannedSave saves;
    CDebug dlg(counted.source, messages, saves);
    QTemporaryDir dir;
    const QString fat = dir.filePath("block.bin"), data = dir.filePath("data.bin");
    dlg.DumpBlockTable(fat);
    dlg.DumpDataArea(data);

    const sim::StationImage image = rig.station->Image();
    EXPECT_EQ(Slurp(fat), Bytes(image.table, 1024));
    EXPECT_EQ(Slurp(data), Bytes(image.data, 64256));
    EXPECT_EQ(counted.reads[1], 9);    // 8 x 124 + 32
    EXPECT_EQ(counted.reads[2], 519);  // 518 x 124 + 24
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              "Successful read the fat in to the file:\n" + fat.toStdString());
    EXPECT_EQ(messages.shown[1].text,
              "Successful read the data into the file:\n" + data.toStdString());
    for (const auto& m : messages.shown) EXPECT_EQ(m.icon, MessageIcon::Information);
}

// A dump the station breaks off would pass for its memory: the earlier
// file stays, and what was read goes, if wanted, under a name that says so.
TEST(Debug, ADataDumpCutShortKeepsTheEarlierFile) {
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        SimRig rig(WithHistory(1));
        const sim::StationImage image = rig.station->Image();
        RecordingMessages messages;
        messages.answer = keep;
        Counted counted(*rig.source);
        counted.also = [&](uint8_t area) {
            if (area == 2 && counted.reads[2] == 10) rig.backend->Unplug();
        };
        CannedSave saves;
        CDebug dlg(counted.source, messages, saves);
        QTemporaryDir dir;
        const QString data = dir.filePath("data.bin"), cut = dir.filePath("data-incomplete.bin");
        {
            QFile earlier(data);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write(Bytes(image.data, 64256));
        }
        dlg.DumpDataArea(data);
        EXPECT_EQ(Slurp(data), Bytes(image.data, 64256));
        ASSERT_EQ(messages.asked.size(), 1u);
        EXPECT_EQ(messages.asked[0],
                  "The data dump is incomplete: the station stopped answering after 1116 of "
                  "64256 bytes.\nThe file was not changed:\n" +
                      data.toStdString() + "\n\nSave the bytes that were read as:\n" +
                      cut.toStdString() + " ?");
        if (keep) {
            EXPECT_EQ(Slurp(cut), Bytes(image.data, 9 * 124));
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text,
                      "The bytes that were read are in the file:\n" + cut.toStdString());
        } else {
            EXPECT_FALSE(QFile::exists(cut));
            EXPECT_TRUE(messages.shown.empty());
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), keep ? 2 : 1);
    }
}

TEST(Debug, FailuresSayWhatWentWrong) {
    SimRig rig(WithHistory(1));
    RecordingMessages messages;
    Counted counted(*rig.source);
    CannedSave saves;
    CDebug dlg(counted.source, messages, saves);
    QTemporaryDir dir;
    const QString nowhere = dir.filePath("no/such/folder/x.bin");

    dlg.DumpBlockTable(nowhere);
    dlg.DumpDataArea(nowhere);
    EXPECT_EQ(counted.reads[2], 0);  // the data dump opens its file first
    ASSERT_EQ(messages.shown.size(), 2u);
    for (const auto& m : messages.shown) {
        EXPECT_EQ(m.text, "Can not create the file:\n" + nowhere.toStdString());
        EXPECT_EQ(m.icon, MessageIcon::Warning);
    }

    messages.shown.clear();
    rig.backend->Unplug();
    const QString fat = dir.filePath("block.bin");
    dlg.DumpBlockTable(fat);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Failed to read the file allocation table.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(QFile::exists(fat));
}

// A full disk half-way through a dump: said as such, and the earlier dump
// is kept whole rather than cut short.
TEST(Debug, AFullDiskKeepsTheEarlierDump) {
    SimRig rig(WithHistory(1));
    RecordingMessages messages;
    CannedSave saves;
    CDebug dlg(*rig.source, messages, saves);
    QTemporaryDir dir;
    const QString fat = dir.filePath("block.bin"), data = dir.filePath("data.bin");
    for (const QString& p : {fat, data}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    {
        nimbary::testing::FileSizeLimit full(512);
        dlg.DumpBlockTable(fat);
        dlg.DumpDataArea(data);
    }

    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              "The disk is full: the file could not be written:\n" + fat.toStdString());
    EXPECT_EQ(messages.shown[1].text,
              "The disk is full: the file could not be written:\n" + data.toStdString());
    EXPECT_EQ(Slurp(fat), "earlier");
    EXPECT_EQ(Slurp(data), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(Debug, ButtonsAskForAFileInTheHomeFolderAndCancelReadsNothing) {
    SimRig rig(WithHistory(1));
    RecordingMessages messages;
    Counted counted(*rig.source);
    CannedSave saves;
    CDebug dlg(counted.source, messages, saves);
    EXPECT_EQ(dlg.windowTitle(), "Debug");
    const std::pair<const char*, const char*> buttons[] = {{"idc_1161", "block.bin"},
                                                           {"idc_1162", "data.bin"},
                                                           {"idc_1", nullptr},
                                                           {"idc_2", nullptr}};
    for (const auto& [name, file] : buttons) {
        QPushButton* b = dlg.findChild<QPushButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        if (!file) continue;
        saves.asked.clear();
        b->click();
        ASSERT_EQ(saves.asked.size(), 1u);
        EXPECT_EQ(saves.asked[0].suggested, file);  // in the folder the dialog opens in
        EXPECT_EQ(saves.asked[0].filters, QStringList{"Binary dump (*.bin)"});
    }
    EXPECT_EQ(counted.reads[1] + counted.reads[2], 0);
    EXPECT_TRUE(messages.shown.empty());
}

namespace {

// A message box whose own event loop runs the dialog's timer again.
struct ReentrantMessages : RecordingMessages {
    CDebug* dlg = nullptr;
    void Show(const std::string& text, MessageIcon icon, const std::string& caption) override {
        RecordingMessages::Show(text, icon, caption);
        if (dlg) dlg->Tick();
    }
};

}  // namespace

TEST(Debug, AWarningDoesNotLetAnotherTickStartAndTheLinesFollowIt) {
    HandImage hand;
    hand.SetHeader(10, 10, 10, 10, 1100);
    SimRig rig(WithHistory(0));
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    ReentrantMessages messages;
    Counted counted(*rig.source);
    CannedSave saves;
    CDebug dlg(counted.source, messages, saves);
    messages.dlg = &dlg;

    dlg.Tick();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dlg.LineAt(10), "First Block:1        Records:03            ");
    EXPECT_TRUE(dlg.LineAt(70).isEmpty());

    hand.SetHeader(10, 10, 1020, 10, 1100);  // week 1.0 -> 102.0 mm
    hand.image.usedSize = 1016;
    ASSERT_EQ(rig.station->LoadImage(hand.image), "");
    counted.reads[0] = 0;
    dlg.Tick();
    EXPECT_EQ(counted.reads[0], 1);  // the tick inside the message box did nothing
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "first record of rainfall or indoor temperature may be error!");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(dlg.LineAt(70), "Increase data:16          ");

    // The next tick finds nothing new; the increase line stays.
    dlg.Tick();
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(dlg.LineAt(70), "Increase data:16          ");
}

TEST(Debug, TheTimerLooksOnceASecondUntilTheDialogCloses) {
    SimRig rig(WithHistory(1));
    RecordingMessages messages;
    Counted counted(*rig.source);
    CannedSave saves;
    CDebug dlg(counted.source, messages, saves);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return counted.reads[0] >= 1; }, 3000));
    EXPECT_FALSE(dlg.LineAt(50).isEmpty());
    dlg.reject();
    const int reads = counted.reads[0];
    QTest::qWait(1300);
    EXPECT_EQ(counted.reads[0], reads);
}
