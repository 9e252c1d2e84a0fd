#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

#include "CUsb.h"
#include "CalendarTime.h"
#include "FakeStation.h"
#include "HistoryDownloader.h"
#include "SampleRecord.h"
#include "ScratchFile.h"
#include "SimBackend.h"
#include "TempDir.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

// Messages would only be errors here; none are expected.
class QuietMessages : public Messages {
public:
    void Show(const std::string& text, MessageIcon, const std::string&) override {
        std::fprintf(stderr, "unexpected: %s\n", text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// SaveRecords of one batch into the 49-column table with its index: the
// whole transaction, streamed from the scratch file. Batches go into one
// growing database, as the program's passes do, so the WAL checkpoints and
// their fsyncs fall where they would in use. Wall time includes those.
void BM_SaveRecords(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ScratchFile scratch;
    scratch.Create();
    for (int i = 0; i < n; ++i) scratch.Append(bench::SampleRecord(i));
    QuietMessages messages;
    TempDir dir;
    HistoryDb db(&messages);
    db.Open(dir.File("Nimbary.db"));
    db.Info().DevID = 0x12345678;
    for (auto _ : state)
        if (db.SaveRecords(static_cast<uint32_t>(n), scratch) != 0)
            state.SkipWithError("save failed");
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_SaveRecords)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveRecords)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A full memory: 64 blocks, a 64256-byte data area filled with the default
// sensors (indoor, channel 1, wind, gust, direction, pressure, rain with
// rain headers), 255 records a block.
FakeStation FullStation(int& records) {
    FakeStation st(64, 64256);
    BlockEntry e;
    e.Flags = 0x7F;
    e.TempMask = e.HumiMask = 0x01;
    e.Interval = 300;
    const int bytes = 255 * e.RecordSize() + kRainHeaderSize;
    const int blocks = 64256 / bytes;
    RawHeader header;
    records = 0;
    for (int b = 1; b <= blocks; ++b) {
        e.StartAddress = static_cast<uint16_t>((b - 1) * bytes);
        e.StartTime = 760000000u + static_cast<uint32_t>(records) * 300u;
        std::vector<RawRecord> recs(255);
        for (int i = 0; i < 255; ++i) {
            recs[i].inTemp = static_cast<uint16_t>(1100 + i % 50);
            recs[i].chTemp[0] = static_cast<uint16_t>(800 + i % 90);
            recs[i].inHumi = 40;
            recs[i].chHumi[0] = static_cast<uint8_t>(50 + i % 40);
            recs[i].wind = static_cast<uint16_t>(i % 120);
            recs[i].gust = static_cast<uint16_t>(i % 200);
            recs[i].dir = static_cast<uint16_t>(i % 360);
            recs[i].pressure = static_cast<uint16_t>(10100 + i % 30);
            recs[i].rain = static_cast<uint32_t>(records + i);
        }
        st.PutBlock(b, e, recs, &header);
        records += 255;
    }
    st.SetStatus(1, static_cast<uint8_t>(blocks));
    return st;
}

// Times whole passes into a fresh database each, expecting `records` each time.
void RunPasses(benchmark::State& state, HistorySource& source, int records) {
    QuietMessages messages;
    for (auto _ : state) {
        state.PauseTiming();
        TempDir dir;
        HistoryDb db(&messages);
        db.Open(dir.File("Nimbary.db"));
        HistoryDownloader dl(source, db, nullptr, nullptr);
        state.ResumeTiming();
        if (!dl.Download() || dl.LastCount() != records) state.SkipWithError("pass failed");
        state.PauseTiming();
        db.Close();
        state.ResumeTiming();
    }
    state.counters["records"] = records;
    state.SetItemsProcessed(state.iterations() * records);
}

// One whole pass: every exchange answered at once from memory, then
// decoding, rain, relative pressure, derived values, staging and the save.
void BM_FullPassDecodeAndSave(benchmark::State& state) {
    int records = 0;
    FakeStation st = FullStation(records);
    RunPasses(state, st, records);
}
BENCHMARK(BM_FullPassDecodeAndSave)->Unit(benchmark::kMillisecond);

// The same memory through the simulated station and the whole transport:
// the difference to the pass above is what the exchanges cost.
void BM_FullPassThroughSimulator(benchmark::State& state) {
    int records = 0;
    FakeStation st = FullStation(records);
    sim::StationImage img = st.Image();
    sim::SimConfig config;
    config.startTime = 800000000.0;
    config.frozen = true;
    auto station = std::make_shared<sim::SimStation>(config);
    if (!station->LoadImage(img).empty()) {
        state.SkipWithError("image refused");
        return;
    }
    sim::SimBackend backend(station);
    CUsb usb(backend);
    usb.OpenStation();
    StationData data(&usb);
    StationDataSource source(data);
    RunPasses(state, source, records);
}
BENCHMARK(BM_FullPassThroughSimulator)->Unit(benchmark::kMillisecond);

}  // namespace
