#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Units.h"

// Text-to-value parsers for what the user types. The text is in the display
// unit; the result is in the internal unit, range-checked. On failure `out`
// is left as it was and the caller shows the range message. The range is
// checked in the unit shown, against its ends as the range message prints
// them: an end the message names is accepted, and where it lies past the
// range's own end it is stored as that end.
namespace nimbary {

// `indoor` selects the indoor temperature range (14.2 °F upwards).
bool ParseTemp(const std::string& text, double& out, const UnitSet& u, bool indoor = false);
bool ParseHumi(const std::string& text, int32_t& out, const UnitSet& u);
bool ParseBaro(const std::string& text, double& out, const UnitSet& u);
bool ParseWind(const std::string& text, double& out, const UnitSet& u);
bool ParseRain(const std::string& text, double& out, const UnitSet& u);

bool ParseTemp(const std::string& text, double& out);
bool ParseHumi(const std::string& text, int32_t& out);
bool ParseBaro(const std::string& text, double& out);
bool ParseWind(const std::string& text, double& out);
bool ParseRain(const std::string& text, double& out);

// A number as a user types it: blanks around it, a sign, decimal digits with
// '.' as the decimal mark (or a lone ',' in its place), an exponent. False
// for anything else: an empty text, letters, a dash text, a second number.
// The process locale plays no part.
bool ReadNumber(const std::string& text, double& out);
// The same for a whole number ("7", "7.0", "1e2"; not "7.5").
bool ReadWhole(const std::string& text, long& out);

// Accepted ranges, internal units, inclusive.
constexpr double kTempMin = -40.0, kTempMax = 140.0;
constexpr double kTempIndoorMessageMin = 14.2;  // lower end shown for indoor fields
constexpr int32_t kHumiMin = 10, kHumiMax = 99;
constexpr double kBaroMin = 300.0, kBaroMax = 1100.0;
constexpr double kWindMin = 0.0, kWindMax = 50.0;
constexpr double kRainMin = 0.0, kRainMax = 999.9;

enum class RangeQuantity { Temp, Humi, Baro, Wind, Rain };

// The two ends of a parser's range message, lower first, formatted with value
// and unit in the given unit set. `indoor` selects the indoor temperature
// range of the alarm and settings dialogs.
std::pair<std::string, std::string> RangeEnds(RangeQuantity q, bool indoor, const UnitSet& u);

}  // namespace nimbary
