#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "CUsb.h"
#include "HistoryDb.h"
#include "HistoryDownloader.h"
#include "ManualResetEvent.h"
#include "MqttPublisher.h"
#include "StationData.h"

namespace nimbary {

// A history-management request handed to the history thread.
struct HistoryCommand {
    enum Kind : int { DeleteDatabaseRecords = 0, ClearStationMemory = 1 };
    ManualResetEvent commandDone;
    std::atomic<int> busy{0};
    std::atomic<int> pending{0};
    std::atomic<int> kind{0};
    std::atomic<int> result{0};  // 1 = success
    std::atomic<uint32_t> deviceId{0};
};

// Whoever runs the poll tick: the main view.
class PollTarget {
public:
    virtual ~PollTarget() = default;
    virtual void PollTick() = 0;
};

// Owns everything that talks to the station or the database for the whole
// run, and the two worker threads: the poll thread (every second while a
// station is connected) and the history thread (history commands, then one
// download pass, every 8 seconds or when woken).
class CNimbaryDoc {
public:
    // `backend` outlives the document. `lockFile` is the lock file of a
    // station that is this process's own (a simulated one), shared with
    // nimbary-cli; empty for the real station, whose node is its lock.
    CNimbaryDoc(HidBackend& backend, Messages& messages, std::string lockFile);
    ~CNimbaryDoc();
    CNimbaryDoc(const CNimbaryDoc&) = delete;
    CNimbaryDoc& operator=(const CNimbaryDoc&) = delete;

    // Opens the database (shows "Cannot open the database!" once on failure;
    // the program runs on without history). A database that may only be read
    // is opened for browsing, said so once, and never downloaded into.
    // Returns the open status.
    int OpenDatabase(const std::string& path);

    // Starts the poll thread, then the history thread.
    void Start(PollTarget* target);
    // Sets stop, wakes every thread and joins them; the exchanges' time-outs
    // bound the wait. Nothing a thread uses is destroyed before this returns.
    void Shutdown();

    // Looks for the station (the transport holds its lock while it is open).
    // Returns 1 when a station is open afterwards.
    int OpenStation();
    // A removal notice.
    int OnRemoval(const std::string& path);
    // The last OpenStation found the station held by another process.
    bool StationHeldElsewhere() const { return heldElsewhere_; }
    // Why the last OpenStation left the station alone, in the current
    // language, for the status bar; empty when it did not.
    std::string LockRefusal() const;

    // Station opened: download now (the view reads all series, sets the
    // clock and fetches the id).
    void StationOpened();

    // Publishes to the MQTT broker from now on: the readings the poll hands
    // over, every record the history thread stores, notes in the status bar.
    void StartPublishing(const MqttConfig& config);
    // Poll thread, after a reading of station `devId` (0 while unknown).
    void ReadingTaken(uint32_t devId);

    // Places a history command, wakes the history thread and waits up to
    // 5 s for its answer. Returns the result (1 = success); 0 when no answer
    // came, or when an earlier command is still waiting to be carried out.
    int RunHistoryCommand(HistoryCommand::Kind kind, uint32_t devId,
                          std::chrono::milliseconds wait = std::chrono::milliseconds(5000));

    // Status-bar notices from the history thread: download progress and
    // completion (records so far / stored), and memory faults as text.
    std::function<void(int kind, int64_t value, const std::string& text)> onStatus;

    Messages& UserMessages() { return messages_; }
    CUsb& Usb() { return usb_; }
    StationData& Station() { return station_; }
    HistoryDb& Database() { return db_; }
    int DownloadPasses() const { return passes_.load(); }

private:
    void PollLoop();
    void HistoryLoop();
    void ServeCommand();

    Messages& messages_;
    HistoryDb db_;
    CUsb usb_;
    StationData station_;
    StationDataSource source_;
    std::atomic<int> stop_{0};
    HistoryCommand command_;
    HistoryDownloader downloader_;
    std::atomic<int> passes_{0};
    ManualResetEvent historyWake_;
    ManualResetEvent pollWake_;
    std::string lockError_;    // the station's lock cannot be used
    std::string heldNotice_;  // who holds the station, for the status bar
    bool heldElsewhere_ = false;
    std::string passNotice_;  // the gaps and clock check of the pass under way, in one line
    PollTarget* target_ = nullptr;
    std::unique_ptr<MqttPublisher> publisher_;
    std::thread pollThread_;
    std::thread historyThread_;
};

}  // namespace nimbary
