#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>

#include "CHistoryManage.h"
#include "RecordingMessages.h"
#include "ScratchFile.h"
#include "StringTable.h"

using namespace nimbary;
using std::chrono::milliseconds;

namespace {

struct Call {
    HistoryCommands::Kind kind;
    uint32_t devId;
    milliseconds wait;
};

// A database with stored stations and a history thread that answers at once.
struct Rig : HistoryCommands {
    QTemporaryDir dir;
    RecordingMessages messages;
    HistoryDb db{&messages};
    std::vector<Call> calls;
    int result = 1;

    explicit Rig(std::vector<uint32_t> stations) {
        EXPECT_EQ(db.Open(dir.filePath("Nimbary.db").toStdString()), 0);
        for (uint32_t id : stations) {
            ScratchFile none;
            EXPECT_TRUE(none.Create());
            db.Info().DevID = id;
            EXPECT_EQ(db.SaveRecords(0, none), 0);
        }
    }
    int Run(Kind kind, uint32_t id, milliseconds wait) override {
        calls.push_back({kind, id, wait});
        return result;
    }
    std::unique_ptr<CHistoryManage> Open(bool connected, uint32_t devId) {
        return std::make_unique<CHistoryManage>(db, connected, devId, *this, messages);
    }
};

template <class T>
T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

std::vector<std::string> Entries(QComboBox* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->itemText(i).toStdString());
    return out;
}

}  // namespace

TEST(HistoryManage, CaptionsStationsAndTheConnectedStation) {
    Rig rig({0x12AB, 0x80000001, 0});
    for (auto lang : {text::Language::English, text::Language::Chinese}) {
        text::SetLanguage(lang);
        auto dlg = rig.Open(true, 0x80000001);
        EXPECT_EQ(dlg->windowTitle().toStdString(), text::Load(2115));
        EXPECT_EQ(Child<QGroupBox>(*dlg, "idc_1121")->title().toStdString(), text::Load(2116));
        EXPECT_EQ(Child<QGroupBox>(*dlg, "idc_1159")->title().toStdString(), text::Load(2112));
        for (const char* clear : {"idc_1119", "idc_1120"})
            EXPECT_EQ(Child<QPushButton>(*dlg, clear)->text().toStdString(), text::Load(2117));
        EXPECT_EQ(Child<QPushButton>(*dlg, "idc_2")->text().toStdString(), text::Load(2065));
    }
    text::SetLanguage(text::Language::English);
    EXPECT_EQ(text::Load(2065), "Cancel");

    // The database's own order, whatever it is.
    std::vector<uint32_t> stored;
    int ignored = 0;
    ASSERT_EQ(rig.db.FillDeviceList(stored, 0, ignored), 0);
    std::vector<std::string> names;
    for (uint32_t id : stored)
        names.push_back(QString("%1").arg(id, 8, 16, QChar('0')).toUpper().toStdString());
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, std::vector<std::string>({"00000000", "000012AB", "80000001"}));

    struct Case {
        bool connected;
        uint32_t devId;
        std::string selected, shown;
    };
    const Case cases[] = {{true, 0x80000001, "80000001", "80000001"},
                          {true, 0, "00000000", "00000000"},
                          {true, 0x555, names[0], "00000555"},  // not stored: the first entry
                          {false, 0x12AB, "000012AB", ""}};
    for (const Case& c : cases) {
        auto dlg = rig.Open(c.connected, c.devId);
        QComboBox* list = Child<QComboBox>(*dlg, "idc_1122");
        EXPECT_EQ(Entries(list), names);
        EXPECT_EQ(list->currentText().toStdString(), c.selected);
        EXPECT_EQ(Child<QLabel>(*dlg, "idc_1123")->text().toStdString(), c.shown);
        EXPECT_EQ(Child<QPushButton>(*dlg, "idc_1120")->isEnabled(), c.connected);
    }
}

TEST(HistoryManage, ClearInDatabaseAsksThenSendsTheChosenId) {
    struct Case {
        const char* name;
        std::vector<uint32_t> stations;
        uint32_t select;
        bool yes;
        int result;
        std::vector<uint32_t> sent;     // device ids handed to the history thread
        std::vector<std::string> left;  // list entries afterwards
        bool success;
    };
    const Case cases[] = {
        {"empty list", {}, 0, true, 1, {}, {}, false},
        {"answered No", {0x12AB}, 0x12AB, false, 1, {}, {"000012AB"}, false},
        {"cleared", {0x12AB, 0x80000001}, 0x80000001, true, 1, {0x80000001}, {"000012AB"}, true},
        {"eight zeros", {0, 7}, 0, true, 1, {0}, {"00000007"}, true},
        {"failed or late", {0x12AB}, 0x12AB, true, 0, {0x12AB}, {"000012AB"}, false},
    };
    for (const Case& c : cases) {
        Rig rig(c.stations);
        rig.result = c.result;
        rig.messages.answer = c.yes;
        auto dlg = rig.Open(true, c.select);
        Child<QPushButton>(*dlg, "idc_1119")->click();

        std::vector<uint32_t> sent;
        for (const Call& call : rig.calls) {
            EXPECT_EQ(call.kind, HistoryCommands::DeleteDatabaseRecords) << c.name;
            EXPECT_EQ(call.wait, milliseconds(5000)) << c.name;
            sent.push_back(call.devId);
        }
        EXPECT_EQ(sent, c.sent) << c.name;
        QComboBox* list = Child<QComboBox>(*dlg, "idc_1122");
        EXPECT_EQ(Entries(list), c.left) << c.name;
        EXPECT_EQ(rig.messages.asked.size(), c.stations.empty() ? 0u : 1u) << c.name;
        if (!c.stations.empty()) {
            char id[9];
            std::snprintf(id, sizeof id, "%08X", c.select);
            EXPECT_EQ(rig.messages.asked[0],
                      "Are you sure to clear all records from database of this ID (" +
                          std::string(id) + ") ?")
                << c.name;
        }
        if (c.success) {
            ASSERT_EQ(rig.messages.shown.size(), 1u) << c.name;
            EXPECT_EQ(rig.messages.shown[0].text, "Successfully clear!");
            EXPECT_EQ(rig.messages.shown[0].icon, MessageIcon::Information);
            EXPECT_EQ(list->currentIndex(), 0) << c.name;
        } else {
            EXPECT_TRUE(rig.messages.shown.empty()) << c.name;
        }
    }
}

TEST(HistoryManage, ClearInDeviceAsksWithTheStationsId) {
    for (int result : {1, 0}) {
        Rig rig({0x00C0FFEE});
        rig.result = result;
        rig.messages.answer = true;
        auto dlg = rig.Open(true, 0x00C0FFEE);
        Child<QPushButton>(*dlg, "idc_1120")->click();
        ASSERT_EQ(rig.messages.asked.size(), 1u);
        EXPECT_EQ(rig.messages.asked[0],
                  "Are you sure to clear all records from device of this ID (00C0FFEE) ?");
        ASSERT_EQ(rig.calls.size(), 1u);
        EXPECT_EQ(rig.calls[0].kind, HistoryCommands::ClearStationMemory);
        EXPECT_EQ(rig.calls[0].wait, milliseconds(5000));
        EXPECT_EQ(rig.messages.shown.size(), result == 1 ? 1u : 0u);
        // The database list is not touched by a clear of the station.
        EXPECT_EQ(Child<QComboBox>(*dlg, "idc_1122")->count(), 1);
    }
    Rig rig({});
    rig.messages.answer = false;
    auto dlg = rig.Open(true, 0x00C0FFEE);
    Child<QPushButton>(*dlg, "idc_1120")->click();
    EXPECT_TRUE(rig.calls.empty());
}
