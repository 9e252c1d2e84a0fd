#include "StationSession.h"

#include "Command.h"

namespace nimbary::cli {

StationSession::~StationSession() {
    // The device goes before its backend, the lock last.
    source_.reset();
    data_.reset();
    usb_.reset();
    backends_.reset();
    lock_.reset();
}

int StationSession::Open(const BackendOptions& options, const std::string& databasePath) {
    std::string error;
    const int rc = TryOpen(options, databasePath, error);
    if (rc != kExitOk) PrintError(error);
    return rc;
}

int StationSession::TryOpen(const BackendOptions& options, const std::string& databasePath,
                            std::string& error) {
    // Whatever an earlier attempt held goes first.
    source_.reset();
    data_.reset();
    usb_.reset();
    backends_.reset();
    std::string lockPath;
    if (!options.Simulated())
        lockPath = StationLock::RealStationPath();
    else if (!databasePath.empty())
        lockPath = StationLock::SimulatedStationPath(databasePath);
    if (!lockPath.empty()) {
        lock_ = std::make_unique<StationLock>(lockPath);
        if (!lock_->TryLock()) {
            error = lock_->ErrorText();
            return lock_->Busy() ? kExitBusy : kExitFailure;
        }
    }

    backends_ = Backends::Make(options, "nimbary-cli", error);
    if (!backends_) return kExitFailure;
    usb_ = std::make_unique<CUsb>(backends_->Active());
    data_ = std::make_unique<StationData>(usb_.get());
    source_ = std::make_unique<StationDataSource>(*data_);
    if (!usb_->OpenStation()) {
        error = "no weather station found (is it plugged in, and may this user open it?)";
        return kExitFailure;
    }
    return kExitOk;
}

bool StationSession::Reconnect(bool afterFailure) {
    return usb_ && ((usb_->Connected() && !afterFailure) || usb_->OpenStation());
}

}  // namespace nimbary::cli
