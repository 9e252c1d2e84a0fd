#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>

#include "CAlarm.h"
#include "DialogFixture.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

// Fahrenheit, hPa, m/s and mm show every stored tenth exactly, so untouched
// thresholds go back unchanged.
sim::SettingsBytes Plain() {
    sim::SettingsBytes s = sim::SimStation::DefaultSettings(300);
    s[3] |= 0x01;
    s[2] = 0xF0;  // bits 4-7 are carried back
    return s;
}

struct Opened {
    explicit Opened(const sim::SettingsBytes& s = Plain(), RigOptions o = RigOptions()) : rig(o) {
        rig.Sim().SetSettings(s);
        dialog = std::make_unique<CAlarm>(rig.access, rig.texts, rig.messages,
                                          CAlarm::ReadStation(rig.access));
        opened = rig.counting->Codes().size();
    }
    std::vector<uint8_t> CodesSinceOpen() {
        std::vector<uint8_t> c = rig.counting->Codes();
        return {c.begin() + static_cast<long>(opened), c.end()};
    }
    SimStationRig rig;
    std::unique_ptr<CAlarm> dialog;
    size_t opened = 0;
};

void Check(QWidget& d, int id, bool on) {
    Control<QCheckBox>(d, id)->setChecked(on);
}

}  // namespace

TEST(AlarmDialog, OpensWithTheStationsThresholdsInItsUnits) {
    sim::SettingsBytes s = sim::SimStation::DefaultSettings(300);  // °C
    s[0] = 0x01, s[1] = 0x80, s[2] = 0x04, s[9] |= 0x40;
    Opened o(s);
    CAlarm& d = *o.dialog;
    const std::pair<int, const char*> texts[] = {
        {1027, "26.7"}, {1028, "10.0"}, {1034, "70"}, {1069, "1040.0"}, {1094, "50.0"}};
    for (auto [id, t] : texts) EXPECT_EQ(EditText(d, id), t) << id;
    for (auto [id, t] : {std::pair{1029, "°C"}, {1036, "%"}, {1071, "hpa"}, {1083, "m/s"}})
        EXPECT_EQ(Control<QLabel>(d, id)->text().toStdString(), t) << id;
    for (auto [id, on] :
         {std::pair{1025, true}, {1026, false}, {1093, true}, {1074, true}, {1097, true}})
        EXPECT_EQ(Control<QCheckBox>(d, id)->isChecked(), on) << id;
    EXPECT_EQ(Control<QDateTimeEdit>(d, 1098)->dateTime(),
              QDateTime(QDate(2016, 1, 1), QTime(7, 30)));
}

TEST(AlarmDialog, SaveWritesTheSettingsThenTheAlarms) {
    Opened o;
    CAlarm& d = *o.dialog;
    for (int id : {1025, 1032, 1039, 1046, 1053, 1060, 1067, 1074, 1081, 1085, 1089, 1093})
        Check(d, id, true);
    for (int id : {1026, 1033, 1040, 1047, 1054, 1061, 1068, 1075}) Check(d, id, false);
    Check(d, 1097, true);
    Type(d, 1027, "77.5");
    Type(d, 1049, "25");
    Type(d, 1070, "955.5");
    Type(d, 1086, "30");
    Type(d, 1094, "75.5");
    Control<QDateTimeEdit>(d, 1098)->setTime(QTime(21, 45));
    Click(d, 1);

    EXPECT_EQ(o.CodesSinceOpen(), (std::vector<uint8_t>{0x88, 0x86}));
    sim::SettingsBytes settings = Plain();
    settings[0] = 0x55, settings[1] = 0xF5, settings[2] = 0xF5, settings[9] |= 0x40;
    EXPECT_EQ(o.rig.Sim().Settings(), settings);
    sim::AlarmBytes alarms = sim::SimStation::DefaultAlarms();
    const std::pair<int, uint8_t> changed[] = {
        {0, 0x45},  {1, 0x21},  {2, 0x97},  {3, 0x44},  {4, 0x38},  {11, 0x19}, {20, 0x53},
        {21, 0x25}, {26, 0x96}, {27, 0xC0}, {28, 0x12}, {31, 0xF3}, {32, 0x02}};
    for (auto [i, b] : changed) alarms[i] = b;
    EXPECT_EQ(o.rig.Sim().Alarms(), alarms);
    EXPECT_EQ(Shown(o.rig.messages), kSaved);
    EXPECT_EQ(d.result(), QDialog::Accepted);
}

TEST(AlarmDialog, EachRangeRuleRefusesOrAcceptsInTheUnitShown) {
    const uint8_t F = 0x01, C = 0x00, INCH = 0x11;
    struct Case {
        int edit;
        uint8_t s3;
        bool beaufort;
        QString text;
        const char* refusal;  // empty: accepted
    } cases[] = {
        {1027, C, false, "-10", "Data Range is -9.9 °C to 60.0 °C"},
        {1027, C, false, "-9.9", ""},
        {1027, F, false, "abc", "Data Range is 14.2 °F to 140.0 °F"},
        {1027, C, false, "21,5", ""},
        {1041, F, false, "--.-", "Data Range is -40.0 °F to 140.0 °F"},
        {1041, F, false, "-0", ""},
        {1028, F, false, "14.1", "Data Range is 14.2 °F to 140.0 °F"},
        {1049, F, false, "100", "Data Range is 10 % to 99 %"},
        {1049, F, false, "99", ""},
        {1069, F, false, "--.-", "Data Range is 300.0 hpa to 1100.0 hpa"},
        {1082, F, true, "-1", "Data Range is 0 bft to 12 bft"},
        {1086, F, false, "50.01", "Data Range is 0.0 m/s to 50.0 m/s"},
        {1090, INCH, false, "39.38", "Data Range is 0.00 in to 39.37 in"},
        {1090, INCH, false, "39.37", ""},
        {1062, F, false, "1e2", ""},
        {1055, F, false, QString(200, '1'), "Data Range is -40.0 °F to 140.0 °F"},
    };
    for (const Case& c : cases) {
        sim::SettingsBytes s = Plain();
        s[3] = static_cast<uint8_t>((s[3] & ~0x11) | c.s3);
        if (c.beaufort) s[4] = 0x10;
        Opened o(s);
        Type(*o.dialog, c.edit, c.text);
        Click(*o.dialog, 1);
        const std::string what = std::to_string(c.edit) + " " + c.text.toStdString();
        if (!*c.refusal) {
            EXPECT_EQ(Shown(o.rig.messages), kSaved) << what;
            continue;
        }
        EXPECT_EQ(Shown(o.rig.messages), Msg(c.refusal, MessageIcon::Information)) << what;
        EXPECT_EQ(o.dialog->focusWidget(), Control(*o.dialog, c.edit)) << what;
        EXPECT_TRUE(o.CodesSinceOpen().empty()) << what;
    }
}

TEST(AlarmDialog, StoredValuesFollowTheUnitsAndTheFirstFailureStopsTheRest) {
    sim::SettingsBytes s = Plain();
    s[4] = 0x10;  // Beaufort
    Opened o(s);
    Type(*o.dialog, 1082, "12");
    Type(*o.dialog, 1041, "21,5");
    Click(*o.dialog, 1);
    EXPECT_DOUBLE_EQ(o.rig.data.Alarms.WindHigh, 32.6);
    EXPECT_DOUBLE_EQ(o.rig.data.Alarms.OutTempHigh, 21.5);

    SimStationRig& rig = o.rig;
    CAlarm again(rig.access, rig.texts, rig.messages, CAlarm::ReadStation(rig.access));
    EXPECT_EQ(EditText(again, 1082), "12");  // 32.6 m/s as the station now holds it
    Type(again, 1027, "70");
    Type(again, 1034, "5");
    Type(again, 1041, "100");
    for (int id : {1025, 1032, 1039}) Check(again, id, true);
    Click(again, 1);
    EXPECT_DOUBLE_EQ(rig.data.Alarms.InTempHigh, 70.0);   // before the failing row
    EXPECT_DOUBLE_EQ(rig.data.Alarms.OutTempHigh, 21.5);  // after it: untouched
    // Enables up to the failing row, its own included, are kept; none is sent.
    EXPECT_EQ(rig.data.Settings.AlarmEnable[0], 0x01 | 0x04);
}

// Read back from its rounded text, an untouched threshold would change in
// every unit but °F, hPa, m/s and mm.
TEST(AlarmDialog, ThresholdsNobodyTouchedGoBackAsTheyWereInEveryUnit) {
    struct Units {
        uint8_t s3, s4;  // temperature, pressure and rain; wind
        const char* what;
    } units[] = {{0x02, 0x01, "°C hPa mm m/s"},
                 {0x05, 0x02, "°F inHg mm km/h"},
                 {0x18, 0x04, "°C mmHg in mph"},
                 {0x13, 0x08, "°F hPa in knots"},
                 {0x04, 0x10, "°C inHg mm bft"}};
    for (const Units& u : units) {
        sim::SettingsBytes s = Plain();
        s[3] = u.s3, s[4] = u.s4;
        sim::AlarmBytes alarms = sim::SimStation::DefaultAlarms();
        alarms[29] = 0x0F, alarms[30] = 0x27;  // rain hour high 999.9 mm
        RigOptions o;
        o.rain = u.s3 != 0x04;  // and once with the rain rows hidden
        Opened opened(s, o);
        opened.rig.Sim().SetAlarms(alarms);
        CAlarm d(opened.rig.access, opened.rig.texts, opened.rig.messages,
                 CAlarm::ReadStation(opened.rig.access));
        Check(d, 1097, true);  // the time alarm only
        Click(d, 1);
        EXPECT_EQ(Shown(opened.rig.messages), kSaved) << u.what;
        EXPECT_EQ(opened.rig.Sim().Alarms(), alarms) << u.what;
        s[9] |= 0x40;
        EXPECT_EQ(opened.rig.Sim().Settings(), s) << u.what;
    }
}

// Rows the station has no sensor for are not shown, so what they hold cannot
// be what stops a Save.
TEST(AlarmDialog, HiddenRainRowsGoBackAsReadWhateverTheyHold) {
    sim::AlarmBytes alarms = sim::SimStation::DefaultAlarms();
    alarms[29] = 0x10, alarms[30] = 0x27;  // rain hour high 1000.0 mm
    RigOptions dry;
    dry.rain = false;
    SimStationRig rig(dry);
    rig.Sim().SetSettings(Plain());
    rig.Sim().SetAlarms(alarms);
    CAlarm d(rig.access, rig.texts, rig.messages, CAlarm::ReadStation(rig.access));
    Type(d, 1027, "75");
    Click(d, 1);
    EXPECT_EQ(Shown(rig.messages), kSaved);
    EXPECT_EQ(rig.Sim().Alarms()[29], 0x10);
    EXPECT_EQ(rig.Sim().Alarms()[30], 0x27);
}

// Without the settings (they carry the enables) Save would write back a block
// that was never read from this station.
TEST(AlarmDialog, AFailedSettingsReadLeavesNothingToSave) {
    const std::pair<int, bool> reads[] = {{0x08, false}, {0x06, false}, {-1, true}};
    for (auto [failing, saveable] : reads) {
        SimStationRig rig;
        if (failing >= 0) rig.Faults().Add(sim::Fault::BadChecksum, 1, failing);
        const bool ok = CAlarm::ReadStation(rig.access);
        EXPECT_EQ(ok, saveable) << failing;
        CAlarm d(rig.access, rig.texts, rig.messages, ok);
        EXPECT_EQ(Control(d, 1)->isEnabled(), saveable) << failing;
        const std::vector<uint8_t> codes = rig.counting->Codes();
        EXPECT_EQ(std::vector<uint8_t>(codes.end() - 2, codes.end()),
                  (std::vector<uint8_t>{0x08, 0x06}))
            << "settings first, then the alarms";
    }
}

TEST(AlarmDialog, FailedWritesAreReportedAndAFailedSettingsWriteSkipsTheAlarms) {
    struct Case {
        sim::Fault fault;
        int command;
        std::vector<uint8_t> sent;
    } cases[] = {{sim::Fault::WrongStatus, 0x88, {0x88}},
                 {sim::Fault::UnplugMidExchange, 0x86, {0x88, 0x86}}};
    for (const Case& c : cases) {
        Opened o;
        o.rig.Faults().Add(c.fault, 1, c.command);
        Click(*o.dialog, 1);
        EXPECT_EQ(o.CodesSinceOpen(), c.sent);
        EXPECT_EQ(Shown(o.rig.messages), kSaveFailed);
        EXPECT_NE(o.dialog->result(), QDialog::Accepted);
    }
}

TEST(AlarmDialog, WithoutRainTheRainRowsGoAndTheTimeAlarmMovesUp) {
    Opened wet;
    RigOptions dry;
    dry.rain = false;
    Opened o(Plain(), dry);
    const QString rainParts[] = {"label_1089", Idc(1089), Idc(1090), Idc(1091), "label_1093",
                                 Idc(1093),    Idc(1094), Idc(1095), Idc(1154)};
    for (const QString& name : rainParts) {
        EXPECT_FALSE(Named(*wet.dialog, name)->isHidden()) << name.toStdString();
        EXPECT_TRUE(Named(*o.dialog, name)->isHidden()) << name.toStdString();
    }
    const QRect sep = Control(*o.dialog, 1154)->geometry();
    EXPECT_EQ(Control(*o.dialog, 1155)->geometry().bottom() + 1, sep.top());
    const int up = Control(*wet.dialog, 1156)->y() - Control(*o.dialog, 1156)->y();
    EXPECT_EQ(Control(*o.dialog, 1156)->y(), sep.y() + sep.height() - 8);
    for (int id : {1096, 1097, 1098})
        EXPECT_EQ(Control(*wet.dialog, id)->y() - Control(*o.dialog, id)->y(), up) << id;
    EXPECT_GT(up, 0);
}

TEST(AlarmDialog, FailedReadOpensEmptyWithSaveDisabled) {
    SimStationRig rig;
    rig.Faults().Add(sim::Fault::WrongCode, 1, 0x06);
    CAlarm d(rig.access, rig.texts, rig.messages, CAlarm::ReadStation(rig.access));
    EXPECT_FALSE(Control(d, 1)->isEnabled());
    EXPECT_EQ(EditText(d, 1027), "");
    EXPECT_FALSE(Control<QCheckBox>(d, 1025)->isChecked());
    EXPECT_EQ(Control<QDateTimeEdit>(d, 1098)->dateTime(),
              QDateTime(QDate(2016, 1, 1), QTime(0, 0)));
}

TEST(AlarmDialog, PickerShowsTheLocalesTimeWithoutSeconds) {
    const std::pair<const char*, const char*> cases[] = {
        {"HH:mm:ss", "HH:mm"},   {"HH:mm:ss t", "HH:mm"}, {"h:mm:ss AP t", "h:mm AP"},
        {"t HH:mm:ss", "HH:mm"}, {"H:mm", "H:mm"},        {"HH:mm:ss 'at' t", "HH:mm 'at'"}};
    for (auto [in, out] : cases) EXPECT_EQ(CAlarm::PickerFormat(in).toStdString(), out) << in;
}
