#include "CAlarm.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <variant>

#include "DialogSupport.h"
#include "Format.h"
#include "Parse.h"

namespace nimbary {

namespace {

// One threshold: its check box, edit and unit label, its enable bit, and the
// field it is read into (humidities are whole numbers). In the order Save
// takes them.
struct Threshold {
    int check, edit, unit;
    int byte, bit;
    RangeQuantity quantity;
    bool indoor;
    std::variant<double AlarmRecord::*, int32_t AlarmRecord::*> field;
};

using A = AlarmRecord;
constexpr RangeQuantity kT = RangeQuantity::Temp, kH = RangeQuantity::Humi,
                        kB = RangeQuantity::Baro, kW = RangeQuantity::Wind,
                        kR = RangeQuantity::Rain;

const Threshold kThresholds[20] = {
    {1025, 1027, 1029, 0, 0, kT, true, &A::InTempHigh},
    {1026, 1028, 1030, 0, 1, kT, true, &A::InTempLow},
    {1032, 1034, 1036, 0, 2, kH, false, &A::InHumiHigh},
    {1033, 1035, 1037, 0, 3, kH, false, &A::InHumiLow},
    {1039, 1041, 1043, 0, 4, kT, false, &A::OutTempHigh},
    {1040, 1042, 1044, 0, 5, kT, false, &A::OutTempLow},
    {1046, 1048, 1050, 0, 6, kH, false, &A::OutHumiHigh},
    {1047, 1049, 1051, 0, 7, kH, false, &A::OutHumiLow},
    {1053, 1055, 1057, 1, 0, kT, false, &A::DewPointHigh},
    {1054, 1056, 1058, 1, 1, kT, false, &A::DewPointLow},
    {1060, 1062, 1064, 1, 2, kT, false, &A::FeelsLikeHigh},
    {1061, 1063, 1065, 1, 3, kT, false, &A::FeelsLikeLow},
    {1067, 1069, 1071, 2, 0, kB, false, &A::AbsBaroHigh},
    {1068, 1070, 1072, 2, 1, kB, false, &A::AbsBaroLow},
    {1074, 1076, 1078, 2, 2, kB, false, &A::RelBaroHigh},
    {1075, 1077, 1079, 2, 3, kB, false, &A::RelBaroLow},
    {1081, 1082, 1083, 1, 4, kW, false, &A::WindHigh},
    {1085, 1086, 1087, 1, 5, kW, false, &A::GustHigh},
    {1089, 1090, 1091, 1, 6, kR, false, &A::RainHourHigh},
    {1093, 1094, 1095, 1, 7, kR, false, &A::RainDayHigh},
};
// Row captions: eight rows of a high and a low on the left, four highs on the right.
const int kRowText[12] = {2037, 2036, 2039, 2038, 2040, 2041, 2003, 2004, 2049, 2050, 2026, 2027};
constexpr int kLeftRows = 8;
constexpr int kFirstRainThreshold = 18;

int LeftRowTop(int row) {
    return 44 + 28 * row + (row >= 6 ? 20 : 0);  // the pressure rows sit below a separator
}
int RightRowTop(int row) {
    return row < 2 ? 44 + 28 * row : 116 + 28 * (row - 2);  // the rain rows below 1154
}

std::string Shown(const Threshold& t, const AlarmRecord& a, const UnitSet& u) {
    if (auto* humidity = std::get_if<int32_t A::*>(&t.field))
        return FormatHumi(a.**humidity, FMT_VALUE, u);
    const double v = a.*std::get<double A::*>(t.field);
    switch (t.quantity) {
        case RangeQuantity::Temp:
            return FormatTemp(v, FMT_VALUE, u);
        case RangeQuantity::Baro:
            return FormatBaro(v, FMT_VALUE, u);
        case RangeQuantity::Wind:
            return FormatWind(v, FMT_VALUE, u);
        default:
            return FormatRain(v, FMT_VALUE, u);
    }
}

// Reads an edit into its threshold. An indoor temperature that parses but
// lies below the indoor range is kept, and still refused.
bool Take(const Threshold& t, const std::string& text, AlarmRecord& a, const UnitSet& u) {
    if (auto* humidity = std::get_if<int32_t A::*>(&t.field))
        return ParseHumi(text, a.**humidity, u);
    double& v = a.*std::get<double A::*>(t.field);
    switch (t.quantity) {
        case RangeQuantity::Temp:
            return ParseTemp(text, v, u) && (!t.indoor || ParseTemp(text, v, u, true));
        case RangeQuantity::Baro:
            return ParseBaro(text, v, u);
        case RangeQuantity::Wind:
            return ParseWind(text, v, u);
        default:
            return ParseRain(text, v, u);
    }
}

std::string UnitName(RangeQuantity q, const UnitSet& u) {
    switch (q) {
        case RangeQuantity::Temp:
            return TempUnitName(u);
        case RangeQuantity::Humi:
            return "%";
        case RangeQuantity::Baro:
            return BaroUnitName(u);
        case RangeQuantity::Wind:
            return WindUnitName(u);
        case RangeQuantity::Rain:
            return RainUnitName(u);
    }
    return {};
}

}  // namespace

CAlarm::CAlarm(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
               QWidget* parent)
    : QDialog(parent),
      station_(station),
      texts_(texts),
      messages_(messages),
      units_(station.DisplayUnits()) {
    setObjectName("CAlarm");
    setFont(DialogFont());
    setFixedSize(800, 367);
    setWindowTitle(Text(texts_, 2108));

    Place<QGroupBox>(this, "group_left", QRect(10, 8, 470, 290));
    Place<QGroupBox>(this, Idc(1155), QRect(490, 8, 300, 172));
    Place<QGroupBox>(this, Idc(1156), QRect(490, 188, 300, 60));
    auto header = [this](int id, int x) {
        Place<QLabel>(this, Idc(id), QRect(x, 22, 100, 18))
            ->setText(Text(texts_, id == 1023 ? 2068 : 2067));
    };
    header(1021, 165);
    header(1023, 325);
    header(1022, 640);
    auto separator = [this](const QString& name, const QRect& r) {
        auto* line = Place<QFrame>(this, name, r);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
    };
    separator("separator_left", QRect(22, 214, 446, 12));
    separator(Idc(1154), QRect(502, 100, 278, 12));

    for (int i = 0; i < 20; ++i) {
        const Threshold& t = kThresholds[i];
        const bool left = i < 2 * kLeftRows;
        const int row = left ? i / 2 : kLeftRows + (i - 2 * kLeftRows);
        const int y = left ? LeftRowTop(row) : RightRowTop(row - kLeftRows);
        const int x = left ? (i % 2 ? 325 : 165) : 640;
        if (!left || i % 2 == 0) {  // one label a row
            auto* label = Place<QLabel>(this, LabelName(t.check),
                                        QRect(left ? 22 : 502, y + 2, left ? 135 : 130, 20));
            label->setText(Text(texts_, kRowText[row]));
        }
        checks_[i] = Place<QCheckBox>(this, Idc(t.check), QRect(x, y + 2, 20, 20));
        edits_[i] = Place<QLineEdit>(this, Idc(t.edit), QRect(x + 23, y, left ? 80 : 70, 24));
        auto* unit = Place<QLabel>(this, Idc(t.unit), QRect(x + (left ? 107 : 97), y + 2, 45, 20));
        unit->setText(QString::fromStdString(UnitName(t.quantity, units_)));
    }

    auto* timeLabel = Place<QLabel>(this, Idc(1096), QRect(502, 214, 130, 20));
    timeLabel->setText(Text(texts_, 2007));
    timeCheck_ = Place<QCheckBox>(this, Idc(1097), QRect(640, 214, 20, 20));
    SetAccessKey(timeLabel, timeCheck_, text::KeyPlace::Alarm, 1097);
    SetAccessKeys(*this, text::KeyPlace::Alarm);
    picker_ = Place<QDateTimeEdit>(this, Idc(1098), QRect(663, 212, 110, 24));
    picker_->setDisplayFormat(PickerFormat(QLocale().timeFormat(QLocale::LongFormat)));
    picker_->setDateTime(QDateTime(QDate(2016, 1, 1), QTime(0, 0)));

    save_ = Place<QPushButton>(this, Idc(1), QRect(610, 325, 85, 28));
    save_->setText(Text(texts_, 2064));
    save_->setDefault(true);
    auto* cancel = Place<QPushButton>(this, Idc(2), QRect(705, 325, 85, 28));
    cancel->setText(Text(texts_, 2065));
    connect(save_, &QPushButton::clicked, this, &CAlarm::OnSave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (readOk)
        Fill();
    else
        save_->setEnabled(false);
    if (!(station_.Presence().Flags & QF_RAIN)) RelayoutWithoutRain();
}

bool CAlarm::ReadStation(StationAccess& station) {
    // The enable switches travel in the settings: without a good read of them
    // Save would write back whatever the image held before.
    const bool settings = station.ReadSettings() != 0;
    return station.ReadAlarms() && settings;
}

QString CAlarm::PickerFormat(QString localeFormat) {
    localeFormat.remove(QStringLiteral(":ss"));
    // Qt's long time formats name the time zone ("t"); outside quotes, drop it.
    QString out;
    bool quoted = false;
    for (QChar c : localeFormat) {
        if (c == '\'') quoted = !quoted;
        if (quoted || c != 't') out += c;
    }
    return out.simplified();
}

void CAlarm::Fill() {
    const StationSettings s = station_.Settings();
    const AlarmRecord& a = station_.Alarms();
    for (int i = 0; i < 20; ++i) {
        const Threshold& t = kThresholds[i];
        checks_[i]->setChecked(s.AlarmEnable[t.byte] & (1 << t.bit));
        filled_[i] = QString::fromStdString(Shown(t, a, units_));
        edits_[i]->setText(filled_[i]);
    }
    timeCheck_->setChecked(s.TimeAlarmEnable != 0);
    QTime at(a.TimeHour, a.TimeMinute);
    picker_->setDateTime(QDateTime(QDate(2016, 1, 1), at.isValid() ? at : QTime(0, 0)));
}

void CAlarm::RelayoutWithoutRain() {
    for (int i = kFirstRainThreshold; i < 20; ++i) {
        const int check = kThresholds[i].check;
        for (const QString& name :
             {LabelName(check), Idc(check), Idc(kThresholds[i].edit), Idc(kThresholds[i].unit)})
            findChild<QWidget*>(name)->hide();
    }
    QWidget* separator = findChild<QWidget*>(Idc(1154));
    separator->hide();
    const QRect sep = separator->geometry();
    QWidget* windGroup = findChild<QWidget*>(Idc(1155));
    QRect g = windGroup->geometry();
    g.setBottom(sep.top() - 1);  // ends where the separator began
    windGroup->setGeometry(g);
    QWidget* timeGroup = findChild<QWidget*>(Idc(1156));
    const int up = timeGroup->y() - (sep.y() + sep.height() - 8);
    for (QWidget* w : {timeGroup, findChild<QWidget*>(Idc(1096)), static_cast<QWidget*>(timeCheck_),
                       static_cast<QWidget*>(picker_)})
        w->move(w->x(), w->y() - up);
}

void CAlarm::OnSave() {
    StationSettings s = station_.Settings();
    AlarmRecord& a = station_.Alarms();
    for (int i = 0; i < 20; ++i) {
        const Threshold& t = kThresholds[i];
        const uint8_t bit = static_cast<uint8_t>(1 << t.bit);
        s.AlarmEnable[t.byte] = checks_[i]->isChecked() ? (s.AlarmEnable[t.byte] | bit)
                                                        : (s.AlarmEnable[t.byte] & ~bit);
        // An edit still as it was filled keeps the station's value (read back
        // from its rounded text it would drift in most units); so do the
        // hidden rain rows, whatever they hold.
        if (edits_[i]->text() == filled_[i]) continue;
        if (!Take(t, edits_[i]->text().toStdString(), a, units_)) {
            // The rows taken so far stay in the image, as their thresholds do;
            // nothing goes to the station.
            station_.KeepSettings(s);
            messages_.Show(RangeMessage(texts_, t.quantity, t.indoor, units_),
                           MessageIcon::Information);
            edits_[i]->setFocus();
            edits_[i]->selectAll();
            return;
        }
    }
    s.TimeAlarmEnable = timeCheck_->isChecked() ? 1 : 0;
    const QTime at = picker_->time();
    a.TimeHour = at.hour();
    a.TimeMinute = at.minute();
    if (station_.WriteSettings(s) && station_.WriteAlarms()) {
        messages_.Show(texts_.Load(2100), MessageIcon::Information);
        accept();
        return;
    }
    messages_.Show(texts_.Load(2098), MessageIcon::Error, "Error");
}

}  // namespace nimbary
