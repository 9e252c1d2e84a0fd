#include <gtest/gtest.h>

#include <QGroupBox>

#include "CSetting.h"
#include "DialogFixture.h"
#include "StringTable.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

// The settings block with its unlisted bits set, the third alarm byte's
// carried bits set, and the time alarm on.
sim::SettingsBytes Noisy(bool fahrenheit = false) {
    sim::SettingsBytes s = sim::SimStation::DefaultSettings(300);
    s[0] = 0xA5, s[1] = 0x5A, s[2] = 0xF3;
    s[3] = static_cast<uint8_t>(0xE2 | fahrenheit);
    s[7] = 0x7F;   // channel circle on, bits 0-5 unlisted
    s[9] = 0x49;   // user colour, backlight, time alarm
    s[10] = 0xFE;  // buzzer off, bits 1-7 unlisted
    return s;
}

struct Opened {
    explicit Opened(const sim::SettingsBytes& s, RigOptions o = RigOptions()) : rig(o) {
        rig.Sim().SetSettings(s);
        dialog = std::make_unique<CSetting>(rig.access, rig.texts, rig.messages,
                                            rig.access.ReadSettings());
    }
    SimStationRig rig;
    std::unique_ptr<CSetting> dialog;
    int Writes() { return rig.counting->CountOf(0x88); }
};

}  // namespace

TEST(SettingDialog, EveryChoiceReachesTheStationByTheWriteRules) {
    Opened o(Noisy());
    CSetting& d = *o.dialog;
    const std::pair<int, int> choices[] = {
        {1131, 1}, {1132, 2}, {1133, 4}, {1134, 1}, {1135, 2}, {1136, 6},  {1137, 1}, {1138, 4},
        {1139, 1}, {1140, 1}, {1141, 1}, {1143, 0}, {1144, 7}, {1146, 10}, {1147, 2}, {1148, 6},
        {1156, 1}, {1155, 1}, {1152, 1}, {1154, 0}, {1149, 0}, {1150, 1},  {1151, 1}, {1145, 2}};
    for (auto [id, index] : choices) Choose(d, id, index);
    EXPECT_EQ(EditText(d, 1120), "0.0");  // outdoor bounds 32.0 and 86.0 °F shown in °C
    EXPECT_EQ(EditText(d, 1121), "30.0");
    Type(d, 1120, "-5");
    Type(d, 1121, "30.5");
    Click(d, 1);

    const sim::SettingsBytes expected = {0xA5, 0x5A, 0xF3, 0x19, 0x10, 0x34, 0xC0, 0xC0,
                                         0x10, 0xF4, 0x00, 0xDE, 0x23, 0x49, 0x76, 0x52,
                                         0x4F, 0x7A, 0xF4, 0x20, 0x00, 0x94};
    EXPECT_EQ(o.rig.Sim().Settings(), expected);
    EXPECT_EQ(Shown(o.rig.messages), kSaved);
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(o.rig.data.Settings.ForecastStorm, 9);  // the image holds what was written
}

TEST(SettingDialog, ValuesOutsideTheirListsGoBackAsTheyWereRead) {
    sim::SettingsBytes s = Noisy();
    s[17] = 0xFF, s[18] = 0x7F, s[21] = 0x11;  // brightness 16, time zone +127, weather 1
    Opened o(s);
    EXPECT_EQ(Control<QComboBox>(*o.dialog, 1144)->currentIndex(), -1);
    Click(*o.dialog, 1);
    for (int b : {17, 18, 21}) EXPECT_EQ(o.rig.Sim().Settings()[b], s[b]) << b;
}

TEST(SettingDialog, RecordIntervalOpensInItsUnitAndTakesOneTo240Minutes) {
    struct Open {
        uint16_t seconds;
        bool secondsShown;
        const char* minutes;
        int secondsIndex;
    } opens[] = {{300, false, "5", 2}, {32, true, "1", 1}, {0, true, "1", 2}, {90, false, "1", 2}};
    for (const Open& c : opens) {
        sim::SettingsBytes s = Noisy();
        s[19] = c.seconds & 0xFF, s[20] = c.seconds >> 8;
        Opened o(s);
        EXPECT_EQ(Control(*o.dialog, 1155)->isHidden(), !c.secondsShown) << c.seconds;
        EXPECT_EQ(Control(*o.dialog, 1122)->isHidden(), c.secondsShown) << c.seconds;
        EXPECT_EQ(EditText(*o.dialog, 1122), c.minutes) << c.seconds;
        EXPECT_EQ(Control<QComboBox>(*o.dialog, 1155)->currentIndex(), c.secondsIndex);
    }
    const std::pair<QString, int> typed[] = {
        {"240", 14400}, {" 7", 420}, {"1e2", 6000}, {"241", 0}, {"0", 0}, {"-0", 0},
        {"-3", 0},      {"7.5", 0},  {"7abc", 0},   {"abc", 0}, {"", 0},  {QString(200, '9'), 0}};
    for (const auto& [text, seconds] : typed) {
        Opened o(Noisy());
        Type(*o.dialog, 1122, text);
        Click(*o.dialog, 1);
        if (seconds) {
            EXPECT_EQ(o.rig.data.Settings.RecordInterval, seconds) << text.toStdString();
            continue;
        }
        EXPECT_EQ(Shown(o.rig.messages), Msg("Data Range is 1M to 240M", MessageIcon::Warning));
        EXPECT_EQ(o.dialog->focusWidget(), Control(*o.dialog, 1122));
        EXPECT_EQ(o.Writes(), 0);
    }
}

TEST(SettingDialog, ColourByBoundsAreCheckedInTheUnitShown) {
    const std::string minOverMax =
        "The minimum temperature can not exceed the maximum temperature!";
    struct Case {
        int mode;
        bool fahrenheit;
        const char *lower, *upper;
        std::string message;  // empty: saved
        int focus;
    } cases[] = {
        {1, true, "0", "70", Msg("Data Range is 14.2 °F to 140.0 °F", MessageIcon::Warning), 1120},
        {1, false, "-10", "20", Msg("Data Range is -9.9 °C to 60.0 °C", MessageIcon::Warning),
         1120},
        {1, false, "-9.9", "20", "", 0},
        {1, true, "abc", "70", Msg("Data Range is 14.2 °F to 140.0 °F", MessageIcon::Warning),
         1120},
        {2, false, "0", "", Msg("Data Range is -40.0 °C to 60.0 °C", MessageIcon::Warning), 1121},
        {2, false, "21,5", "30", "", 0},
        {2, true, "0", "140", "", 0},
        {2, false, "0", "60.1", Msg("Data Range is -40.0 °C to 60.0 °C", MessageIcon::Warning),
         1121},
        {1, true, "70", "60", Msg(minOverMax, MessageIcon::None), 1120},
        {2, true, "70", "60", Msg(minOverMax, MessageIcon::Warning), 1120},
    };
    for (const Case& c : cases) {
        sim::SettingsBytes s = Noisy(c.fahrenheit);
        s[9] = static_cast<uint8_t>((s[9] & ~0x07) | (1 << c.mode));
        Opened o(s);
        Type(*o.dialog, 1120, c.lower);
        Type(*o.dialog, 1121, c.upper);
        Click(*o.dialog, 1);
        const std::string what = std::string(c.lower) + " " + c.upper;
        EXPECT_EQ(Shown(o.rig.messages), c.message.empty() ? kSaved : c.message) << what;
        if (c.message.empty()) continue;
        EXPECT_EQ(o.dialog->focusWidget(), Control(*o.dialog, c.focus)) << what;
        EXPECT_EQ(o.Writes(), 0) << what;
    }
}

TEST(SettingDialog, ColourByStaysWhileTheShownBoundsAreWrong) {
    sim::SettingsBytes s = Noisy(true);
    s[9] = (s[9] & ~0x07) | 0x04;  // outdoor temperature
    Opened o(s);
    CSetting& d = *o.dialog;
    auto* group = d.findChild<QGroupBox*>("group_color");
    Type(d, 1120, "200");
    Choose(d, 1145, 0);
    EXPECT_EQ(Control<QComboBox>(d, 1145)->currentIndex(), 2);
    EXPECT_EQ(group->title(), "Outdoor Temperature");
    EXPECT_EQ(Shown(o.rig.messages),
              Msg("Data Range is -40.0 °F to 140.0 °F", MessageIcon::Warning));

    Type(d, 1120, "41");
    Choose(d, 1145, 0);
    EXPECT_EQ(group->title(), "Color Index");
    EXPECT_FALSE(Control(d, 1146)->isHidden());
    EXPECT_TRUE(Control(d, 1120)->isHidden());
    Choose(d, 1145, 2);  // the accepted bound is kept in the working copy
    EXPECT_EQ(EditText(d, 1120), "41.0");
}

TEST(SettingDialog, CapabilitiesAndRainDecideWhatCanBeChanged) {
    struct Case {
        uint8_t capability;
        bool rain;
        bool daylight, time, forecast;
    } cases[] = {{0x62, true, true, true, true},
                 {0x63, true, false, true, true},
                 {0x02, true, false, false, false},
                 {0x42, false, false, false, true}};
    for (const Case& c : cases) {
        RigOptions ro;
        ro.capability = c.capability;
        ro.rain = c.rain;
        Opened o(Noisy(), ro);
        CSetting& d = *o.dialog;
        const std::string what = std::to_string(c.capability);
        EXPECT_EQ(Named(d, "label_1151")->isEnabled(), c.daylight) << what;
        for (int id : {1149, 1150, 1151, 1153})
            EXPECT_EQ(Control(d, id)->isEnabled(), c.time && (id != 1151 || c.daylight)) << what;
        for (int id : {1147, 1148}) EXPECT_EQ(Control(d, id)->isEnabled(), c.forecast) << what;
        EXPECT_EQ(Named(d, "group_forecast")->isEnabled(), c.forecast) << what;
        for (int id : {1134, 1138}) EXPECT_EQ(Control(d, id)->isEnabled(), c.rain) << what;
        EXPECT_EQ(Named(d, "label_1138")->isEnabled(), c.rain) << what;
        EXPECT_TRUE(Control(d, 1142)->isHidden());
    }
}

TEST(SettingDialog, StationThatFailsOrStopsAnsweringIsNotReportedAsSaved) {
    for (sim::Fault f : {sim::Fault::WrongStatus, sim::Fault::UnplugMidExchange}) {
        Opened o(Noisy());
        o.rig.Faults().Add(f, 1, 0x88);
        Choose(*o.dialog, 1133, 3);
        Click(*o.dialog, 1);
        EXPECT_EQ(Shown(o.rig.messages), kSaveFailed);
        EXPECT_NE(o.dialog->result(), QDialog::Accepted);
        EXPECT_EQ(o.rig.Sim().Settings(), Noisy());
    }
    SimStationRig unplugged;
    unplugged.backend->Unplug();
    unplugged.usb->OnRemoval(sim::SimBackend::kStationPath);
    unplugged.data.Settings.ColorBy = 1;
    CSetting d(unplugged.access, unplugged.texts, unplugged.messages,
               unplugged.access.ReadSettings());
    EXPECT_FALSE(Control(d, 1)->isEnabled());
    EXPECT_EQ(EditText(d, 1120), "");
}

TEST(SettingDialog, OpensInTheLanguageInForce) {
    text::SetLanguage(text::Language::Chinese);
    Opened o(Noisy());
    text::SetLanguage(text::Language::English);
    EXPECT_EQ(o.dialog->windowTitle(), "设置");
    EXPECT_EQ(Control<QComboBox>(*o.dialog, 1156)->itemText(1), "秒");
    EXPECT_EQ(o.dialog->findChild<QGroupBox*>("group_color")->title(), "颜色索引");
}

// Read back from their rounded text, untouched bounds would drift in °C.
TEST(SettingDialog, ColourByBoundsNobodyTouchedGoBackAsTheyWere) {
    for (bool fahrenheit : {false, true})
        for (int mode : {1, 2}) {
            sim::SettingsBytes s = Noisy(fahrenheit);
            s[9] = static_cast<uint8_t>((s[9] & ~0x07) | (1 << mode));
            s[11] = 0xDE, s[12] = 0x03, s[13] = 0x4B;  // indoor 59.0 and 80.0 °F
            s[14] = 0xEE, s[15] = 0x32, s[16] = 0x49;  // outdoor 35.0 and 77.1 °F
            Opened o(s);
            Choose(*o.dialog, 1133, 1);  // the change being saved: km/h
            Click(*o.dialog, 1);
            const std::string what = std::to_string(mode) + (fahrenheit ? " °F" : " °C");
            EXPECT_EQ(Shown(o.rig.messages), kSaved) << what;
            for (int b = 11; b <= 16; ++b) EXPECT_EQ(o.rig.Sim().Settings()[b], s[b]) << what;
        }
}

// The dialog's write goes out while the poll cannot draw: the lock is held
// around the copy into the image and the exchange itself.
TEST(StationDataAccess, WritesTheGivenSettingsWhileHoldingTheDataLock) {
    SimStationRig rig;
    rig.data.ReadSettings();
    std::vector<uint8_t> whileHeld;
    StationDataAccess access(rig.data, [&](const std::function<void()>& work) {
        const size_t before = rig.counting->Codes().size();
        work();
        const std::vector<uint8_t> codes = rig.counting->Codes();
        whileHeld.assign(codes.begin() + static_cast<long>(before), codes.end());
    });
    StationSettings s = rig.data.Settings;
    s.WindUnit = 3;
    EXPECT_EQ(access.WriteSettings(s), 1);
    EXPECT_EQ(whileHeld, std::vector<uint8_t>{0x88});
    EXPECT_EQ(rig.data.Settings.WindUnit, 3);
    EXPECT_EQ(rig.Sim().Settings()[4], 0x08);
    s.WindUnit = 2;
    rig.data.Settings.WindUnit = 4;  // as a poll might have decoded meanwhile
    EXPECT_EQ(rig.data.WriteSettings(s), 1);
    EXPECT_EQ(rig.Sim().Settings()[4], 0x04);  // the block given, not the image's
}
