#include "CNimbaryDoc.h"

#include <cstdio>

#include "CMainFrame.h"
#include "HistoryNotices.h"
#include "MqttPayload.h"
#include "StringTable.h"

namespace nimbary {

using namespace std::chrono_literals;

CNimbaryDoc::CNimbaryDoc(HidBackend& backend, Messages& messages, std::string lockFile)
    : messages_(messages),
      db_(&messages),
      usb_(backend),
      station_(&usb_, nullptr),
      source_(station_),
      downloader_(source_, db_, &stop_, &command_.busy) {
    usb_.UseLockFile(std::move(lockFile));
    downloader_.onProgress = [this](int n) {
        if (onStatus) onStatus(STATUS_PROGRESS, n, {});
    };
    downloader_.onComplete = [this](int n) {
        if (onStatus) onStatus(STATUS_COMPLETE, n, {});
    };
    downloader_.onFault = [this](const std::string& text) {
        if (onStatus) onStatus(STATUS_TEXT, 0, text);
    };
    // Both may come from one pass (a station plugged in after long): shown
    // together after it, over its completion text.
    auto notice = [this](const std::string& text) {
        passNotice_ += (passNotice_.empty() ? "" : "    ") + text;
    };
    downloader_.onGaps = [notice](const std::vector<HistoryGap>& gaps) { notice(GapsText(gaps)); };
    downloader_.onClock = [notice](const ClockCheck& check) { notice(ClockText(check)); };
}

CNimbaryDoc::~CNimbaryDoc() {
    Shutdown();
    usb_.SetSink(nullptr);
}

int CNimbaryDoc::OpenDatabase(const std::string& path) {
    int status = db_.Open(path);
    // Which file and why: a file that is not a database, or one cut short,
    // is left as it is for the user to look at.
    if (status < 0)
        messages_.Show(text::Load(2093) + "\n" + path + "\n" + db_.LastError(), MessageIcon::Error);
    else if (db_.ReadOnly())
        messages_.Show(text::Load(2127), MessageIcon::Warning);  // browsing only, said once
    return status;
}

void CNimbaryDoc::Start(PollTarget* target) {
    target_ = target;
    stop_ = 0;
    pollThread_ = std::thread([this] { PollLoop(); });
    historyThread_ = std::thread([this] { HistoryLoop(); });
}

void CNimbaryDoc::Shutdown() {
    stop_ = 1;
    command_.commandDone.Set();
    historyWake_.Set();
    pollWake_.Set();
    if (pollThread_.joinable()) pollThread_.join();
    if (historyThread_.joinable()) historyThread_.join();
    if (publisher_) publisher_->Stop();
}

int CNimbaryDoc::OpenStation() {
    const bool wasHeld = heldElsewhere_;
    const int open = usb_.OpenStation();
    const StationLock* refused = open ? nullptr : usb_.Refused();
    heldElsewhere_ = refused && refused->Busy();
    lockError_ = refused && !refused->Busy() ? refused->ErrorText() : "";
    heldNotice_ = heldElsewhere_ ? text::Load(2126) + refused->HolderText() : "";
    // Said once on standard error as well, which a desktop session keeps in
    // its journal beside a download service's own lines.
    if (heldElsewhere_ && !wasHeld)
        std::fprintf(stderr, "nimbary: %s\n", refused->WaitingText().c_str());
    return open;
}

std::string CNimbaryDoc::LockRefusal() const {
    return heldElsewhere_ ? heldNotice_ : lockError_;
}

int CNimbaryDoc::OnRemoval(const std::string& path) {
    const int gone = usb_.OnRemoval(path);
    if (!usb_.Connected() && publisher_) publisher_->StationGone();
    return gone;
}

void CNimbaryDoc::StationOpened() {
    historyWake_.Set();
}

void CNimbaryDoc::StartPublishing(const MqttConfig& config) {
    // A database that may only be read is never downloaded into: readings only.
    publisher_ = std::make_unique<MqttPublisher>(
        config, db_.IsOpen() && !db_.ReadOnly() ? db_.Path() : std::string());
    publisher_->onNote = [this](const std::string& text) {
        if (onStatus) onStatus(STATUS_TEXT, 0, text);
    };
    publisher_->Start();
}

void CNimbaryDoc::ReadingTaken(uint32_t devId) {
    if (!publisher_ || devId == 0) return;
    // This thread alone writes the reading and the presence block.
    publisher_->PublishState(devId, station_.Current, station_.Presence,
                             ShownUnits(station_.SettingsCopy()));
}

int CNimbaryDoc::RunHistoryCommand(HistoryCommand::Kind kind, uint32_t devId,
                                   std::chrono::milliseconds wait) {
    // One still waiting for the history thread stays as it is: overwritten,
    // it would be lost, or carried out with half of the new fields.
    if (command_.pending) return 0;
    command_.deviceId = devId;
    command_.kind = kind;
    command_.result = 0;
    command_.busy = 1;
    command_.pending = 1;
    // Reset before the wake-up so the answer cannot be missed.
    command_.commandDone.Reset();
    historyWake_.Set();
    if (!command_.commandDone.Wait(wait)) return 0;
    return command_.result.load();
}

void CNimbaryDoc::PollLoop() {
    for (;;) {
        pollWake_.Reset();
        pollWake_.Wait(1000ms);
        if (stop_) return;
        if (!usb_.Connected() || !target_) continue;
        target_->PollTick();
    }
}

void CNimbaryDoc::ServeCommand() {
    if (!command_.pending) return;
    command_.result = 0;
    if (command_.kind == HistoryCommand::DeleteDatabaseRecords) {
        if (db_.DeleteDevice(command_.deviceId) == 0) command_.result = 1;
    } else if (usb_.Connected()) {
        command_.result = station_.ClearRecords(0);
    }
    command_.busy = 0;
    command_.pending = 0;
    command_.commandDone.Set();
}

void CNimbaryDoc::HistoryLoop() {
    // The wake-up is taken (reset) right after the wait and before the work,
    // never before the wait: one given before this thread ran (a station
    // found at start-up) or during a pass (a history command, a station
    // plugged in again) then starts the next round at once instead of being
    // thrown away.
    for (;;) {
        historyWake_.Wait(8000ms);
        if (stop_) return;
        historyWake_.Reset();
        ServeCommand();
        if (usb_.Connected() && db_.IsOpen() && !db_.ReadOnly()) {
            passNotice_.clear();
            downloader_.Download();
            if (publisher_ && downloader_.LastOutcome() == PassOutcome::Saved)
                publisher_->RecordsStored();
            if (!passNotice_.empty() && onStatus) onStatus(STATUS_TEXT, 0, passNotice_);
            ++passes_;
        }
    }
}

}  // namespace nimbary
