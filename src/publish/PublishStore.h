#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HistoryRecord.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nimbary {

// The publisher's own way into Nimbary.db, on its own thread and connection:
// the stored records in time order, and per station and broker the time of
// the newest record that the broker has acknowledged along with every older
// one (table MqttBookmark).
class PublishStore {
public:
    // No bookmark yet: every stored record is still to be sent.
    static constexpr double kNothingSent = -1e9;

    PublishStore() = default;
    ~PublishStore();
    PublishStore(const PublishStore&) = delete;
    PublishStore& operator=(const PublishStore&) = delete;

    // False with `error` (SQLite's text) when the file cannot be used.
    bool Open(const std::string& path, std::string& error);
    bool IsOpen() const { return db_ != nullptr; }

    bool Stations(std::vector<uint32_t>& ids);
    bool ReadBookmark(uint32_t devId, const std::string& broker, const std::string& topic,
                      double& time);
    // Up to `limit` records of the station later than `after`, oldest first.
    bool ReadAfter(uint32_t devId, double after, int limit, std::vector<HistoryRecord>& out);

    struct Mark {
        uint32_t devId;
        double time;
    };
    // All in one transaction.
    bool SaveBookmarks(const std::vector<Mark>& marks, const std::string& broker,
                       const std::string& topic);

    const std::string& LastError() const { return error_; }
    // The last failure was another writer holding the database longer than
    // the wait (a big download being stored): worth trying again later.
    bool LastWasBusy() const { return busy_; }

private:
    sqlite3_stmt* Prepare(sqlite3_stmt*& slot, const std::string& sql);
    bool Fail();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* stations_ = nullptr;
    sqlite3_stmt* bookmark_ = nullptr;
    sqlite3_stmt* after_ = nullptr;
    sqlite3_stmt* save_ = nullptr;
    std::string error_;
    bool busy_ = false;
};

}  // namespace nimbary
