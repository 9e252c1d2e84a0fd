#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HistorySummary.h"
#include "HistoryTable.h"
#include "Units.h"

namespace nimbary {

// The summaries as a table: one row per period, the columns of the
// quantities the station has, texts in the language in force when the
// table is made and in its units. The source of the browser's Summary
// list, its exports and `nimbary-cli summary`.
//
// Columns: the period, the records, the records expected and the coverage;
// then per measurement with data its minimum, time of the minimum, maximum,
// time of the maximum and mean; the wind's mean, maximum with its time and
// direction, the gust's maximum with its time and direction and the
// dominant direction; the rain total and the wettest hour with its start;
// heating and cooling degree days.
// Degree days (°F days) in the temperature unit of `units`: °C days are
// differences of temperature, so °F days / 1.8.
std::string FormatDegreeDays(double fahrenheitDays, const UnitSet& units);

class SummaryTable : public TableSource {
public:
    enum class Kind { Period, Count, Value, Time, Direction };
    // The statistic a column shows (Total: a sum over the period, the rain
    // and degree days).
    enum class Stat { None, Min, MinTime, Max, MaxTime, MaxDirection, Mean, Total };
    struct Column {
        Kind kind;
        Stat stat;
        int group;              // columns of one quantity share it; 0 is the period's
        int field;              // the measurement (kStatFields index); -1 for others
        std::string groupText;  // "Out Temp."
        std::string statText;   // "Max" (empty for the group's only column)
        std::string unit;       // "°C"; empty for times, directions and counts
        bool perHour = false;   // "/h" after the unit
        std::string header;     // "Out Temp. Max(°C)"
    };

    SummaryTable(SummaryPeriod period, std::vector<PeriodSummary> periods, const UnitSet& units,
                 uint32_t devId = 0);

    int ColumnCount() const override { return static_cast<int>(columns_.size()); }
    int RowCount() const override { return static_cast<int>(periods_.size()); }
    std::string HeaderText(int column) const override { return columns_[column].header; }
    std::string CellText(int row, int column) const override;
    uint32_t DevId() const override { return devId_; }
    // A period's dates and times may be wider than their headers.
    Width WidthRule(int) const override { return Width::Cells; }

    const Column& ColumnAt(int column) const { return columns_[column]; }
    // The number a value column shows, in its unit (Beaufort numbers for
    // bft); NaN where it shows none.
    double Number(int row, int column) const;
    // The rain total's column; -1 without rain.
    int RainColumn() const { return rainColumn_; }
    SummaryPeriod Period() const { return period_; }
    const UnitSet& Units() const { return units_; }
    const std::vector<PeriodSummary>& Periods() const { return periods_; }

    // The period's name: "2024-03-05", "2024-03" or "2024".
    static std::string PeriodText(SummaryPeriod period, uint32_t start);

private:
    // What a cell shows, picked from the row's summary.
    struct Cell {
        int field;  // kStatFields index, or one of the period's own values
        Stat stat;
    };
    void Add(Kind kind, Stat stat, int group, const std::string& groupText,
             const std::string& statText, const std::string& unit, Cell cell, bool perHour = false);
    std::string TimeText(uint32_t t) const;

    SummaryPeriod period_;
    std::vector<PeriodSummary> periods_;
    UnitSet units_;
    uint32_t devId_;
    std::vector<Column> columns_;
    std::vector<Cell> cells_;
    int rainColumn_ = -1;
};

}  // namespace nimbary
