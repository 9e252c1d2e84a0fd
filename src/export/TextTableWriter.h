#pragma once

#include <string>

#include "HistoryExport.h"

namespace nimbary {

class TableSource;

// The table as tab-separated UTF-16LE text: the byte-order mark, the header
// line, then one line per row; fields split by TAB, lines ended by CR LF,
// no quoting (no cell text holds a TAB or a line break).
class TextTableWriter {
public:
    static ExportResult Write(const TableSource& table, const std::string& path,
                              ExportProgress& progress);
};

// Appends UTF-8 `text` as UTF-16 little-endian bytes; a malformed byte
// becomes U+FFFD.
void AppendUtf16LE(std::string& out, const std::string& text);

}  // namespace nimbary
