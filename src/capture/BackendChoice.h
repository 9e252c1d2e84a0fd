#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CaptureBackend.h"
#include "HidBackend.h"
#include "SimOptions.h"

namespace nimbary {

namespace sim {
class SimBackend;
}

// Which station a program talks to, from its command line:
//   (nothing)       the real station over hidapi
//   --simulate ...  the simulated station (with the other --sim-* options)
//   --replay FILE   a station answering from a capture file
//   --capture FILE  every report of the session appended to FILE (any of the above)
struct BackendOptions {
    sim::SimOptions sim;
    std::string capture;
    std::string replay;

    bool Simulated() const { return sim.simulate || !replay.empty(); }

    // Takes these options out of `args`, leaving the rest in order. Returns
    // an empty text on success, else a message for the user.
    static std::string Parse(std::vector<std::string>& args, BackendOptions& out);
    static const char* Usage();
};

// The backend chosen by the options, with the capture around it when asked.
class Backends {
public:
    // nullptr with `error` set when the simulator image, the replay file or
    // the capture file cannot be used.
    static std::unique_ptr<Backends> Make(const BackendOptions& options, const std::string& program,
                                          std::string& error);
    ~Backends();

    HidBackend& Active() { return capture_ ? *capture_ : *base_; }
    // The simulated station's backend, or nullptr.
    sim::SimBackend* Sim() { return sim_; }
    bool Simulated() const { return simulated_; }

private:
    Backends() = default;
    std::unique_ptr<HidBackend> base_;
    std::unique_ptr<CaptureBackend> capture_;
    sim::SimBackend* sim_ = nullptr;
    bool simulated_ = false;
};

}  // namespace nimbary
