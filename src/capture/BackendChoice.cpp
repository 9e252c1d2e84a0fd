#include "BackendChoice.h"

#include "HidApiBackend.h"
#include "ReplayBackend.h"
#include "SimBackend.h"

#ifndef NIMBARY_VERSION
#define NIMBARY_VERSION "0"
#endif

namespace nimbary {

std::string BackendOptions::Parse(std::vector<std::string>& args, BackendOptions& out) {
    BackendOptions result = out;
    std::vector<std::string> rest;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* target = nullptr;
        std::string name;
        for (auto [opt, field] :
             {std::pair{"--capture", &result.capture}, std::pair{"--replay", &result.replay}}) {
            std::string o = opt;
            if (a == o || a.rfind(o + "=", 0) == 0) {
                target = field;
                name = o;
            }
        }
        if (!target) {
            rest.push_back(a);
            continue;
        }
        if (a.size() > name.size()) {
            *target = a.substr(name.size() + 1);
        } else if (i + 1 < args.size()) {
            *target = args[++i];
        } else {
            return name + " needs a file name";
        }
        if (target->empty()) return name + " needs a file name";
    }
    std::string error = sim::SimOptions::Parse(rest, result.sim);
    if (!error.empty()) return error;
    if (!result.replay.empty() && result.sim.simulate)
        return "--replay and --simulate cannot be used together";
    args = std::move(rest);
    out = std::move(result);
    return {};
}

const char* BackendOptions::Usage() {
    return "  --replay FILE       answer from a capture file instead of a station\n"
           "  --capture FILE      append every report sent and received to FILE\n";
}

std::unique_ptr<Backends> Backends::Make(const BackendOptions& options, const std::string& program,
                                         std::string& error) {
    std::unique_ptr<Backends> b(new Backends());
    if (!options.replay.empty()) {
        b->base_ = ReplayBackend::Load(options.replay, error);
        if (!b->base_) return nullptr;
        b->simulated_ = true;
    } else if (options.sim.simulate) {
        auto simBackend = sim::MakeSimBackend(options.sim, error);
        if (!simBackend) return nullptr;
        b->sim_ = simBackend.get();
        b->base_ = std::move(simBackend);
        b->simulated_ = true;
    } else {
        auto real = std::make_unique<HidApiBackend>();
        if (!real->Ok()) {
            error = "the HID library could not be initialised";
            return nullptr;
        }
        b->base_ = std::move(real);
    }
    if (!options.capture.empty()) {
        auto writer = std::make_shared<CaptureWriter>(options.capture, program, NIMBARY_VERSION);
        if (!writer->Ok()) {
            error = "cannot write the capture file " + options.capture;
            return nullptr;
        }
        b->capture_ = std::make_unique<CaptureBackend>(*b->base_, std::move(writer));
    }
    return b;
}

Backends::~Backends() = default;

}  // namespace nimbary
