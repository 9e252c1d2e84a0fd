#include "StationSession.h"

#include "Command.h"

namespace nimbary::cli {

StationSession::~StationSession() {
    // The device (and its lock) goes before its backend.
    source_.reset();
    data_.reset();
    usb_.reset();
    backends_.reset();
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

    backends_ = Backends::Make(options, "nimbary-cli", error);
    if (!backends_) return kExitFailure;
    usb_ = std::make_unique<CUsb>(backends_->Active());
    // A real station's lock is its node; a simulated or replayed one locks
    // beside the database it downloads into.
    if (options.Simulated() && !databasePath.empty())
        usb_->UseLockFile(StationLock::SimulatedStationPath(databasePath));
    data_ = std::make_unique<StationData>(usb_.get());
    source_ = std::make_unique<StationDataSource>(*data_);
    return LookAgain(error);
}

int StationSession::LookAgain(std::string& error) {
    if (!usb_) return kExitFailure;
    if (usb_->OpenStation()) return kExitOk;
    const StationLock* lock = usb_->Refused();
    if (!lock) {
        error = "no weather station found (is it plugged in, and may this user open it?)";
        return kExitFailure;
    }
    error = lock->ErrorText();
    if (lock->Busy()) {
        waiting_ = lock->WaitingText();
        return kExitBusy;
    }
    // A lock that cannot be used stays so: nothing to wait for.
    source_.reset();
    data_.reset();
    usb_.reset();
    return kExitFailure;
}

bool StationSession::Reconnect(bool afterFailure) {
    return usb_ && ((usb_->Connected() && !afterFailure) || usb_->OpenStation());
}

}  // namespace nimbary::cli
