#include "SimChaos.h"

#include <chrono>

#include "SimBackend.h"

namespace nimbary::sim {

std::shared_ptr<SimLog> SimLog::Create(const std::string& path, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        error = "cannot write the simulation log " + path;
        return nullptr;
    }
    return std::shared_ptr<SimLog>(new SimLog(f));
}

SimLog::~SimLog() {
    std::fclose(file_);
}

void SimLog::Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

SimChaos::SimChaos(SimBackend& backend, const ChaosPlan& plan, std::shared_ptr<SimLog> log)
    : backend_(backend), plan_(plan), log_(std::move(log)), random_(plan.seed ^ 0xC4A05ULL) {}

SimChaos::~SimChaos() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void SimChaos::Start() {
    thread_ = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            lock.unlock();
            const bool more = Step(backend_.Station().Now());
            lock.lock();
            if (!more) break;
            cv_.wait_for(lock, std::chrono::milliseconds(10), [this] { return stop_; });
        }
    });
}

double SimChaos::Minutes(double mean) {
    return std::exponential_distribution<double>(1.0 / mean)(random_);
}

void SimChaos::Log(const std::string& what, uint32_t now) {
    if (log_) log_->Line(what + " " + std::to_string(now));
}

bool SimChaos::Step(uint32_t now) {
    if (done_) return false;
    if (!begun_) {
        begun_ = true;
        end_ = now + plan_.days * 86400u;
        next_ = now + static_cast<uint32_t>(Minutes(plan_.meanMinutes) * 60);
    }
    if (now >= end_) {
        backend_.Faults().Clear();
        if (!backend_.Plugged()) Log("P", now);
        backend_.Plug();
        backend_.Station().SetRecording(false);
        Log("END", now);
        done_ = true;
        return false;
    }
    if (unplugged_) {
        if (now >= replugAt_) {
            backend_.Plug();
            unplugged_ = false;
            Log("P", now);
        }
    } else if (!backend_.Plugged()) {
        // A fault pulled the cable in the middle of an exchange.
        unplugged_ = true;
        replugAt_ = now + static_cast<uint32_t>(Minutes(30) * 60);
        Log("U", now);
    }
    if (now >= next_) {
        Event(now);
        next_ = now + static_cast<uint32_t>(Minutes(plan_.meanMinutes) * 60) + 1;
    }
    return true;
}

void SimChaos::Event(uint32_t now) {
    const double pick = std::uniform_real_distribution<double>(0, 1)(random_);
    if (pick < 0.45) {
        if (unplugged_) return;
        // Mostly short, now and then for days: long enough for the ring to
        // wrap over records nobody read.
        double minutes = Minutes(plan_.meanMinutes / 4);
        if (std::uniform_real_distribution<double>(0, 1)(random_) < 0.05)
            minutes = std::uniform_real_distribution<double>(2.5 * 1440, 4.5 * 1440)(random_);
        backend_.Unplug();
        unplugged_ = true;
        replugAt_ = now + static_cast<uint32_t>(minutes * 60);
        Log("U", now);
    } else if (pick < 0.85) {
        const auto fault = static_cast<Fault>(
            std::uniform_int_distribution<int>(0, kFaultKinds - 1)(random_));
        const int exchanges = std::uniform_int_distribution<int>(1, 2)(random_);
        backend_.Faults().Add(fault, exchanges);
        if (log_)
            log_->Line("F " + std::to_string(now) + " " + FaultName(fault) + " " +
                       std::to_string(exchanges));
    } else {
        backend_.Station().ClearMemory();
        Log("X", now);
    }
}

}  // namespace nimbary::sim
