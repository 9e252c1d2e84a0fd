#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HistoryRecord.h"
#include "StationData.h"
#include "Units.h"

// What goes to the broker: the topics, the state and record payloads and the
// Home Assistant discovery configs. Values are in metric units whatever the
// display units (°C, %, hPa, m/s, degrees, mm, mm/h), every sentinel is null.
namespace nimbary {

enum class MqttQuantity { Temperature, Humidity, Pressure, Speed, Direction, Rain, RainRate };

struct PublishedField {
    std::string key;   // JSON key and the end of the object id: "ch1_temp"
    std::string name;  // Home Assistant's entity name: "Outdoor temperature"
    MqttQuantity quantity;
    const char* deviceClass;
    const char* stateClass;
    const char* unit;
};

// The 47 measurement fields of a record, in ForEachMeasurement's order.
const std::vector<PublishedField>& PublishedFields();

// One flag per published field: whether the station has it, by its presence
// block (rain event, rate and 24 hours, which the live reading does not
// carry, count when the reading holds a value for them).
std::vector<bool> PresentFields(const PresenceBlock& presence, const HistoryRecord& current);

// A field's value as JSON: a number in the metric unit, or null.
std::string JsonValue(MqttQuantity q, double internalValue);

// The display units the station's settings name.
UnitSet ShownUnits(const StationSettings& settings);

// The current reading with the display units the station shows.
std::string StateJson(const HistoryRecord& current, const UnitSet& displayUnits);
// A stored record: its station time and every field.
std::string RecordJson(const HistoryRecord& record);
// The same, appended to `out` (a buffer used again for a whole backlog).
void AppendRecordJson(std::string& out, const HistoryRecord& record);
// A record time (OLE date, station clock) as ISO 8601 without an offset,
// "2026-12-09T18:55:00"; empty outside the station's range.
std::string StationTimeText(double oleDate);

// Topics under the configured prefix for station `devId` ("%08X").
std::string StationTopic(const std::string& prefix, uint32_t devId, const char* leaf);
std::string DiscoveryTopic(const std::string& discoveryPrefix, uint32_t devId,
                           const PublishedField& field);
// The retained config of one sensor; the empty payload removes it.
std::string DiscoveryJson(const std::string& prefix, uint32_t devId, const PublishedField& field);

// A text as a JSON string, quotes included.
std::string JsonString(const std::string& text);

}  // namespace nimbary
