#include "FaultInjector.h"

#include <algorithm>

#include "SimWire.h"

namespace nimbary::sim {

const char* FaultName(Fault f) {
    switch (f) {
        case Fault::NoReply:
            return "no reply";
        case Fault::LateReply:
            return "late reply";
        case Fault::WrongCode:
            return "wrong command code";
        case Fault::BadChecksum:
            return "bad checksum";
        case Fault::Length0:
            return "length 0";
        case Fault::Length1:
            return "length 1";
        case Fault::Length65NoSecond:
            return "length 65 without a second report";
        case Fault::Length129:
            return "length 129";
        case Fault::MissingSecondReport:
            return "missing second report";
        case Fault::StaleReports:
            return "stale reports";
        case Fault::WrongEcho:
            return "wrong echo byte";
        case Fault::WrongStatus:
            return "wrong status byte";
        case Fault::UnplugMidExchange:
            return "unplug in the middle of an exchange";
    }
    return "?";
}

void FaultInjector::Add(Fault fault, int exchanges, int command, int selector) {
    if (exchanges == 0 || exchanges < kEvery) return;
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.push_back({fault, exchanges, command, selector});
}

void FaultInjector::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
}

int FaultInjector::Fired(Fault fault) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fired_[static_cast<size_t>(fault)];
}

int FaultInjector::TotalFired() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (int c : fired_) n += c;
    return n;
}

void FaultInjector::ResetCounts() {
    std::lock_guard<std::mutex> lock(mutex_);
    fired_.fill(0);
}

void FaultInjector::SetLateDelayMs(int ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    lateDelayMs_ = std::max(0, ms);
}

int FaultInjector::LateDelayMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lateDelayMs_;
}

void FaultInjector::SetStaleReports(int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    staleReports_ = std::clamp(count, 1, 8);
}

bool FaultInjector::Fits(Fault fault, uint8_t command, size_t replyLength) {
    switch (fault) {
        case Fault::MissingSecondReport:
            return replyLength > 64;
        case Fault::WrongEcho:
            return command == 0x02 || command == 0x09;
        case Fault::WrongStatus:
            return command == 0x83 || command == 0x87 || command == 0x88;
        default:
            return true;
    }
}

bool FaultInjector::Pick(uint8_t command, uint8_t selector, size_t replyLength, Fault& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = rules_.begin(); it != rules_.end(); ++it) {
        if (it->command != kAnyCommand && it->command != command) continue;
        if (it->selector != kAnySelector && it->selector != selector) continue;
        if (!Fits(it->fault, command, replyLength)) continue;
        out = it->fault;
        ++fired_[static_cast<size_t>(out)];
        if (it->remaining != kEvery && --it->remaining == 0) rules_.erase(it);
        return true;
    }
    return false;
}

namespace {

std::vector<SimReport> Split(const std::vector<uint8_t>& frame, size_t reports, int delayMs) {
    std::vector<SimReport> out(reports);
    for (size_t i = 0; i < reports; ++i) {
        out[i].delayMs = delayMs;
        for (size_t j = 0; j < 64 && i * 64 + j < frame.size(); ++j)
            out[i].data[j] = frame[i * 64 + j];
    }
    return out;
}

size_t ReportsFor(size_t length) {
    return length > 64 ? 2 : 1;
}

}  // namespace

std::vector<SimReport> FaultInjector::Shape(const std::vector<uint8_t>& reply,
                                            const Fault* fault) const {
    std::vector<uint8_t> f = reply;
    const size_t n = ReportsFor(f.size());
    if (!fault) return Split(f, n, 0);
    int lateMs, stale;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lateMs = lateDelayMs_;
        stale = staleReports_;
    }
    switch (*fault) {
        case Fault::NoReply:
        case Fault::UnplugMidExchange:
            return {};
        case Fault::LateReply:
            return Split(f, n, lateMs);
        case Fault::WrongCode:
            f[1] ^= 0x40;  // never a command the station knows
            SealFrame(f);
            return Split(f, n, 0);
        case Fault::BadChecksum:
            f.back() = static_cast<uint8_t>(f.back() + 1);
            return Split(f, n, 0);
        case Fault::Length0:
        case Fault::Length1:
            f[0] = *fault == Fault::Length0 ? 0 : 1;
            return Split(f, 1, 0);
        case Fault::Length65NoSecond:
            if (f[0] <= 64) f[0] = 65;
            return Split(f, 1, 0);
        case Fault::Length129: {
            f.resize(128, 0);
            f[0] = 129;
            return Split(f, 2, 0);
        }
        case Fault::MissingSecondReport:
            return Split(f, 1, 0);
        case Fault::StaleReports: {
            // A complete single-report reply to another command, left over
            // from an exchange nobody waited for.
            std::vector<uint8_t> old = NewFrame(8, f[1] == 0x02 ? 0x01 : 0x02);
            old[2] = 0;
            old[3] = 1;
            old[4] = 1;
            SealFrame(old);
            std::vector<SimReport> out;
            for (int i = 0; i < stale; ++i) {
                std::vector<SimReport> one = Split(old, 1, 0);
                out.insert(out.end(), one.begin(), one.end());
            }
            std::vector<SimReport> real = Split(f, n, 0);
            out.insert(out.end(), real.begin(), real.end());
            return out;
        }
        case Fault::WrongEcho:
            f[2] = static_cast<uint8_t>(f[2] + 1);
            SealFrame(f);
            return Split(f, n, 0);
        case Fault::WrongStatus:
            f[2] = 1;
            SealFrame(f);
            return Split(f, n, 0);
    }
    return Split(f, n, 0);
}

}  // namespace nimbary::sim
