#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Units.h"

// Text-to-value parsers for what the user types. The text is in the display
// unit; the result is in the internal unit, range-checked. On failure `out`
// is left as it was and the caller shows the range message.
namespace nimbary {

bool ParseTemp(const std::string& text, double& out, const UnitSet& u);
bool ParseHumi(const std::string& text, int32_t& out, const UnitSet& u);
bool ParseBaro(const std::string& text, double& out, const UnitSet& u);
bool ParseWind(const std::string& text, double& out, const UnitSet& u);
bool ParseRain(const std::string& text, double& out, const UnitSet& u);

bool ParseTemp(const std::string& text, double& out);
bool ParseHumi(const std::string& text, int32_t& out);
bool ParseBaro(const std::string& text, double& out);
bool ParseWind(const std::string& text, double& out);
bool ParseRain(const std::string& text, double& out);

// Reads a number the way the C runtime's to-double conversion does: leading
// blanks skipped, reading stops at the first character that does not fit,
// an empty or non-numeric text reads as 0. Always with '.' as the decimal
// point, whatever the process locale.
double ReadDouble(const std::string& text);
// The same for whole numbers (base 10); saturates at the long range.
long ReadLong(const std::string& text);

// Accepted ranges, internal units, inclusive.
constexpr double kTempMin = -40.0, kTempMax = 140.0;
constexpr double kTempIndoorMessageMin = 14.2;  // lower end shown for indoor fields
constexpr int32_t kHumiMin = 10, kHumiMax = 99;
constexpr double kBaroMin = 300.0, kBaroMax = 1100.0;
constexpr double kWindMin = 0.0, kWindMax = 50.0;
constexpr double kRainMin = 0.0, kRainMax = 999.9;

enum class Quantity { Temp, Humi, Baro, Wind, Rain };

// The two ends of a parser's range message, lower first, formatted with value
// and unit in the given unit set. `indoor` selects the indoor temperature
// range of the alarm and settings dialogs.
std::pair<std::string, std::string> RangeEnds(Quantity q, bool indoor, const UnitSet& u);
// "Data Range is %s to %s" with those ends, from the program's string table.
std::string RangeMessageText(Quantity q, bool indoor, const UnitSet& u);
std::string RangeMessageText(Quantity q, bool indoor = false);

}  // namespace nimbary
