#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "BackendChoice.h"
#include "CUsb.h"
#include "stalink.h"

namespace nimbary {

// The station behind libstalink.so: chosen once from NIMBARY_STALINK, opened
// when first needed and again after it went, under the station lock shared
// with the program and nimbary-cli (held only while the station is open).
// Results are stalink's codes.
class StationLink {
public:
    static StationLink& Instance();

    // One exchange: the request in `frame` goes out, the reply comes back in
    // it. STALINK_OK only for an accepted reply with `expectedCode`.
    int Exchange(Frame& frame, uint8_t expectedCode);
    // The reply did not answer its request: the next exchange starts clean.
    void RequestResync();
    int StationOpen();
    // Runs `control` on the simulated station; STALINK_UNUSABLE without one.
    template <class F>
    int Simulated(F control) {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        sim::SimBackend* sim = Ready() == 0 && backends_ ? backends_->Sim() : nullptr;
        return sim ? control(*sim) : STALINK_UNUSABLE;
    }

private:
    StationLink() = default;
    ~StationLink();
    // Makes the backend on the first call; 0 or the reason it cannot be used.
    int Ready();

    std::recursive_mutex mutex_;
    bool made_ = false;
    int setupError_ = 0;
    BackendOptions options_;
    std::unique_ptr<Backends> backends_;
    std::unique_ptr<CUsb> usb_;
};

}  // namespace nimbary
