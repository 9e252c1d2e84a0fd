#pragma once

#include <cstdint>
#include <string>

#include "Units.h"

// Value-to-text formatters. Every displayed, exported or entered value goes
// through these so a reading looks the same everywhere. Texts are UTF-8.
namespace nimbary {

enum FormatFlags : int { FMT_UNIT = 1, FMT_VALUE = 2 };

std::string FormatTemp(double f, int flags, const UnitSet& u);
std::string FormatHumi(int32_t h, int flags, const UnitSet& u);
std::string FormatBaro(double hpa, int flags, const UnitSet& u);
std::string FormatWind(double ms, int flags, const UnitSet& u);
std::string FormatRain(double mm, int flags, const UnitSet& u);
std::string FormatWindDir(int32_t degrees);

// The same, in the program-wide unit set.
std::string FormatTemp(double f, int flags);
std::string FormatHumi(int32_t h, int flags);
std::string FormatBaro(double hpa, int flags);
std::string FormatWind(double ms, int flags);
std::string FormatRain(double mm, int flags);

// Unit names as shown.
std::string TempUnitName(const UnitSet& u);
std::string BaroUnitName(const UnitSet& u);
std::string WindUnitName(const UnitSet& u);
std::string RainUnitName(const UnitSet& u);

// printf "%.Nf" without the C locale's say: always a '.' and the usual
// rounding of the exact binary value ("-0.0" for -0.04 with one decimal).
std::string FixedText(double v, int decimals);

}  // namespace nimbary
