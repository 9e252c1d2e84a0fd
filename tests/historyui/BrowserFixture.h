#pragma once

#include <gtest/gtest.h>

#include <QLocale>

#include "../history/RecordingMessages.h"
#include "HistoryDb.h"
#include "HistoryFill.h"
#include "HistoryTable.h"
#include "RecordTime.h"
#include "StringTable.h"
#include "TempDir.h"
#include "Units.h"

namespace nimbary::testing {

// The C locale, so the Time column's text is the same on every machine
// ("2024-03-05 12:00:00").
class CLocaleTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

// A fresh database that the tests fill through SaveRecords, the display
// units at their start (°C, hPa, m/s, mm) and the English texts.
class BrowserFixture : public CLocaleTest {
protected:
    TempDir dir;
    RecordingMessages messages;
    HistoryDb db{&messages};

    void SetUp() override {
        CLocaleTest::SetUp();
        SetUnits(UnitSet{});
        text::SetLanguage(text::Language::English);
        ASSERT_EQ(db.Open(dir.File("Nimbary.db")), 0) << db.LastError();
    }
    void TearDown() override {
        SetUnits(UnitSet{});
        text::SetLanguage(text::Language::English);
        CLocaleTest::TearDown();
    }

    static UnitSet MakeUnits(int temp, int baro, int wind, int rain) {
        UnitSet u;
        u.TempUnit = temp;
        u.BaroUnit = baro;
        u.WindUnit = wind;
        u.RainUnit = rain;
        return u;
    }

    // Every stored record of `devId`, loaded as the browser does.
    HistoryTable LoadTable(uint32_t devId, const UnitSet& units = UnitSet{}) {
        return LoadTable(db, devId, units);
    }
    static HistoryTable LoadTable(HistoryDb& from, uint32_t devId, const UnitSet& units) {
        HistoryTable t(RecordTimeText, units);
        EXPECT_EQ(from.SelectRecords(devId, 0.0, 1e6), 0);
        EXPECT_EQ(t.Load(from, devId), 0);
        from.CloseSelection();
        return t;
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
