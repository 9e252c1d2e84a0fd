#include "HistoryDb.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "ScratchFile.h"
#include "StringTable.h"
#include "SummaryAggregates.h"

namespace nimbary {

namespace detail {
extern const char* const kHistorySchemaSql;  // resources/schema.sql, compiled in
}

namespace {

StderrMessages g_stderrMessages;

constexpr int kBusyTimeoutMs = 5000;  // another writer (the other thread or process) finishing

// DevID lives in the database as the signed reading of its 32 bits; every
// statement binds and reads it through these two.
void BindDevId(sqlite3_stmt* s, int index, uint32_t devId) {
    sqlite3_bind_int(s, index, static_cast<int32_t>(devId));
}
uint32_t ColumnDevId(sqlite3_stmt* s, int col) {
    return static_cast<uint32_t>(sqlite3_column_int64(s, col));
}

bool IsNull(sqlite3_stmt* s, int col) {
    return sqlite3_column_type(s, col) == SQLITE_NULL;
}

double ColumnDouble(sqlite3_stmt* s, int col, double ifNull) {
    return IsNull(s, col) ? ifNull : sqlite3_column_double(s, col);
}
int32_t ColumnInt(sqlite3_stmt* s, int col, int32_t ifNull) {
    return IsNull(s, col) ? ifNull : static_cast<int32_t>(sqlite3_column_int64(s, col));
}
// A measurement column: NULL reads as VAL_ABSENT.
void ReadMeasure(sqlite3_stmt* s, int col, double& v) {
    v = ColumnDouble(s, col, VAL_ABSENT);
}
void ReadMeasure(sqlite3_stmt* s, int col, int32_t& v) {
    v = ColumnInt(s, col, VAL_ABSENT);
}
uint32_t ColumnTime(sqlite3_stmt* s, int col, uint32_t ifNull) {
    // Times are unsigned; a file may hold them either as unsigned or signed 32-bit.
    return IsNull(s, col) ? ifNull : static_cast<uint32_t>(sqlite3_column_int64(s, col));
}

// Only exactly VAL_ABSENT becomes NULL; the other sentinels are numbers.
int BindMeasure(sqlite3_stmt* s, int index, double v) {
    return v == static_cast<double>(VAL_ABSENT) ? sqlite3_bind_null(s, index)
                                                : sqlite3_bind_double(s, index, v);
}
int BindMeasure(sqlite3_stmt* s, int index, int32_t v) {
    return v == VAL_ABSENT ? sqlite3_bind_null(s, index) : sqlite3_bind_int(s, index, v);
}

// Cuts a UTF-8 text to `chars` code points.
std::string CutToChars(const std::string& s, size_t chars) {
    size_t count = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == chars) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

std::vector<std::string> MakeRecordColumns() {
    std::vector<std::string> c = {"DevID", "RecTime", "InTemp", "InHumi"};
    for (const char* group : {"Temp", "Humi", "DewPoint", "FeelLike"})
        for (int k = 1; k <= kChannels; ++k) c.push_back("Ch" + std::to_string(k) + group);
    for (const char* name : {"AbsBaro", "RelBaro", "Wind", "Gust", "WindDir"}) c.push_back(name);
    for (int k = 1; k <= kRainKinds; ++k) c.push_back("Rain" + std::to_string(k));
    return c;
}

std::vector<std::string> MakeDeviceColumns() {
    std::vector<std::string> c = {"DevID",    "FirstBlock", "CurrBlock", "CurrRecord",
                                  "TickTime", "RecTime",    "TempUnit",  "BaroUnit",
                                  "WindUnit", "RainUnit",   "LightUnit"};
    for (int k = 1; k <= kRainKinds; ++k) c.push_back("RainTime" + std::to_string(k));
    for (int k = 1; k <= kRainKinds; ++k) c.push_back("Rain" + std::to_string(k));
    c.push_back("Description");
    return c;
}

const std::vector<std::string>& DeviceColumnNames() {
    static const std::vector<std::string> names = MakeDeviceColumns();
    return names;
}

std::string Join(const std::vector<std::string>& names, const char* suffix = "") {
    std::string out;
    for (const auto& n : names) {
        if (!out.empty()) out += ", ";
        out += n + suffix;
    }
    return out;
}

std::string Placeholders(size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += i ? ", ?" : "?";
    return out;
}

// The statements, built once from the column lists so that their column
// order can never drift from the binding code below.
struct Sql {
    std::string insertRecord, selectDevice, updateDevice, insertDevice, selectRecords;
    Sql() {
        const auto& rc = RecordColumnNames();
        const auto& dc = DeviceColumnNames();
        insertRecord =
            "INSERT INTO Record (" + Join(rc) + ") VALUES (" + Placeholders(rc.size()) + ")";
        selectDevice = "SELECT " + Join(dc) + " FROM Device WHERE DevID = ?";
        std::vector<std::string> rest(dc.begin() + 1, dc.end());
        updateDevice = "UPDATE Device SET " + Join(rest, " = ?") + " WHERE DevID = ?";
        insertDevice =
            "INSERT INTO Device (" + Join(dc) + ") VALUES (" + Placeholders(dc.size()) + ")";
        selectRecords = "SELECT " + Join(rc) +
                        " FROM Record WHERE DevID = ? AND RecTime >= ? AND RecTime <= ?"
                        " ORDER BY RecTime ASC";
    }
};

const Sql& Statements() {
    static const Sql sql;
    return sql;
}

const char* const kCountRecords =
    "SELECT count(*) AS RecCount FROM Record WHERE DevID = ? AND RecTime >= ? AND RecTime <= ?";
const char* const kListDevices = "SELECT DevID FROM Device";
const char* const kDeleteRecords = "DELETE FROM Record WHERE DevID = ?";
const char* const kDeleteDevice = "DELETE FROM Device WHERE DevID = ?";
const char* const kDeleteGaps = "DELETE FROM Gap WHERE DevID = ?";
const char* const kInsertGap = "INSERT INTO Gap (DevID, FromTime, ToTime) VALUES (?, ?, ?)";
const char* const kSelectGaps =
    "SELECT FromTime, ToTime FROM Gap WHERE DevID = ? ORDER BY FromTime";
const char* const kHasGapTable =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Gap'";

}  // namespace

// The half-millionth margins keep a record that lies exactly on a bound
// inside, whichever way the bound's last decimal was rounded.
double RecTimeLowerBound(double oleDate) {
    return std::round(oleDate * 1e6) / 1e6 - 0.5e-6;
}
double RecTimeUpperBound(double oleDate) {
    return std::round(oleDate * 1e6) / 1e6 + 0.5e-6;
}

const std::vector<std::string>& RecordColumnNames() {
    static const std::vector<std::string> names = MakeRecordColumns();
    return names;
}

// One SQLite connection with its prepared statements.
struct HistoryDb::Connection {
    sqlite3* db = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements;

    ~Connection() {
        for (auto& entry : statements) sqlite3_finalize(entry.second);
        sqlite3_close_v2(db);
    }

    // A cached statement, reset and with its bindings cleared; nullptr on error.
    sqlite3_stmt* Get(const std::string& sql) {
        auto it = statements.find(sql);
        if (it != statements.end()) {
            sqlite3_reset(it->second);
            sqlite3_clear_bindings(it->second);
            return it->second;
        }
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
            SQLITE_OK)
            return nullptr;
        statements.emplace(sql, s);
        return s;
    }

    bool Exec(const char* sql) {
        return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    bool InTransaction() const { return db && !sqlite3_get_autocommit(db); }
};

HistoryDb::HistoryDb(Messages* messages) : messages_(messages ? messages : &g_stderrMessages) {}

HistoryDb::~HistoryDb() {
    Close();
}

namespace {

// SQLite's text for the last failure of `db`, but a file that could not be
// written said as such, with the file: SQLite says "disk I/O error" when a
// file-size limit or a full quota stops a write.
std::string ErrorText(sqlite3* db, const std::string& path) {
    if (!db) return "out of memory";
    const int code = sqlite3_extended_errcode(db);
    if (code == SQLITE_FULL ||
        ((code & 0xFF) == SQLITE_IOERR && IsDiskFull(sqlite3_system_errno(db))))
        return text::Format(2140, {path});
    switch (code) {
        case SQLITE_IOERR_WRITE:
        case SQLITE_IOERR_FSYNC:
        case SQLITE_IOERR_TRUNCATE:
        case SQLITE_IOERR_SHMSIZE:
            return text::Format(2141, {path});
        default:
            return sqlite3_errmsg(db);
    }
}

}  // namespace

void HistoryDb::Report(sqlite3* db) {
    Report(ErrorText(db, path_));
}

void HistoryDb::Report(const std::string& text) {
    messages_->Show(text, MessageIcon::None);
}

namespace {

// The failures of a file, folder or mount that may be read but not written.
bool WriteRefused(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM;
}

// The file as an SQLite URI that reads it as it stands, without the WAL index
// that a folder which cannot be written has no room for. Nothing may write
// the file meanwhile, which holds where that folder lives on a read-only mount.
std::string ImmutableUri(const std::string& path) {
    std::string uri = "file:";
    for (char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            uri += hex;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

int Failure(int rc) {
    return rc == SQLITE_OK ? -1 : -rc;
}

}  // namespace

int HistoryDb::Open(const std::string& path, OpenMode mode) {
    Close();
    lastError_.clear();
    if (mode == OpenMode::ReadOnly) return OpenForReading(path);

    auto conn = std::make_unique<Connection>();
    int rc =
        sqlite3_open_v2(path.c_str(), &conn->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    // SQLite opens a file that may not be written for reading without a word.
    const bool writable = rc == SQLITE_OK && sqlite3_db_readonly(conn->db, "main") == 0;
    bool ok = writable;
    if (ok) {
        sqlite3_busy_timeout(conn->db, kBusyTimeoutMs);
        // Both are properties of the file: set once here (the page size only
        // takes on a new file), every later connection uses them. Large pages
        // halve the system calls a big batch costs.
        ok = conn->Exec("PRAGMA page_size = 16384") && conn->Exec("PRAGMA journal_mode = WAL") &&
             conn->Exec(detail::kHistorySchemaSql) &&
             // Preparing the statements proves the tables have the columns we need.
             conn->Get(Statements().insertRecord) && conn->Get(Statements().selectDevice) &&
             conn->Get(Statements().selectRecords);
    }
    if (ok) {
        target_ = path;
        openFlags_ = SQLITE_OPEN_READWRITE;
        Opened(path, std::move(conn));
        return 0;
    }
    if (rc != SQLITE_OK || writable) {
        lastError_ = ErrorText(conn->db, path);
        if (!WriteRefused(rc == SQLITE_OK ? sqlite3_extended_errcode(conn->db) : rc))
            return Failure(rc);
    }
    // What may only be read is still there to browse.
    conn.reset();
    const std::string why = lastError_;
    const int status = OpenForReading(path);
    if (status != 0 && !why.empty()) lastError_ = why;
    return status;
}

int HistoryDb::OpenForReading(const std::string& path) {
    int rc = SQLITE_OK;
    for (bool asItStands : {false, true}) {
        auto conn = std::make_unique<Connection>();
        const std::string target = asItStands ? ImmutableUri(path) : path;
        const int flags = SQLITE_OPEN_READONLY | (asItStands ? SQLITE_OPEN_URI : 0);
        rc = sqlite3_open_v2(target.c_str(), &conn->db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) sqlite3_busy_timeout(conn->db, kBusyTimeoutMs);
        // Preparing reads the schema: it proves the file can be read and has
        // the tables and columns the browser needs.
        if (rc == SQLITE_OK && conn->Get(Statements().selectRecords) &&
            conn->Get(Statements().selectDevice) && conn->Get(kListDevices)) {
            target_ = target;
            openFlags_ = flags;
            readOnly_ = true;
            Opened(path, std::move(conn));
            return 0;
        }
        lastError_ = ErrorText(conn->db, path);
        const int code = rc == SQLITE_OK ? sqlite3_extended_errcode(conn->db) : rc;
        // A WAL file cannot be read where its index cannot be made beside it.
        if (rc != SQLITE_OK || !WriteRefused(code)) break;
    }
    return Failure(rc);
}

void HistoryDb::Opened(const std::string& path, std::unique_ptr<Connection> conn) {
    path_ = path;
    summary::RegisterFunctions(conn->db);
    if (connectionHook_) connectionHook_(conn->db);
    conn->Exec("PRAGMA synchronous = NORMAL");
    // Open runs on the user-interface thread: its connection serves the browser.
    std::lock_guard<std::mutex> lock(browserLock_);
    browser_ = std::move(conn);
}

void HistoryDb::Close() {
    {
        std::lock_guard<std::mutex> lock(browserLock_);
        FinishSelection();
        browser_.reset();
    }
    {
        std::lock_guard<std::mutex> lock(workerLock_);
        worker_.reset();
    }
    path_.clear();
    target_.clear();
    readOnly_ = false;
}

HistoryDb::Connection* HistoryDb::Connect(std::unique_ptr<Connection>& slot) {
    if (slot) return slot.get();
    if (path_.empty()) {
        Report("The history database is not open.");
        return nullptr;
    }
    auto conn = std::make_unique<Connection>();
    // No CREATE: Open made the file; a file gone since then is an error.
    if (sqlite3_open_v2(target_.c_str(), &conn->db, openFlags_ | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        Report(conn->db);
        return nullptr;
    }
    sqlite3_busy_timeout(conn->db, kBusyTimeoutMs);
    conn->Exec("PRAGMA synchronous = NORMAL");
    conn->Exec("PRAGMA cache_size = -32768");  // a big batch stays in memory until it commits
    summary::RegisterFunctions(conn->db);
    if (connectionHook_) connectionHook_(conn->db);
    slot = std::move(conn);
    return slot.get();
}

HistoryDb::Connection* HistoryDb::WorkerConnection() {
    return Connect(worker_);
}
HistoryDb::Connection* HistoryDb::BrowserConnection() {
    return Connect(browser_);
}

// --- Browser operations ------------------------------------------------------

int HistoryDb::FillDeviceList(std::vector<uint32_t>& ids, uint32_t select, int& selected) {
    std::lock_guard<std::mutex> lock(browserLock_);
    ids.clear();
    selected = -1;
    Connection* c = BrowserConnection();
    if (!c) return 1;
    sqlite3_stmt* s = c->Get(kListDevices);
    if (!s) {
        Report(c->db);
        return 1;
    }
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        uint32_t id = IsNull(s, 0) ? 0 : ColumnDevId(s, 0);
        ids.push_back(id);
        if (id == select && selected < 0) selected = static_cast<int>(ids.size()) - 1;
    }
    if (rc != SQLITE_DONE) {
        Report(c->db);
        sqlite3_reset(s);
        ids.clear();
        selected = -1;
        return 1;
    }
    sqlite3_reset(s);
    if (selected < 0 && !ids.empty()) selected = 0;
    return 0;
}

int HistoryDb::ReadGaps(uint32_t devId, std::vector<HistoryGap>& gaps) {
    std::lock_guard<std::mutex> lock(browserLock_);
    gaps.clear();
    Connection* c = BrowserConnection();
    if (!c) return 1;
    sqlite3_stmt* has = c->Get(kHasGapTable);
    if (!has || sqlite3_step(has) != SQLITE_ROW) {
        Report(c->db);
        return 1;
    }
    const bool kept = sqlite3_column_int(has, 0) > 0;
    sqlite3_reset(has);
    if (!kept) return 0;  // a file from before gaps were kept, opened for reading
    sqlite3_stmt* s = c->Get(kSelectGaps);
    if (!s) {
        Report(c->db);
        return 1;
    }
    BindDevId(s, 1, devId);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        gaps.push_back({static_cast<uint32_t>(sqlite3_column_int64(s, 0)),
                        static_cast<uint32_t>(sqlite3_column_int64(s, 1))});
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) {
        Report(c->db);
        gaps.clear();
        return 1;
    }
    return 0;
}

int HistoryDb::BrowserQuery(const std::string& sql, const std::function<void(sqlite3_stmt*)>& bind,
                            const std::function<void(sqlite3_stmt*)>& row) {
    std::lock_guard<std::mutex> lock(browserLock_);
    Connection* c = BrowserConnection();
    if (!c) return 1;
    sqlite3_stmt* s = c->Get(sql);
    if (!s) {
        Report(c->db);
        return 1;
    }
    bind(s);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) row(s);
    if (rc != SQLITE_DONE) Report(c->db);
    sqlite3_reset(s);
    return rc == SQLITE_DONE ? 0 : 1;
}

void HistoryDb::FinishSelection() {
    if (selection_) {
        sqlite3_finalize(selection_);
        selection_ = nullptr;
    }
    // The count and the rows were read in one transaction, so they agree.
    if (browser_ && browser_->InTransaction()) browser_->Exec("COMMIT");
    selectionOpen_ = false;
    selectionAtRow_ = false;
    selectionFailed_ = false;
    selectionCount_ = 0;
}

int HistoryDb::SelectRecords(uint32_t devId, double start, double end) {
    std::lock_guard<std::mutex> lock(browserLock_);
    FinishSelection();
    Connection* c = BrowserConnection();
    if (!c) return 1;
    const double lo = RecTimeLowerBound(start), hi = RecTimeUpperBound(end);
    auto fail = [&]() {
        Report(c->db);
        FinishSelection();
        return 1;
    };
    if (!c->Exec("BEGIN")) return fail();
    sqlite3_stmt* count = c->Get(kCountRecords);
    if (!count) return fail();
    BindDevId(count, 1, devId);
    sqlite3_bind_double(count, 2, lo);
    sqlite3_bind_double(count, 3, hi);
    if (sqlite3_step(count) != SQLITE_ROW) return fail();
    selectionCount_ = static_cast<int>(sqlite3_column_int64(count, 0));
    sqlite3_reset(count);

    if (sqlite3_prepare_v2(c->db, Statements().selectRecords.c_str(), -1, &selection_, nullptr) !=
        SQLITE_OK)
        return fail();
    BindDevId(selection_, 1, devId);
    sqlite3_bind_double(selection_, 2, lo);
    sqlite3_bind_double(selection_, 3, hi);
    int rc = sqlite3_step(selection_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail();
    selectionAtRow_ = rc == SQLITE_ROW;
    selectionOpen_ = true;
    return 0;
}

void HistoryDb::MoveFirst() {
    std::lock_guard<std::mutex> lock(browserLock_);
    if (!selectionOpen_ || selectionCount_ == 0) return;
    sqlite3_reset(selection_);
    selectionFailed_ = false;
    StepSelection();
}

bool HistoryDb::IsEof() const {
    std::lock_guard<std::mutex> lock(browserLock_);
    return !selectionOpen_ || !selectionAtRow_;
}

void HistoryDb::MoveNext() {
    std::lock_guard<std::mutex> lock(browserLock_);
    if (!selectionOpen_ || !selectionAtRow_) return;
    StepSelection();
}

void HistoryDb::StepSelection() {
    int rc = sqlite3_step(selection_);
    selectionAtRow_ = rc == SQLITE_ROW;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        selectionFailed_ = true;
        Report(browser_->db);
    }
}

bool HistoryDb::SelectionFailed() const {
    std::lock_guard<std::mutex> lock(browserLock_);
    return selectionFailed_;
}

void HistoryDb::ReadRecord() {
    std::lock_guard<std::mutex> lock(browserLock_);
    ReadSelectionRow(false);
}

void HistoryDb::ReadRecordAllChannels() {
    std::lock_guard<std::mutex> lock(browserLock_);
    ReadSelectionRow(true);
}

void HistoryDb::ReadSelectionRow(bool allChannels) {
    if (!selectionOpen_ || !selectionAtRow_) return;
    sqlite3_stmt* s = selection_;
    const double absent = VAL_ABSENT;
    HistoryRecord& r = readRecord_;
    int col = 0;
    r.DevID = IsNull(s, col) ? 0 : ColumnDevId(s, col);
    ++col;
    r.RecTime = ColumnDouble(s, col++, 0.0);
    ForEachMeasurement(r, [&](auto& v) { ReadMeasure(s, col++, v); });
    if (allChannels) return;
    // The program shows channel 1 only: whatever channels 2-8 hold is dropped.
    for (int k = 1; k < kChannels; ++k) {
        r.ChTemp[k] = r.ChDewPoint[k] = r.ChFeelLike[k] = absent;
        r.ChHumi[k] = VAL_ABSENT;
    }
}

int HistoryDb::CloseSelection() {
    std::lock_guard<std::mutex> lock(browserLock_);
    if (!selectionOpen_) return 0;
    bool ok = true;
    if (selection_) {
        sqlite3_finalize(selection_);
        selection_ = nullptr;
    }
    if (browser_ && browser_->InTransaction() && !browser_->Exec("COMMIT")) {
        Report(browser_->db);
        ok = false;
    }
    FinishSelection();
    return ok ? 0 : 2;
}

// --- Worker operations -------------------------------------------------------

int HistoryDb::DeleteDevice(uint32_t devId) {
    std::lock_guard<std::mutex> lock(workerLock_);
    Connection* c = WorkerConnection();
    if (!c) return 1;
    auto fail = [&]() {
        std::string text = ErrorText(c->db, path_);
        if (c->InTransaction()) c->Exec("ROLLBACK");
        Report(text);
        return 1;
    };
    if (!c->Exec("BEGIN IMMEDIATE")) return fail();
    for (const char* sql : {kDeleteRecords, kDeleteGaps, kDeleteDevice}) {
        sqlite3_stmt* s = c->Get(sql);
        if (!s) return fail();
        BindDevId(s, 1, devId);
        if (sqlite3_step(s) != SQLITE_DONE) return fail();
        sqlite3_reset(s);
    }
    if (!c->Exec("COMMIT")) return fail();
    return 0;
}

int HistoryDb::ReadDevice(uint32_t devId) {
    std::lock_guard<std::mutex> lock(workerLock_);
    deviceFound_ = false;
    info_.DevID = 0;
    info_.FirstBlock = info_.CurrBlock = info_.CurrRecord = 0;
    info_.TickTime = info_.RecTime = 0;
    info_.Units = UnitSet{};
    for (int k = 0; k < kRainKinds; ++k) {
        info_.RainTime[k] = 0;
        info_.Rain[k] = 0.0;
    }
    info_.Description.clear();

    Connection* c = WorkerConnection();
    if (!c) return 1;
    sqlite3_stmt* s = c->Get(Statements().selectDevice);
    if (!s) {
        Report(c->db);
        return 1;
    }
    BindDevId(s, 1, devId);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        deviceFound_ = true;
        int col = 0;
        info_.DevID = IsNull(s, col) ? 0 : ColumnDevId(s, col);
        ++col;
        info_.FirstBlock = ColumnInt(s, col++, 0);
        info_.CurrBlock = ColumnInt(s, col++, 0);
        info_.CurrRecord = ColumnInt(s, col++, 0);
        info_.TickTime = ColumnTime(s, col++, 0);
        info_.RecTime = ColumnTime(s, col++, 0);
        UnitSet units;
        units.TempUnit = ColumnInt(s, col++, 1);
        units.BaroUnit = ColumnInt(s, col++, 1);
        units.WindUnit = ColumnInt(s, col++, 1);
        units.RainUnit = ColumnInt(s, col++, 1);
        units.LightUnit = ColumnInt(s, col++, 2);
        info_.Units = units;
        for (uint32_t& t : info_.RainTime) t = ColumnTime(s, col++, VAL_ABSENT);
        for (double& v : info_.Rain) v = ColumnDouble(s, col++, VAL_ABSENT);
        if (!IsNull(s, col)) {
            const unsigned char* text = sqlite3_column_text(s, col);
            info_.Description =
                CutToChars(text ? reinterpret_cast<const char*>(text) : "", kDescriptionChars);
        }
    } else if (rc != SQLITE_DONE) {
        Report(c->db);
        sqlite3_reset(s);
        return 1;
    }
    sqlite3_reset(s);
    return 0;
}

int HistoryDb::SaveRecords(uint32_t n, ScratchFile& scratch, const std::vector<HistoryGap>& gaps) {
    std::lock_guard<std::mutex> lock(workerLock_);
    Connection* c = WorkerConnection();
    if (!c) return 2;
    auto fail = [&](const std::string& text) {
        if (c->InTransaction()) c->Exec("ROLLBACK");
        Report(text);
        return 2;
    };
    auto dbFail = [&]() { return fail(ErrorText(c->db, path_)); };

    if (!scratch.Rewind()) return fail("The download's scratch file cannot be read.");
    // IMMEDIATE takes the write lock now, so the batch never fails half-way
    // on a lock another writer holds.
    if (!c->Exec("BEGIN IMMEDIATE")) return dbFail();

    sqlite3_stmt* ins = c->Get(Statements().insertRecord);
    if (!ins) return dbFail();
    HistoryRecord r;
    for (uint32_t i = 0; i < n; ++i) {
        if (!scratch.ReadNext(r)) return fail("The download's scratch file cannot be read.");
        int col = 1;
        BindDevId(ins, col++, r.DevID);
        sqlite3_bind_double(ins, col++, r.RecTime);
        ForEachMeasurement(r, [&](auto v) { BindMeasure(ins, col++, v); });
        if (sqlite3_step(ins) != SQLITE_DONE) return dbFail();
        sqlite3_reset(ins);
    }

    for (const HistoryGap& g : gaps) {
        sqlite3_stmt* gap = c->Get(kInsertGap);
        if (!gap) return dbFail();
        BindDevId(gap, 1, info_.DevID);
        sqlite3_bind_int64(gap, 2, g.From);
        sqlite3_bind_int64(gap, 3, g.To);
        if (sqlite3_step(gap) != SQLITE_DONE) return dbFail();
        sqlite3_reset(gap);
    }

    if (saveHook_) saveHook_();

    // The station row: update it in place, or add it when there is none.
    const UnitSet& units = info_.Units;
    auto bindDevice = [&](sqlite3_stmt* s, int first) {
        int col = first;
        sqlite3_bind_int(s, col++, info_.FirstBlock);
        sqlite3_bind_int(s, col++, info_.CurrBlock);
        sqlite3_bind_int(s, col++, info_.CurrRecord);
        sqlite3_bind_int64(s, col++, info_.TickTime);
        sqlite3_bind_int64(s, col++, info_.RecTime);
        sqlite3_bind_int(s, col++, units.TempUnit);
        sqlite3_bind_int(s, col++, units.BaroUnit);
        sqlite3_bind_int(s, col++, units.WindUnit);
        sqlite3_bind_int(s, col++, units.RainUnit);
        sqlite3_bind_int(s, col++, units.LightUnit);
        for (uint32_t t : info_.RainTime) sqlite3_bind_int64(s, col++, t);
        for (double v : info_.Rain) BindMeasure(s, col++, v);
        const std::string desc = CutToChars(info_.Description, kDescriptionChars);
        sqlite3_bind_text(s, col++, desc.c_str(), static_cast<int>(desc.size()), SQLITE_TRANSIENT);
        return col;
    };
    sqlite3_stmt* upd = c->Get(Statements().updateDevice);
    if (!upd) return dbFail();
    BindDevId(upd, bindDevice(upd, 1), info_.DevID);
    if (sqlite3_step(upd) != SQLITE_DONE) return dbFail();
    sqlite3_reset(upd);
    if (sqlite3_changes(c->db) == 0) {
        sqlite3_stmt* add = c->Get(Statements().insertDevice);
        if (!add) return dbFail();
        BindDevId(add, 1, info_.DevID);
        bindDevice(add, 2);
        if (sqlite3_step(add) != SQLITE_DONE) return dbFail();
        sqlite3_reset(add);
    }
    if (!c->Exec("COMMIT")) return dbFail();
    return 0;
}

}  // namespace nimbary
