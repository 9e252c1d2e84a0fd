#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HistoryRecord.h"
#include "Units.h"

namespace nimbary {

class HistoryDb;

// The history table before empty columns are pruned: "No.", "Time" and the
// 47 measurement columns, channels interleaved as the browser shows them.
constexpr int kHistoryColumns = 49;
constexpr int kFirstMeasureColumn = 2;
// Full columns of the measurements; a channel's column is its group's plus
// 2 * (channel - 1), a rain kind's is HCOL_RAIN plus its RainKind.
enum HistoryColumn : int {
    HCOL_IN_TEMP = 2,
    HCOL_IN_HUMI = 3,
    HCOL_CH_TEMP = 4,
    HCOL_CH_HUMI = 5,
    HCOL_CH_DEWPOINT = 20,
    HCOL_CH_FEELLIKE = 21,
    HCOL_WIND = 36,
    HCOL_GUST = 37,
    HCOL_WIND_DIR = 38,
    HCOL_ABS_BARO = 39,
    HCOL_REL_BARO = 40,
    HCOL_RAIN = 41,
};

// What a measurement column holds, for its unit and its formatter.
enum class Quantity { Temp, Humi, Wind, WindDir, Baro, Rain };

struct HistoryColumnSpec {
    int stringId;  // header text
    Quantity quantity;
    int channel;      // 1..8 for a channel column (the header's format argument), else 0
    int measurement;  // index of the field in ForEachMeasurement order
    bool perHour;     // "/h" after the unit (Rain Rate)
};

// Column 2..48 of the full table.
const HistoryColumnSpec& ColumnSpec(int fullColumn);

// "%s(%s)" without a blank, and "/h" after a rate; no parentheses without a unit.
std::string HeaderRule(const std::string& text, const std::string& unit, bool perHour = false);
// Header text of column 2..48 in the current language and `units`.
std::string ColumnHeader(int fullColumn, const UnitSet& units);

// The records of one selection as the history browser shows them: the table
// source that the browser's list, the exporters and the command-line tool
// all read, so the screen and the files cannot drift apart.
//
// Holds the records' values column by column (only columns that have data
// take memory) in internal units and formats a cell only when it is asked
// for, in the units in force when the table was loaded. Columns are the
// kept ones in column-index order: "No.", "Time" and every measurement
// column with at least one shown value.
class HistoryTable {
public:
    // Text of a record time (OLE date) for the Time column.
    using TimeText = std::function<std::string(double oleDate)>;

    // An empty table: columns "No." and "Time", no rows.
    HistoryTable(TimeText timeText, const UnitSet& units);

    // Reads the open selection of `db` from its first row: the browser's
    // walk. 0 on success; non-zero when a step of the walk failed (the
    // database has shown its message), and the table is then left as it was.
    int Load(HistoryDb& db, uint32_t devId);

    // --- The table source --------------------------------------------------
    int ColumnCount() const { return static_cast<int>(kept_.size()); }
    int RowCount() const { return static_cast<int>(times_.size()); }
    const std::string& HeaderText(int column) const { return headers_[column]; }
    std::string CellText(int row, int column) const;
    // Station of the loaded records (0 before the first load).
    uint32_t DevId() const { return devId_; }

    // --- Underlying data ---------------------------------------------------
    // Index in the full 49-column table of a kept column.
    int FullColumn(int column) const { return kept_[column]; }
    // Records whose value in full column 2..48 was shown (not VAL_ABSENT).
    int DataCount(int fullColumn) const { return counts_[fullColumn - kFirstMeasureColumn]; }
    double RecTime(int row) const { return times_[row]; }
    // Value of full column 2..48 in internal units; VAL_ABSENT in a column
    // without data.
    double Value(int row, int fullColumn) const;
    const UnitSet& Units() const { return units_; }
    // Bytes held for the records.
    size_t MemoryBytes() const;

private:
    void BuildColumns();

    TimeText timeText_;
    UnitSet units_;
    uint32_t devId_ = 0;
    std::vector<double> times_;
    std::array<std::vector<double>, kMeasurementFields> values_;  // by full column - 2
    std::array<int, kMeasurementFields> counts_{};
    std::vector<int> kept_;
    std::vector<std::string> headers_;
};

}  // namespace nimbary
