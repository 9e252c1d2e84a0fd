#pragma once

#include <QImage>
#include <string>

#include "StationData.h"

namespace nimbary {

class TextSource;

// The whole live display of one station state, as the main window shows it:
// kDisplayWidth x kDisplayHeight on the view's background, every pair laid
// out by the station's presence bytes and drawn in full.
QImage RenderDisplay(const StationData& station, const UnitSet& units, TextSource& texts);

// RenderDisplay written as a PNG file. Returns 1 on success, 0 when the file
// cannot be written.
int RenderDisplayToPng(const StationData& station, const UnitSet& units, TextSource& texts,
                       const std::string& path);

}  // namespace nimbary
