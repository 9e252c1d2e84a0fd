#pragma once

#include <cstdint>

#include "HistoryRecord.h"

// Temperatures the program derives itself. All take and return °F, rounded
// to one decimal; a sentinel input returns the temperature unchanged.
namespace nimbary {

double CalcDewPoint(double tempF, int32_t humidity);
double CalcHeatIndex(double tempF, int32_t humidity);
double CalcWindChill(double tempF, double windMs);
double CalcFeelsLike(double tempF, double windMs, int32_t humidity);

// Fills dew point and feels-like of every channel whose temperature is
// present (bit k of tempMask = channel k+1), from the record's own values.
// Wind is the average speed; it takes part only when the station has a wind
// sensor. Fields not set here keep their value.
void FillDerived(HistoryRecord& rec, uint8_t tempMask, uint8_t humiMask, bool hasWind);

}  // namespace nimbary
