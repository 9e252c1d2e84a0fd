#include "StationLink.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace nimbary {

namespace {

std::vector<std::string> Words(const char* text) {
    std::vector<std::string> words;
    std::istringstream in(text ? text : "");
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

}  // namespace

StationLink& StationLink::Instance() {
    static StationLink link;
    return link;
}

StationLink::~StationLink() {
    // The device (and its lock) goes before its backend.
    usb_.reset();
    backends_.reset();
}

int StationLink::Ready() {
    if (made_) return setupError_;
    made_ = true;
    std::vector<std::string> args = Words(std::getenv("NIMBARY_STALINK"));
    std::string error = BackendOptions::Parse(args, options_);
    if (error.empty() && !args.empty()) error = "unknown option " + args.front();
    if (error.empty()) backends_ = Backends::Make(options_, "stalink", error);
    if (!backends_) {
        std::fprintf(stderr, "stalink: NIMBARY_STALINK: %s\n", error.c_str());
        setupError_ = STALINK_UNUSABLE;
        return setupError_;
    }
    // The transport holds the real station's lock only while the station is
    // open; a simulated or replayed station is this process's own.
    usb_ = std::make_unique<CUsb>(backends_->Active());
    return 0;
}

int StationLink::Exchange(Frame& frame, uint8_t expectedCode) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (const int error = Ready()) return error;
    if (!usb_->Connected() && !usb_->OpenStation()) {
        const StationLock* refused = usb_->Refused();
        return refused && refused->Busy() ? STALINK_BUSY : STALINK_NO_STATION;
    }
    if (usb_->Transact(frame, expectedCode)) return STALINK_OK;
    // Nothing tells this library that the station went, so every failure
    // looks again: a station that is gone is closed, one still there reopened.
    usb_->OpenStation();
    return STALINK_FAILED;
}

void StationLink::RequestResync() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (usb_) usb_->RequestResync();
}

int StationLink::StationOpen() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return usb_ && usb_->Connected() ? 1 : 0;
}

}  // namespace nimbary
