// The history download over a station memory made of the fuzz input, into
// a real database.
//   bytes 0-7:   device information (type, blocks, data size, DevID)
//   bytes 8-11:  memory status (first block, current block, data size)
//   bytes 12-13: pressure offset; byte 14: the exchanges a first, failing
//                pass gets before the station goes (0: no such pass)
//   then the block table (16 bytes per reported block, the rest of the 1024
//   unwritten) and the data area (the remaining bytes, repeated to its size)
//
// Properties: the walk asks only for memory that exists; a pass that does
// not save stores nothing; a second pass straight after a saving one stores
// nothing; downloading the same memory again stores the same records.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "HistoryDownloader.h"
#include "StationCanon.h"

using namespace nimbary;
using namespace nimbary::fuzz;

namespace {

class FuzzStation : public HistorySource {
public:
    StationInfo info;
    MemoryStatus status;
    std::vector<uint8_t> table = std::vector<uint8_t>(kBlockTableSize, 0);
    std::vector<uint8_t> data;
    int16_t pressureOffset = 0;
    long answers = -1;  // exchanges left before the station goes; -1: for ever

    int ReadDeviceInfo(StationInfo& out) override {
        if (!Answer()) return 0;
        out = info;
        return 1;
    }
    int ReadMemoryStatus(MemoryStatus& out) override {
        if (!Answer()) return 0;
        out = status;
        return 1;
    }
    int ReadMemory(uint8_t area, uint16_t address, uint8_t count,
                   std::vector<uint8_t>& out) override {
        FUZZ_CHECK(count >= 1 && count <= kMaxChunk);
        if (area == 1) {
            // One whole entry of the table.
            FUZZ_CHECK(count == kBlockEntrySize && address % kBlockEntrySize == 0 &&
                       address + count <= kBlockTableSize);
        } else {
            // Never past the end of the data area the station reported.
            FUZZ_CHECK(area == 2 && address + count <= info.DataSize);
        }
        if (!Answer()) return 0;
        const std::vector<uint8_t>& from = area == 1 ? table : data;
        out.assign(from.begin() + address, from.begin() + address + count);
        return 1;
    }
    int ReadPressureOffset(int16_t& tenths) override {
        if (!Answer()) return 0;
        tenths = pressureOffset;
        return 1;
    }
    int ReadUnits(UnitSet& out) override {
        if (!Answer()) return 0;
        out = UnitSet{};
        return 1;
    }

    static constexpr uint8_t kMaxChunk = 124;

private:
    bool Answer() {
        if (answers == 0) return false;
        if (answers > 0) --answers;
        return true;
    }
};

struct Database {
    ScratchDir dir;
    HistoryDb db;
    Database() {
        // Scratch files in memory too; durability does not matter here.
        setenv("TMPDIR", dir.Path().c_str(), 1);
        db.SetConnectionHook([](sqlite3* c) {
            sqlite3_exec(c, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
        });
        if (db.Open(dir.File("Nimbary.db")) != 0) std::abort();
    }
};

Database& Db() {
    static Database* d = new Database;  // lives to the end of the run
    return *d;
}

// The stored records of a station, in order, each in canonical form.
std::vector<std::string> StoredRecords(HistoryDb& db, uint32_t devId) {
    std::vector<std::string> rows;
    FUZZ_CHECK(db.SelectRecords(devId, -1e9, 1e9) == 0);
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        db.ReadRecordAllChannels();
        rows.push_back(CanonOf(db.ReadImage()));
    }
    FUZZ_CHECK(!db.SelectionFailed());
    db.CloseSelection();
    return rows;
}

bool Stored(HistoryDb& db, uint32_t devId) {
    FUZZ_CHECK(db.ReadDevice(devId) == 0);
    return db.DeviceFound() || !StoredRecords(db, devId).empty();
}

void Forget(HistoryDb& db, uint32_t devId) {
    FUZZ_CHECK(db.DeleteDevice(devId) == 0);
}

uint32_t Fixed() {
    return 800000000;  // the computer's clock, the same on every run
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* in, size_t size) {
    if (size < 15) return 0;
    FuzzStation st;
    st.info.Type = in[0];
    st.info.Blocks = in[1];
    st.info.DataSize = static_cast<uint16_t>(in[2] | in[3] << 8);
    st.info.DevID = static_cast<uint32_t>(in[4] | in[5] << 8 | in[6] << 16) | uint32_t(in[7]) << 24;
    st.status.FirstBlock = in[8];
    st.status.CurrentBlock = in[9];
    st.status.DataSize = static_cast<uint16_t>(in[10] | in[11] << 8);
    st.pressureOffset = static_cast<int16_t>(in[12] | in[13] << 8);
    const long failAfter = in[14];
    size_t at = 15;
    const size_t tableBytes =
        std::min<size_t>(size - at, size_t(std::min<int>(st.info.Blocks, kMaxBlocks)) * kBlockEntrySize);
    std::copy(in + at, in + at + tableBytes, st.table.begin());
    at += tableBytes;
    st.data.resize(st.info.DataSize, 0xFF);
    if (at < size)
        for (size_t i = 0; i < st.data.size(); ++i) st.data[i] = in[at + i % (size - at)];

    HistoryDb& db = Db().db;
    const uint32_t dev = st.info.DevID;
    Forget(db, dev);

    // A pass the station leaves part-way stores nothing.
    if (failAfter > 0) {
        st.answers = failAfter;
        HistoryDownloader dl(st, db, nullptr, nullptr);
        dl.clockNow = Fixed;
        dl.Download();
        if (dl.LastOutcome() != PassOutcome::Saved) FUZZ_CHECK(!Stored(db, dev));
        Forget(db, dev);
        st.answers = -1;
    }

    HistoryDownloader dl(st, db, nullptr, nullptr);
    dl.clockNow = Fixed;
    dl.Download();
    if (Verbose())
        std::fprintf(stderr, "pass: outcome %d, %d records, %s\n", static_cast<int>(dl.LastOutcome()),
                     dl.LastCount(), dl.LastMessage().c_str());
    if (dl.LastOutcome() != PassOutcome::Saved) {
        FUZZ_CHECK(dl.LastOutcome() != PassOutcome::DatabaseError);
        FUZZ_CHECK(!Stored(db, dev));
        return 0;
    }
    const std::vector<std::string> first = StoredRecords(db, dev);
    FUZZ_CHECK(first.size() == static_cast<size_t>(dl.LastCount()));

    // Straight after: nothing new, nothing stored twice.
    dl.Download();
    FUZZ_CHECK(dl.LastOutcome() == PassOutcome::NothingNew && dl.LastCount() == 0);
    FUZZ_CHECK(StoredRecords(db, dev) == first);

    // The same memory into an empty database: the same records.
    Forget(db, dev);
    HistoryDownloader again(st, db, nullptr, nullptr);
    again.clockNow = Fixed;
    again.Download();
    FUZZ_CHECK(again.LastOutcome() == PassOutcome::Saved);
    FUZZ_CHECK(StoredRecords(db, dev) == first);
    Forget(db, dev);
    return 0;
}
