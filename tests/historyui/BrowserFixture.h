#pragma once

#include <gtest/gtest.h>

#include "HistoryDb.h"
#include "HistoryFill.h"
#include "RecordingMessages.h"
#include "StringTable.h"
#include "TempDir.h"
#include "Units.h"

namespace nimbary::testing {

// A fresh database that the tests fill through SaveRecords, the display
// units at their start (°C, hPa, m/s, mm) and the English texts.
class BrowserFixture : public ::testing::Test {
protected:
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db{&messages};

    void SetUp() override {
        Units() = UnitSet{};
        text::SetLanguage(text::Language::English);
        ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0) << db.LastError();
    }
    void TearDown() override {
        Units() = UnitSet{};
        text::SetLanguage(text::Language::English);
    }

    static UnitSet MakeUnits(int temp, int baro, int wind, int rain) {
        UnitSet u;
        u.TempUnit = temp;
        u.BaroUnit = baro;
        u.WindUnit = wind;
        u.RainUnit = rain;
        return u;
    }

    // A record with nothing in it but its station and time.
    static HistoryRecord Empty(uint32_t devId, uint32_t t) {
        HistoryRecord r;
        r.DevID = devId;
        r.RecTime = StationTimeToOleDate(t);
        return r;
    }
};

}  // namespace nimbary::testing
