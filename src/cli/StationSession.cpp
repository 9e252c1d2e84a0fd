#include "StationSession.h"

#include "Command.h"
#include "HidApiBackend.h"
#include "SimBackend.h"

namespace nimbary::cli {

StationSession::~StationSession() {
    // The device goes before its backend, the lock last.
    source_.reset();
    data_.reset();
    usb_.reset();
    backend_.reset();
    lock_.reset();
}

int StationSession::Open(const sim::SimOptions& options, const std::string& databasePath,
                         std::string& error) {
    std::string lockPath;
    if (!options.simulate)
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

    if (options.simulate) {
        std::unique_ptr<sim::SimBackend> simBackend = sim::MakeSimBackend(options, error);
        if (!simBackend) return kExitFailure;
        backend_ = std::move(simBackend);
    } else {
        auto real = std::make_unique<HidApiBackend>();
        if (!real->Ok()) {
            error = "the HID library could not be initialised";
            return kExitFailure;
        }
        backend_ = std::move(real);
    }
    usb_ = std::make_unique<CUsb>(*backend_);
    data_ = std::make_unique<StationData>(usb_.get());
    source_ = std::make_unique<StationDataSource>(*data_);
    if (!usb_->OpenStation()) {
        error = "no weather station found (is it plugged in, and may this user open it?)";
        return kExitFailure;
    }
    return kExitOk;
}

bool StationSession::Reconnect() {
    return usb_ && (usb_->Connected() || usb_->OpenStation());
}

}  // namespace nimbary::cli
