#include "CSetting.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <tuple>

#include "DialogSupport.h"
#include "Format.h"
#include "Parse.h"

namespace nimbary {

namespace {

QStringList Numbers(int from, int to) {
    QStringList out;
    for (int n = from; n <= to; ++n) out << QString::number(n);
    return out;
}

// A row's label sits two pixels lower than its list, so their texts line up.
QRect RowLabel(int x, int y, int w) {
    return QRect(x, y + 2, w, 20);
}
QRect RowList(int x, int y, int w) {
    return QRect(x, y, w, 24);
}

constexpr int kUser = 0, kIndoor = 1;
constexpr int kMinute = 0, kSecond = 1;

}  // namespace

CSetting::CSetting(StationAccess& station, TextSource& texts, Messages& messages, bool readOk,
                   QWidget* parent)
    : QDialog(parent),
      station_(station),
      texts_(texts),
      messages_(messages),
      units_(station.DisplayUnits()),
      work_(station.Settings()) {
    setObjectName("CSetting");
    setFont(DialogFont());
    setFixedSize(761, 492);
    setWindowTitle(Text(texts_, 2107));
    auto T = [this](int id) { return Text(texts_, id); };
    auto group = [this](const QString& name, const QString& title, const QRect& r) {
        auto* g = Place<QGroupBox>(this, name, r);
        g->setTitle(title);
        return g;
    };
    using S = StationSettings;

    group("group_unit", T(2069), QRect(10, 8, 250, 150));
    const std::pair<int, int> unitRows[] = {{1131, 2034}, {1132, 2000}, {1133, 2049}, {1134, 2023}};
    const QStringList unitLists[] = {{"°C", "°F"},
                                     {"hpa", "inHg", "mmHg"},
                                     {"m/s", "km/h", "mph", "knots", "bft"},
                                     {"mm", "in"}};
    int32_t S::*const unitFields[] = {&S::TempUnit, &S::BaroUnit, &S::WindUnit, &S::RainUnit};
    for (int i = 0; i < 4; ++i) {
        const int y = 32 + 30 * i;
        AddLabel(unitRows[i].first, unitRows[i].second, RowLabel(22, y, 100));
        AddList(unitRows[i].first, RowList(125, y, 120), unitLists[i], unitFields[i]);
    }

    group("group_display", T(2070), QRect(270, 8, 481, 150));
    AddLabel(1135, 2015, RowLabel(282, 32, 90));
    AddList(1135, RowList(375, 32, 160), {T(2015), T(2017), T(2016)}, &S::TimeDisplay);
    AddLabel(1136, 2071, RowLabel(282, 62, 90));
    AddList(1136, RowList(375, 62, 160),
            {T(2037), T(2036), T(2039), T(2038), T(2049), T(2023), T(2000)}, &S::GraphQuantity);
    AddLabel(1137, 2072, RowLabel(282, 92, 90));
    AddList(1137, RowList(375, 92, 160), {"72H", "24H"}, &S::GraphSpan);
    AddLabel(1138, 2023, RowLabel(282, 122, 90));
    AddList(1138, RowList(375, 122, 160), {T(2026), T(2027), T(2029), T(2030), T(2031)},
            &S::RainDisplay);
    AddLabel(1139, 2073, RowLabel(548, 32, 92));
    AddList(1139, RowList(643, 32, 98), {"24H", "12H"}, &S::TimeFormat);
    AddLabel(1140, 2074, RowLabel(548, 62, 92));
    AddList(1140, RowList(643, 62, 98), {"DD-MM", "MM-DD"}, &S::DateFormat);
    AddLabel(1141, 2000, RowLabel(548, 92, 92));
    AddList(1141, RowList(643, 92, 98), {T(2002), T(2001)}, &S::PressureDisplay);
    // The channel circle is carried through but never offered.
    AddLabel(1142, 2075, RowLabel(548, 122, 92))->hide();
    AddList(1142, RowList(643, 122, 98), {T(2089), T(2088)}, &S::ChannelCircle)->hide();

    group("group_backlight", T(2076), QRect(10, 168, 300, 120));
    AddLabel(1143, 2088, RowLabel(22, 192, 95));
    AddList(1143, RowList(120, 192, 180), {T(2089), T(2090)}, &S::BacklightAuto);
    AddLabel(1144, 2077, RowLabel(22, 222, 95));
    AddList(1144, RowList(120, 222, 180), Numbers(1, 8), &S::Brightness);
    AddLabel(1145, 2078, RowLabel(22, 252, 95));
    colorBy_ = AddList(1145, RowList(120, 252, 180), {T(2053), T(2037), T(2039)}, &S::ColorBy);

    colorGroup_ = group("group_color", QString(), QRect(320, 168, 200, 120));
    userColor_ = AddList(1146, RowList(332, 192, 80), Numbers(1, 11), &S::UserColor);
    QLineEdit** edits[] = {&lower_, &upper_};
    for (int i = 0; i < 2; ++i) {
        const int y = 192 + 30 * i;
        boundWidgets_[3 * i] = AddLabel(1120 + i, 2079 + i, RowLabel(332, y, 55));
        *edits[i] = Place<QLineEdit>(this, Idc(1120 + i), RowList(390, y, 70));
        boundWidgets_[3 * i + 1] = *edits[i];
        auto* unit = Place<QLabel>(this, Idc(1118 + i), RowLabel(464, y, 45));
        unit->setText(QString::fromStdString(FormatTemp(0, FMT_UNIT, units_)));
        boundWidgets_[3 * i + 2] = unit;
    }

    group("group_forecast", T(2081), QRect(530, 168, 221, 120));
    AddLabel(1147, 2082, RowLabel(542, 192, 95));
    AddList(1147, RowList(643, 192, 98), Numbers(2, 4), &S::ForecastWeather, 2);
    AddLabel(1148, 2083, RowLabel(542, 222, 95));
    AddList(1148, RowList(643, 222, 98), Numbers(3, 9), &S::ForecastStorm, 3);

    // Minutes are typed, seconds chosen, in the same place.
    group("group_interval", T(2087), QRect(10, 298, 300, 70));
    minutes_ = Place<QLineEdit>(this, Idc(1122), RowList(22, 324, 90));
    seconds_ = Place<QComboBox>(this, Idc(1155), RowList(22, 324, 90));
    seconds_->addItems({"16", "32", "48"});
    intervalUnit_ = Place<QComboBox>(this, Idc(1156), RowList(120, 324, 110));
    intervalUnit_->addItems({T(2009), T(2008)});

    group("group_misc", QString(), QRect(320, 298, 200, 100));
    // Room for "最大 / 最小值(&X)" with its access key.
    AddLabel(1152, 2109, RowLabel(332, 322, 92));
    AddList(1152, RowList(427, 320, 83), {T(2111), T(2057)}, &S::MaxMinMode);
    AddLabel(1154, 2086, RowLabel(332, 352, 92));
    AddList(1154, RowList(427, 350, 83), {T(2089), T(2090)}, &S::Buzzer);

    QGroupBox* timeGroup = group(Idc(1153), QString(), QRect(530, 298, 221, 130));
    QStringList zones;
    for (int z = -12; z <= 12; ++z) zones << QString::number(z);
    QWidget* timeControls[] = {
        AddLabel(1149, 2018, RowLabel(542, 320, 100)),
        AddList(1149, RowList(645, 320, 96), zones, &S::TimeZone, -12),
        AddLabel(1150, 2084, RowLabel(542, 352, 100)),
        AddList(1150, RowList(645, 352, 96), {T(2089), T(2090)}, &S::TimeRadio),
        AddLabel(1151, 2085, RowLabel(542, 384, 100)),
        AddList(1151, RowList(645, 384, 96), {T(2089), T(2090)}, &S::DaylightSaving),
    };

    save_ = Place<QPushButton>(this, Idc(1), QRect(561, 450, 85, 28));
    save_->setText(T(2064));
    save_->setDefault(true);
    auto* cancel = Place<QPushButton>(this, Idc(2), QRect(656, 450, 85, 28));
    cancel->setText(T(2065));
    connect(save_, &QPushButton::clicked, this, &CSetting::OnSave);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    if (!readOk) {
        // Nothing in hand was read from this station: nothing to write back.
        save_->setEnabled(false);
        work_.ColorInLower = work_.ColorInUpper = VAL_ABSENT;
        work_.ColorOutLower = work_.ColorOutUpper = VAL_ABSENT;
    }
    Fill();

    auto disable = [this](std::initializer_list<int> ids) {
        for (int id : ids)
            for (const QString& name : {Idc(id), LabelName(id)})
                if (auto* w = findChild<QWidget*>(name)) w->setEnabled(false);
    };
    if (work_.Region != 2) disable({1151});
    if (!work_.HasTimeOptions) {
        timeGroup->setEnabled(false);
        for (QWidget* w : timeControls) w->setEnabled(false);
    }
    if (!work_.HasForecast) {
        findChild<QWidget*>("group_forecast")->setEnabled(false);
        disable({1147, 1148});
    }
    if (!(station_.Presence().Flags & QF_RAIN)) disable({1134, 1138});
    SetAccessKeys(*this, text::KeyPlace::Setting);

    // Connected after filling, so only the user's changes are validated.
    connect(colorBy_, &QComboBox::currentIndexChanged, this, &CSetting::OnColorByChanged);
    connect(intervalUnit_, &QComboBox::currentIndexChanged, this, &CSetting::ShowIntervalUnit);
}

QComboBox* CSetting::AddList(int id, const QRect& r, const QStringList& entries,
                             int32_t StationSettings::*field, int offset) {
    auto* box = Place<QComboBox>(this, Idc(id), r);
    box->addItems(entries);
    lists_.push_back({box, field, offset});
    return box;
}

QLabel* CSetting::AddLabel(int forId, int textId, const QRect& r) {
    auto* label = Place<QLabel>(this, LabelName(forId), r);
    label->setText(Text(texts_, textId));
    return label;
}

void CSetting::Fill() {
    const int32_t s = work_.RecordInterval;
    intervalUnit_->setCurrentIndex(s / 60 == 0 ? kSecond : kMinute);
    minutes_->setText(QString::number(s / 60 == 0 ? 1 : s / 60));
    seconds_->setCurrentIndex(s % 60 == 16 ? 0 : s % 60 == 32 ? 1 : 2);
    ShowIntervalUnit();
    // A value outside its list (a station's odd byte) selects nothing and is
    // written back as it was read.
    for (const List& l : lists_) {
        const int index = work_.*l.field - l.offset;
        l.box->setCurrentIndex(index >= 0 && index < l.box->count() ? index : -1);
    }
    RefreshColorBy();
}

void CSetting::RefreshColorBy() {
    const int mode = colorBy_->currentIndex();
    if (mode == shownColorBy_) return;
    shownColorBy_ = mode;
    const bool user = mode <= kUser;
    for (QWidget* w : boundWidgets_) w->setVisible(!user);
    userColor_->setVisible(user);
    if (user) {
        colorGroup_->setTitle(Text(texts_, 2062));
        return;
    }
    const bool indoor = mode == kIndoor;
    colorGroup_->setTitle(Text(texts_, indoor ? 2037 : 2039));
    const double lo = indoor ? work_.ColorInLower : work_.ColorOutLower;
    const double hi = indoor ? work_.ColorInUpper : work_.ColorOutUpper;
    filledLower_ = QString::fromStdString(FormatTemp(lo, FMT_VALUE, units_));
    filledUpper_ = QString::fromStdString(FormatTemp(hi, FMT_VALUE, units_));
    lower_->setText(filledLower_);
    upper_->setText(filledUpper_);
}

void CSetting::OnColorByChanged(int) {
    if (TakeColorBounds()) {
        RefreshColorBy();
        return;
    }
    const QSignalBlocker quiet(colorBy_);
    colorBy_->setCurrentIndex(shownColorBy_);
}

void CSetting::ShowIntervalUnit() {
    const bool seconds = intervalUnit_->currentIndex() == kSecond;
    seconds_->setVisible(seconds);
    minutes_->setVisible(!seconds);
}

void CSetting::Refuse(const std::string& text, MessageIcon icon, QLineEdit* edit) {
    messages_.Show(text, icon);
    edit->setFocus();
    edit->selectAll();
}

bool CSetting::TakeColorBounds() {
    if (shownColorBy_ <= kUser) return true;
    const bool indoor = shownColorBy_ == kIndoor;
    double& lo = indoor ? work_.ColorInLower : work_.ColorOutLower;
    double& hi = indoor ? work_.ColorInUpper : work_.ColorOutUpper;
    const std::tuple<QLineEdit*, const QString&, double&> bounds[] = {{lower_, filledLower_, lo},
                                                                      {upper_, filledUpper_, hi}};
    bool changed = false;
    for (auto& [edit, filled, bound] : bounds) {
        // A bound as it was filled keeps the station's value, which its
        // rounded text would not give back.
        if (edit->text() == filled) continue;
        changed = true;
        if (!ParseTemp(edit->text().toStdString(), bound, units_, indoor)) {
            Refuse(RangeMessage(texts_, RangeQuantity::Temp, indoor, units_), MessageIcon::Warning,
                   edit);
            return false;
        }
    }
    if (changed && !IsSentinel(lo) && !IsSentinel(hi) && lo > hi) {
        Refuse(texts_.Load(2123), indoor ? MessageIcon::None : MessageIcon::Warning, lower_);
        return false;
    }
    return true;
}

bool CSetting::TakeInterval(int32_t& seconds) {
    if (intervalUnit_->currentIndex() == kSecond) {
        const int i = seconds_->currentIndex();
        seconds = i == 0 ? 16 : i == 1 ? 32 : 48;
        return true;
    }
    long minutes = 0;
    if (!ReadWhole(minutes_->text().toStdString(), minutes) || minutes < 1 || minutes > 240) {
        Refuse(RangeMessage(texts_, "1M", "240M"), MessageIcon::Warning, minutes_);
        return false;
    }
    seconds = static_cast<int32_t>(minutes * 60);
    return true;
}

void CSetting::OnSave() {
    int32_t seconds = 0;
    if (!TakeColorBounds() || !TakeInterval(seconds)) return;
    work_.RecordInterval = seconds;
    for (const List& l : lists_)
        if (l.box->currentIndex() >= 0) work_.*l.field = l.box->currentIndex() + l.offset;
    if (!station_.WriteSettings(work_)) {
        messages_.Show(texts_.Load(2098), MessageIcon::Error, "Error");
        return;
    }
    messages_.Show(texts_.Load(2100), MessageIcon::Information);
    accept();
}

}  // namespace nimbary
