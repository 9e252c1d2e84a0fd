#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "HistoryRecord.h"
#include "Units.h"
#include "WorkProgress.h"

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

// A value as the list shows it, without its unit (humidity and direction
// cut to whole numbers); the unit's name (none for the wind direction).
std::string FormatQuantity(Quantity q, double value, const UnitSet& units);
std::string QuantityUnit(Quantity q, const UnitSet& units);

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

// What a table view shows: headers and cell texts by row and column, in
// column-index order.
class TableSource {
public:
    virtual ~TableSource() = default;
    virtual int ColumnCount() const = 0;
    virtual int RowCount() const = 0;
    virtual std::string HeaderText(int column) const = 0;
    virtual std::string CellText(int row, int column) const = 0;
    // The station of the rows (0 for none), for the PDF's id line.
    virtual uint32_t DevId() const { return 0; }

    // How wide the PDF makes a column besides its header: as its largest
    // row number, as the sample time, or as its widest cell.
    enum class Width { Header, RowNumbers, SampleTime, Cells };
    virtual Width WidthRule(int /*column*/) const { return Width::Header; }
};

// The records of one selection as the history browser shows them: the table
// source that the browser's list, the exporters and the command-line tool
// all read, so the screen and the files cannot drift apart.
//
// Holds the records' values column by column (only columns that have data
// take memory) in internal units and formats a cell only when it is asked
// for, in the units in force when the table was loaded. Columns are the
// kept ones in column-index order: "No.", "Time" and every measurement
// column with at least one shown value.
class HistoryTable : public TableSource {
public:
    // Text of a record time (OLE date) for the Time column.
    using TimeText = std::function<std::string(double oleDate)>;

    // An empty table: columns "No." and "Time", no rows.
    HistoryTable(TimeText timeText, const UnitSet& units);

    enum LoadStatus : int { LOAD_OK = 0, LOAD_FAILED = 1, LOAD_CANCELLED = 2 };

    // Reads the open selection of `db` from its first row: the browser's
    // walk, telling `progress` (when given) how far it is and stopping when
    // it asks. LOAD_FAILED when a step of the walk failed (the database has
    // shown its message); the table is left as it was unless LOAD_OK.
    int Load(HistoryDb& db, uint32_t devId, WorkProgress* progress = nullptr);

    // --- The table source --------------------------------------------------
    int ColumnCount() const override { return static_cast<int>(kept_.size()); }
    int RowCount() const override { return static_cast<int>(times_.size()); }
    std::string HeaderText(int column) const override { return headers_[column]; }
    std::string CellText(int row, int column) const override;
    // Station of the loaded records (0 before the first load).
    uint32_t DevId() const override { return devId_; }
    Width WidthRule(int column) const override {
        return FullColumn(column) == 0   ? Width::RowNumbers
               : FullColumn(column) == 1 ? Width::SampleTime
                                         : Width::Header;
    }

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

// Selects the records of `devId` with `start` <= RecTime <= `end`, walks
// them into `table` and closes the selection: what Update and the
// command-line export do. `opened` runs once the selection is open, before
// the walk (the browser lets go of the table it showed then). Any thread.
int LoadRange(HistoryDb& db, uint32_t devId, double start, double end, HistoryTable& table,
              WorkProgress* progress = nullptr, const std::function<void()>& opened = {});

}  // namespace nimbary
