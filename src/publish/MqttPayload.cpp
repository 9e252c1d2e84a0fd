#include "MqttPayload.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "CalendarTime.h"
#include "Format.h"

namespace nimbary {

namespace {

struct ClassOf {
    const char* deviceClass;
    const char* stateClass;
    const char* unit;
};

ClassOf Classes(MqttQuantity q) {
    switch (q) {
        case MqttQuantity::Temperature:
            return {"temperature", "measurement", "°C"};
        case MqttQuantity::Humidity:
            return {"humidity", "measurement", "%"};
        case MqttQuantity::Pressure:
            return {"atmospheric_pressure", "measurement", "hPa"};
        case MqttQuantity::Speed:
            return {"wind_speed", "measurement", "m/s"};
        case MqttQuantity::Direction:
            return {"wind_direction", "measurement_angle", "°"};
        case MqttQuantity::Rain:
            return {"precipitation", "measurement", "mm"};
        case MqttQuantity::RainRate:
            return {"precipitation_intensity", "measurement", "mm/h"};
    }
    return {"", "", ""};
}

std::vector<PublishedField> MakeFields() {
    std::vector<PublishedField> f;
    auto add = [&](std::string key, std::string name, MqttQuantity q) {
        const ClassOf c = Classes(q);
        f.push_back({std::move(key), std::move(name), q, c.deviceClass, c.stateClass, c.unit});
    };
    auto channel = [](int k) {
        return k == 1 ? std::string("Outdoor") : "Channel " + std::to_string(k);
    };
    add("in_temp", "Indoor temperature", MqttQuantity::Temperature);
    add("in_humi", "Indoor humidity", MqttQuantity::Humidity);
    const struct {
        const char* key;
        const char* name;
        MqttQuantity q;
    } groups[] = {{"temp", "temperature", MqttQuantity::Temperature},
                  {"humi", "humidity", MqttQuantity::Humidity},
                  {"dewpoint", "dew point", MqttQuantity::Temperature},
                  {"feellike", "feels like", MqttQuantity::Temperature}};
    for (const auto& g : groups)
        for (int k = 1; k <= kChannels; ++k)
            add("ch" + std::to_string(k) + "_" + g.key, channel(k) + " " + g.name, g.q);
    add("abs_baro", "Absolute pressure", MqttQuantity::Pressure);
    add("rel_baro", "Relative pressure", MqttQuantity::Pressure);
    add("wind", "Wind speed", MqttQuantity::Speed);
    add("gust", "Gust", MqttQuantity::Speed);
    add("wind_dir", "Wind direction", MqttQuantity::Direction);
    const char* rain[kRainKinds][2] = {
        {"rain_event", "Rain event"}, {"rain_rate", "Rain rate"},       {"rain_hour", "Rain hour"},
        {"rain_day", "Rain day"},     {"rain_24hour", "Rain 24 hours"}, {"rain_week", "Rain week"},
        {"rain_month", "Rain month"}, {"rain_total", "Rain total"}};
    for (int k = 0; k < kRainKinds; ++k)
        add(rain[k][0], rain[k][1], k == RAIN_RATE ? MqttQuantity::RainRate : MqttQuantity::Rain);
    // The total only grows, but for a reset of the station: what the
    // statistics of a rain gauge need.
    f.back().stateClass = "total_increasing";
    return f;
}

// Calls f(index, value) for every measurement of `r`, as doubles.
template <class F>
void EachValue(const HistoryRecord& r, F&& f) {
    int i = 0;
    ForEachMeasurement(r, [&](const auto& v) { f(i++, static_cast<double>(v)); });
}

// A number at `decimals`, as printf's "%.*f" writes it.
void AppendFixed(std::string& out, double v, int decimals) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (res.ec == std::errc()) out.append(buf, res.ptr);
}

void AppendValue(std::string& out, MqttQuantity q, double v) {
    if (!std::isfinite(v) || IsSentinel(v)) {
        out += "null";
        return;
    }
    switch (q) {
        case MqttQuantity::Temperature:
            // Two decimals keep the station's tenth of a °F apart.
            return AppendFixed(out, (v - 32.0) / 1.8, 2);
        case MqttQuantity::Humidity:
            return AppendFixed(out, v, 0);
        case MqttQuantity::Direction:
            if (v >= 0 && v < 360) return AppendFixed(out, v, 0);
            out += "null";
            return;
        default:
            return AppendFixed(out, v, 1);
    }
}

// ,"key": of every field, made once: a year of records is formatted in a row.
const std::vector<std::string>& KeyPrefixes() {
    static const std::vector<std::string> prefixes = [] {
        std::vector<std::string> p;
        for (const PublishedField& f : PublishedFields())
            p.push_back("," + JsonString(f.key) + ":");
        return p;
    }();
    return prefixes;
}

void AppendFields(std::string& out, const HistoryRecord& r) {
    const auto& fields = PublishedFields();
    const auto& prefixes = KeyPrefixes();
    EachValue(r, [&](int i, double v) {
        out += prefixes[i];
        AppendValue(out, fields[i].quantity, v);
    });
}

std::string DevIdText(uint32_t devId, bool upper) {
    char buf[9];
    std::snprintf(buf, sizeof buf, upper ? "%08X" : "%08x", devId);
    return buf;
}

}  // namespace

const std::vector<PublishedField>& PublishedFields() {
    static const std::vector<PublishedField> fields = MakeFields();
    return fields;
}

std::vector<bool> PresentFields(const PresenceBlock& p, const HistoryRecord& current) {
    std::vector<bool> on;
    on.reserve(kMeasurementFields);
    on.push_back(p.Flags & QF_IN_TEMP);
    on.push_back(p.Flags & QF_IN_HUMI);
    auto bit = [](uint8_t mask, int k) { return ((mask >> k) & 1) != 0; };
    for (int k = 0; k < kChannels; ++k) on.push_back(bit(p.TempMask, k));
    for (int k = 0; k < kChannels; ++k) on.push_back(bit(p.HumiMask, k));
    for (int k = 0; k < kChannels; ++k) on.push_back(bit(p.TempMask, k) && bit(p.HumiMask, k));
    for (int k = 0; k < kChannels; ++k) on.push_back(bit(p.TempMask, k));
    on.push_back(p.Flags & QF_PRESSURE);
    on.push_back(p.Flags & QF_PRESSURE);
    on.push_back(p.Flags & QF_WIND);
    on.push_back(p.Flags & QF_GUST);
    on.push_back(p.Flags & QF_WIND_DIR);
    const bool rain = p.Flags & QF_RAIN;
    for (int k = 0; k < kRainKinds; ++k) {
        const bool live = k != RAIN_EVENT && k != RAIN_RATE && k != RAIN_24HOUR;
        on.push_back(rain && (live || current.Rain[k] != VAL_ABSENT));
    }
    return on;
}

std::string JsonValue(MqttQuantity q, double v) {
    std::string out;
    AppendValue(out, q, v);
    return out;
}

UnitSet ShownUnits(const StationSettings& s) {
    UnitSet u;
    u.TempUnit = s.TempUnit;
    u.BaroUnit = s.BaroUnit;
    u.WindUnit = s.WindUnit;
    u.RainUnit = s.RainUnit;
    return u;
}

std::string StateJson(const HistoryRecord& current, const UnitSet& u) {
    std::string out = "{\"units\":{\"temperature\":" + JsonString(TempUnitName(u)) +
                      ",\"pressure\":" + JsonString(BaroUnitName(u)) +
                      ",\"wind\":" + JsonString(WindUnitName(u)) +
                      ",\"rain\":" + JsonString(RainUnitName(u)) + "}";
    AppendFields(out, current);
    out += '}';
    return out;
}

void AppendRecordJson(std::string& out, const HistoryRecord& record) {
    out += "{\"time\":";
    const std::string time = StationTimeText(record.RecTime);
    if (time.empty()) {
        out += "null";
    } else {
        out += '"';
        out += time;  // digits, '-', 'T' and ':' only
        out += '"';
    }
    AppendFields(out, record);
    out += '}';
}

std::string RecordJson(const HistoryRecord& record) {
    std::string out;
    out.reserve(1024);
    AppendRecordJson(out, record);
    return out;
}

std::string StationTimeText(double oleDate) {
    uint32_t seconds = 0;
    if (!OleDateToStationTime(oleDate, seconds)) return {};
    const CalendarTime t = CalendarTime::FromStationTime(seconds);
    // A year of records goes through here in a row: no printf.
    std::string out = "0000-00-00T00:00:00";
    auto put = [&](size_t at, int v, int digits) {
        for (int i = digits - 1; i >= 0; --i, v /= 10)
            out[at + i] = static_cast<char>('0' + v % 10);
    };
    put(0, t.Year, 4);
    put(5, t.Month, 2);
    put(8, t.Day, 2);
    put(11, t.Hour, 2);
    put(14, t.Minute, 2);
    put(17, t.Second, 2);
    return out;
}

std::string StationTopic(const std::string& prefix, uint32_t devId, const char* leaf) {
    return prefix + "/" + DevIdText(devId, true) + "/" + leaf;
}

std::string DiscoveryTopic(const std::string& discoveryPrefix, uint32_t devId,
                           const PublishedField& field) {
    return discoveryPrefix + "/sensor/nimbary_" + DevIdText(devId, false) + "_" + field.key +
           "/config";
}

std::string DiscoveryJson(const std::string& prefix, uint32_t devId, const PublishedField& f) {
    const std::string id = "nimbary_" + DevIdText(devId, false);
    const std::string unique = id + "_" + f.key;
    return "{\"name\":" + JsonString(f.name) + ",\"unique_id\":" + JsonString(unique) +
           ",\"object_id\":" + JsonString(unique) +
           ",\"state_topic\":" + JsonString(StationTopic(prefix, devId, "state")) +
           ",\"value_template\":" + JsonString("{{ value_json." + f.key + " }}") +
           ",\"device_class\":" + JsonString(f.deviceClass) +
           ",\"state_class\":" + JsonString(f.stateClass) +
           ",\"unit_of_measurement\":" + JsonString(f.unit) +
           ",\"availability_topic\":" + JsonString(StationTopic(prefix, devId, "status")) +
           ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"" +
           ",\"device\":{\"identifiers\":[" + JsonString(id) +
           "],\"name\":" + JsonString("Weather station " + DevIdText(devId, true)) +
           ",\"manufacturer\":\"Nimbary\",\"model\":\"USB weather station\"}}";
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace nimbary
