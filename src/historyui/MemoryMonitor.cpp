#include "MemoryMonitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Encoding.h"
#include "Format.h"

namespace nimbary {

namespace {

constexpr int kFlags = FMT_UNIT | FMT_VALUE;

std::string Printf(const char* format, int a, int b = 0) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

std::string Pair(const char* format, const std::string& previous, const std::string& current) {
    char buf[160];
    std::snprintf(buf, sizeof buf, format, previous.c_str(), current.c_str());
    return buf;
}

}  // namespace

MemoryMonitor::MemoryMonitor(HistorySource& station) : station_(station) {
    previous_.fill(VAL_ABSENT);
    current_.fill(VAL_ABSENT);
}

void MemoryMonitor::ReadEntry(int block, BlockEntry& entry) {
    // Block numbers start at 1; an entry that cannot be read stays as it was.
    if (block < 1 || block > kMaxBlocks) return;
    std::vector<uint8_t> bytes;
    if (station_.ReadMemory(1, static_cast<uint16_t>((block - 1) * kBlockEntrySize),
                            kBlockEntrySize, bytes))
        BlockEntry::Parse(bytes.data(), bytes.size(), entry);
}

bool MemoryMonitor::Jumped(const Row& previous, const Row& current) {
    for (int k = 0; k < kRainKinds; ++k)
        if (previous[k] < VAL_INVALID && std::fabs(current[k] - previous[k]) > 100) return true;
    const double before = previous[kTempPlace], now = current[kTempPlace];
    return before < VAL_INVALID && now < VAL_INVALID && std::fabs(now - before) > 10;
}

bool MemoryMonitor::CheckFirstRecord() {
    previous_ = current_;
    // The header, then at least the word that holds the indoor temperature.
    const int size = std::max(first_.RecordSize(), 2) + kRainHeaderSize;
    std::vector<uint8_t> bytes;
    if (!station_.ReadMemory(2, first_.StartAddress, static_cast<uint8_t>(size), bytes))
        return false;
    RainHeader h;
    if (!DecodeRainHeader(bytes.data(), bytes.size(), h)) return false;
    current_[RAIN_HOUR] = h.Hour;
    current_[RAIN_DAY] = h.Day;
    current_[RAIN_WEEK] = h.Week;
    current_[RAIN_MONTH] = h.Month;
    ByteReader r(bytes.data(), bytes.size());
    current_[kTempPlace] = DecodeTemp12(r.Lone12(kRainHeaderSize));
    return !Jumped(previous_, current_);
}

MemoryMonitor::Look MemoryMonitor::Tick() {
    Look look;
    MemoryStatus s;
    if (!station_.ReadMemoryStatus(s)) return look;
    if (s.DataSize == 0) return look;
    ReadEntry(s.FirstBlock, first_);
    ReadEntry(s.CurrentBlock, currentEntry_);
    const bool header = first_.HasRainHeader();
    if (header) look.warning = !CheckFirstRecord();

    // The trailing blanks clear what an older, longer line left behind.
    Lines& out = look.lines;
    out.emplace_back(
        10, Printf("First Block:%d        Records:%02X            ", s.FirstBlock, first_.Count));
    out.emplace_back(30, Printf("Current Block:%d   Records:%02X            ", s.CurrentBlock,
                                currentEntry_.Count));
    out.emplace_back(50, Printf("Data Size:%d                     ", s.DataSize));
    if (lastDataSize_ < 0) lastDataSize_ = s.DataSize;
    if (s.DataSize != lastDataSize_) {
        out.emplace_back(70, Printf("Increase data:%d          ", s.DataSize - lastDataSize_));
        lastDataSize_ = s.DataSize;
    }
    if (header) {
        out.emplace_back(110, "first rain record of first block:");
        const std::pair<int, const char*> rows[] = {
            {RAIN_HOUR, "Rain Hour:     Del: %s  Curr: %s        "},
            {RAIN_DAY, "Rain Day:      Del: %s  Curr: %s        "},
            {RAIN_WEEK, "Rain Week:   Del: %s  Curr: %s        "},
            {RAIN_MONTH, "Rain Month:  Del: %s  Curr: %s        "}};
        int y = 130;
        for (const auto& [kind, format] : rows) {
            out.emplace_back(y, Pair(format, FormatRain(previous_[kind], kFlags),
                                     FormatRain(current_[kind], kFlags)));
            y += 20;
        }
        out.emplace_back(210, Pair("In Temperature:  Del: %s  Curr: %s        ",
                                   FormatTemp(previous_[kTempPlace], kFlags),
                                   FormatTemp(current_[kTempPlace], kFlags)));
    }
    return look;
}

}  // namespace nimbary
