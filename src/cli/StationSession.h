#pragma once

#include <memory>
#include <string>

#include "BackendChoice.h"
#include "CUsb.h"
#include "HistorySource.h"
#include "StationData.h"
#include "StationLock.h"

namespace nimbary::cli {

// The station one command talks to: the real one over hidapi, the simulated
// one or a replayed capture, as the options say, held under its station lock.
class StationSession {
public:
    StationSession() = default;
    ~StationSession();
    StationSession(const StationSession&) = delete;
    StationSession& operator=(const StationSession&) = delete;

    // Opens the station under its lock. `databasePath` keys the lock of a
    // simulated or replayed station (empty: such a station needs none).
    // Returns kExitOk, or kExitBusy / kExitFailure after saying why on
    // standard error.
    int Open(const BackendOptions& options, const std::string& databasePath);
    // As Open, but saying nothing: `error` tells why it failed. After a
    // failure only because no station was found, Reconnect() looks again.
    int TryOpen(const BackendOptions& options, const std::string& databasePath, std::string& error);
    // After TryOpen found the station held by another process: looks again,
    // with what TryOpen made. Returns as TryOpen does.
    int LookAgain(std::string& error);
    // After a refused lock: that the session waits for its holder.
    const std::string& LockWaitingText() const { return waiting_; }
    // Looks for the station again after it went away; true when it is there.
    // After a failed exchange the handle is opened afresh: nothing here hears
    // of a removal, and the handle of a station unplugged and plugged in again
    // stays dead while it still counts as connected.
    bool Reconnect(bool afterFailure = false);
    bool Connected() const { return usb_ && usb_->Connected(); }
    // The station may be looked for again: only the station itself was missing.
    bool CanReconnect() const { return usb_ != nullptr; }

    StationData& Data() { return *data_; }
    // The simulated station's backend, or nullptr.
    sim::SimBackend* Sim() { return backends_ ? backends_->Sim() : nullptr; }
    HistorySource& Source() { return *source_; }

private:
    std::unique_ptr<Backends> backends_;
    std::unique_ptr<CUsb> usb_;
    std::unique_ptr<StationData> data_;
    std::unique_ptr<StationDataSource> source_;
    std::string waiting_;
};

}  // namespace nimbary::cli
