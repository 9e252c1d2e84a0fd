#pragma once

#include <QString>
#include <cstdint>

#include "DialogSupport.h"  // Text(id), the program's texts

// What the history dialogs share: the program's texts, and station ids as
// the lists show them.
namespace nimbary {

// "%08X": eight upper-case hexadecimal digits.
QString StationIdText(uint32_t id);
// The station id of a list's text: hexadecimal digits up to the first
// other character (empty text gives 0), at most 49 characters read; a
// number too large stays at 0xFFFFFFFF, as the C library reads it.
uint32_t ParseStationId(const QString& text);

}  // namespace nimbary
