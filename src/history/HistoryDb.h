#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "GapFinder.h"
#include "HistoryRecord.h"
#include "Messages.h"
#include "Units.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nimbary {

class ScratchFile;

constexpr int kDescriptionChars = 80;

// One station's Device row: the download bookmark, the unit codes in force
// when the row was saved, the rain accumulators and a free description.
// Station times are seconds since 2000-01-01 00:00 of the station's clock.
struct DeviceInfo {
    uint32_t DevID = 0;
    int32_t FirstBlock = 0;
    int32_t CurrBlock = 0;
    int32_t CurrRecord = 0;
    uint32_t TickTime = 0;  // start time of the last block read; identifies it
    uint32_t RecTime = 0;   // time of the newest record handled
    // The unit codes the station was set to when the row was saved: the
    // download stores what the station reports. A copy of the station's,
    // not the program's display units, so a reload never changes those.
    UnitSet Units;
    uint32_t RainTime[kRainKinds] = {};  // start of each rain kind's accumulation period
    double Rain[kRainKinds] = {};        // accumulated value of each rain kind, mm
    std::string Description;             // UTF-8, at most 80 characters
};

// The history database, Nimbary.db on SQLite.
//
// Threads: the operations fall into two groups, each with its own SQLite
// connection (WAL mode, so readers never wait for the writer and never see
// a half-stored batch):
//  - worker operations, run by the history thread: ReadDevice, SaveRecords,
//    DeleteDevice, and the DeviceInfo they fill;
//  - browser operations, run by the user-interface thread: FillDeviceList,
//    SelectRecords, MoveFirst, IsEof, ReadRecord, MoveNext, CloseSelection.
// Each connection is opened on first use by its group. A group's operations
// are serialised by the group's own lock (so the connections themselves run
// without SQLite's per-call mutex), a stray call from another thread is
// safe, and the two groups never share a connection.
//
// Return codes: Open 0 or negative; FillDeviceList, SelectRecords,
// ReadGaps, DeleteDevice, ReadDevice 0 or 1; CloseSelection, SaveRecords 0 or 2.
// A database error is shown through Messages with SQLite's own text before
// the operation returns its failure code.
class HistoryDb {
public:
    explicit HistoryDb(Messages* messages = nullptr);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    enum class OpenMode {
        ReadWrite,  // create what is missing; fall back to reading a file that may only be read
        ReadOnly,   // an existing file, changed in nothing (not even its journal mode)
    };
    // Opens the database file: by default creating it and its tables when
    // missing, or just for reading (see ReadOnly()) when the file, its folder
    // or its mount may only be read. It shows no message: the caller says
    // "Cannot open the database!" and may add LastError(), SQLite's text for
    // the failure.
    int Open(const std::string& path, OpenMode mode = OpenMode::ReadWrite);
    const std::string& LastError() const { return lastError_; }
    void Close();
    bool IsOpen() const { return !path_.empty(); }
    // Open for reading only: browsing works, storing and deleting fail.
    bool ReadOnly() const { return readOnly_; }
    const std::string& Path() const { return path_; }

    // --- Browser operations -----------------------------------------------

    // The stored station ids in the database's order; `selected` is the index
    // of `select` in the list, 0 when it is not stored, -1 for an empty list.
    int FillDeviceList(std::vector<uint32_t>& ids, uint32_t select, int& selected);
    // Opens the selection of one station's records with start <= RecTime <=
    // end (OLE dates, both compared at a millionth of a day), oldest first,
    // positioned on the first row.
    int SelectRecords(uint32_t devId, double start, double end);
    int SelectionCount() const { return selectionCount_; }
    void MoveFirst();
    bool IsEof() const;
    // Fills ReadImage() from the current row. Channels 2-8 read as VAL_ABSENT
    // whatever their columns hold; the program shows channel 1 only.
    void ReadRecord();
    // As ReadRecord, with channels 2-8 read from their columns as well.
    void ReadRecordAllChannels();
    void MoveNext();
    // True when a step of the open selection failed (its message was shown):
    // IsEof() then means "stopped", not "all rows read".
    bool SelectionFailed() const;
    int CloseSelection();
    const HistoryRecord& ReadImage() const { return readRecord_; }
    // The gaps downloads found in a station's records, oldest first (none in
    // a file from before gaps were kept).
    int ReadGaps(uint32_t devId, std::vector<HistoryGap>& gaps);
    // Runs a query of the browser's own (the summaries') on its connection:
    // `bind` sets the parameters, `row` takes each result row. The
    // connection knows the summary aggregates. 0, or 1 with the message shown.
    int BrowserQuery(const std::string& sql, const std::function<void(sqlite3_stmt*)>& bind,
                     const std::function<void(sqlite3_stmt*)>& row);

    // --- Worker operations ------------------------------------------------

    int DeleteDevice(uint32_t devId);
    // Loads the station's row into Info() (NULL columns read as their
    // defaults); without a row every field is zero, the units included.
    // The program's display units are not touched.
    int ReadDevice(uint32_t devId);
    bool DeviceFound() const { return deviceFound_; }
    DeviceInfo& Info() { return info_; }
    const DeviceInfo& Info() const { return info_; }
    // Appends the n record images of `scratch` and the gaps the download
    // found among them, and stores Info() as the station's row, in one
    // transaction; on any error nothing is stored.
    int SaveRecords(uint32_t n, ScratchFile& scratch, const std::vector<HistoryGap>& gaps = {});

    // --- Seams for tests ---------------------------------------------------

    // Runs on every connection right after it is opened.
    void SetConnectionHook(std::function<void(sqlite3*)> hook) {
        connectionHook_ = std::move(hook);
    }
    // Runs inside SaveRecords' transaction after the records are written and
    // before the station row and the commit.
    void SetSaveHook(std::function<void()> hook) { saveHook_ = std::move(hook); }

private:
    struct Connection;

    Connection* WorkerConnection();
    Connection* BrowserConnection();
    Connection* Connect(std::unique_ptr<Connection>& slot);
    int OpenForReading(const std::string& path);
    void Opened(const std::string& path, std::unique_ptr<Connection> conn);
    void Report(sqlite3* db);
    void Report(const std::string& text);
    void ReadSelectionRow(bool allChannels);
    void StepSelection();
    void FinishSelection();

    Messages* messages_;
    std::string path_;
    std::string target_;  // what every connection opens: the path, or a URI for it
    int openFlags_ = 0;
    bool readOnly_ = false;
    std::string lastError_;
    std::function<void(sqlite3*)> connectionHook_;
    std::function<void()> saveHook_;

    std::mutex workerLock_;
    std::unique_ptr<Connection> worker_;
    bool deviceFound_ = false;
    DeviceInfo info_;

    mutable std::mutex browserLock_;
    std::unique_ptr<Connection> browser_;
    sqlite3_stmt* selection_ = nullptr;  // the open selection, finalised when it closes
    bool selectionOpen_ = false;
    bool selectionAtRow_ = false;
    bool selectionFailed_ = false;
    int selectionCount_ = 0;
    HistoryRecord readRecord_;
};

// The names of the 49 Record columns in binding order.
const std::vector<std::string>& RecordColumnNames();

// The bounds a time range is queried with: records whose time, to a
// millionth of a day, lies within the bounds to a millionth of a day.
double RecTimeLowerBound(double oleDate);
double RecTimeUpperBound(double oleDate);

}  // namespace nimbary
