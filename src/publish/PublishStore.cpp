#include "PublishStore.h"

#include <sqlite3.h>

#include "HistoryDb.h"

namespace nimbary {

namespace {

// Also in the schema the database is opened with; here for a file from
// before it, opened for writing by this program.
const char* const kBookmarkTable =
    "CREATE TABLE IF NOT EXISTS MqttBookmark (DevID INTEGER, Broker TEXT, Topic TEXT,"
    " RecTime REAL, PRIMARY KEY (DevID, Broker, Topic))";

int32_t DbDevId(uint32_t devId) {
    return static_cast<int32_t>(devId);
}

}  // namespace

PublishStore::~PublishStore() {
    for (sqlite3_stmt* s : {stations_, bookmark_, after_, save_}) sqlite3_finalize(s);
    sqlite3_close_v2(db_);
}

bool PublishStore::Fail() {
    error_ = db_ ? sqlite3_errmsg(db_) : "out of memory";
    busy_ = db_ && (sqlite3_errcode(db_) & 0xFF) == SQLITE_BUSY;
    return false;
}

bool PublishStore::Open(const std::string& path, std::string& error) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
            SQLITE_OK ||
        sqlite3_busy_timeout(db_, 5000) != SQLITE_OK ||
        sqlite3_exec(db_, kBookmarkTable, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
        error = error_;
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

sqlite3_stmt* PublishStore::Prepare(sqlite3_stmt*& slot, const std::string& sql) {
    if (!slot && sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &slot,
                                    nullptr) != SQLITE_OK) {
        Fail();
        return nullptr;
    }
    sqlite3_reset(slot);
    sqlite3_clear_bindings(slot);
    return slot;
}

bool PublishStore::Stations(std::vector<uint32_t>& ids) {
    ids.clear();
    sqlite3_stmt* s = Prepare(stations_, "SELECT DevID FROM Device ORDER BY rowid");
    if (!s) return false;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        ids.push_back(static_cast<uint32_t>(sqlite3_column_int64(s, 0)));
    sqlite3_reset(s);
    return rc == SQLITE_DONE || Fail();
}

bool PublishStore::ReadBookmark(uint32_t devId, const std::string& broker, const std::string& topic,
                                double& time) {
    time = kNothingSent;
    sqlite3_stmt* s = Prepare(
        bookmark_, "SELECT RecTime FROM MqttBookmark WHERE DevID = ? AND Broker = ? AND Topic = ?");
    if (!s) return false;
    sqlite3_bind_int(s, 1, DbDevId(devId));
    sqlite3_bind_text(s, 2, broker.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 3, topic.c_str(), -1, SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
        time = sqlite3_column_double(s, 0);
    sqlite3_reset(s);
    return rc == SQLITE_ROW || rc == SQLITE_DONE || Fail();
}

bool PublishStore::ReadAfter(uint32_t devId, double after, int limit,
                             std::vector<HistoryRecord>& out) {
    out.clear();
    static const std::string sql = [] {
        std::string columns;
        for (const std::string& c : RecordColumnNames())
            columns += (columns.empty() ? "" : ", ") + c;
        return "SELECT " + columns +
               " FROM Record WHERE DevID = ? AND RecTime > ? ORDER BY RecTime LIMIT ?";
    }();
    sqlite3_stmt* s = Prepare(after_, sql);
    if (!s) return false;
    sqlite3_bind_int(s, 1, DbDevId(devId));
    sqlite3_bind_double(s, 2, after);
    sqlite3_bind_int(s, 3, limit);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        HistoryRecord& r = out.emplace_back();
        r.DevID = static_cast<uint32_t>(sqlite3_column_int64(s, 0));
        r.RecTime = sqlite3_column_double(s, 1);
        int col = 2;
        ForEachMeasurement(r, [&](auto& v) {
            using T = std::decay_t<decltype(v)>;
            if (sqlite3_column_type(s, col) == SQLITE_NULL)
                v = static_cast<T>(VAL_ABSENT);
            else if constexpr (std::is_same_v<T, double>)
                v = sqlite3_column_double(s, col);
            else
                v = static_cast<T>(sqlite3_column_int64(s, col));
            ++col;
        });
    }
    sqlite3_reset(s);
    return rc == SQLITE_DONE || Fail();
}

bool PublishStore::SaveBookmarks(const std::vector<Mark>& marks, const std::string& broker,
                                 const std::string& topic) {
    if (marks.empty()) return true;
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return Fail();
    for (const Mark& m : marks) {
        sqlite3_stmt* s = Prepare(save_,
                                  "INSERT OR REPLACE INTO MqttBookmark (DevID, Broker, Topic,"
                                  " RecTime) VALUES (?, ?, ?, ?)");
        if (!s) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
        sqlite3_bind_int(s, 1, DbDevId(m.devId));
        sqlite3_bind_text(s, 2, broker.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 3, topic.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(s, 4, m.time);
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) {
            Fail();
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return false;
        }
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Fail();
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

}  // namespace nimbary
