#include "MqttPublisher.h"

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

#include "MqttClient.h"
#include "MqttPayload.h"
#include "PublishStore.h"
#include "StringTable.h"

namespace nimbary {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr auto kConnectTimeout = 10s;
constexpr auto kFirstRetry = 1s;
constexpr auto kLongestRetry = 60s;
constexpr auto kSaveEvery = 1s;
constexpr auto kGoodbyeWait = 1s;
// Records handed to the library and not yet acknowledged: the library sends
// kInflight of them at once, the rest wait in its queue, so an answer from
// the broker is followed by the next record without a round through here.
constexpr size_t kWindow = 2000;

std::string ClientId() {
    char host[64] = {};
    gethostname(host, sizeof host - 1);
    return "nimbary-" + std::string(host) + "-" + std::to_string(getpid());
}

}  // namespace

// Everything the publisher's thread owns; only it touches this.
struct MqttPublisher::Worker {
    explicit Worker(MqttPublisher& owner)
        : p(owner), config(owner.config_), broker(config.BrokerKey()), clientId(ClientId()) {}

    MqttPublisher& p;
    const MqttConfig& config;
    const std::string broker;
    const std::string clientId;

    PublishStore store;
    bool storeOk = false;
    bool storeTold = false;

    std::unique_ptr<MqttClient> client;
    uint32_t sessionStation = 0;
    bool up = false;  // the broker accepted the connection
    Clock::time_point attemptStart{}, nextAttempt{};
    Clock::duration backoff = kFirstRetry;
    bool outage = false;  // said, and not yet said to be over

    // The callers' latest.
    uint32_t station = 0;
    bool haveReading = false;
    uint32_t readingStation = 0;
    HistoryRecord reading;
    PresenceBlock presence;
    UnitSet units;

    bool stationHere = true;  // not unplugged since the last reading

    // Of the session.
    bool stationOnline = false;  // what the status topic says
    bool announcedValid = false;
    std::vector<bool> announced;
    bool statePending = false;  // a reading not yet looked at for the state topic
    std::string lastState;
    Clock::time_point lastStateAt{};
    struct Feed {
        uint32_t devId;
        double sent, acked, saved;  // record times
        bool exhausted;
    };
    std::vector<Feed> feeds;
    struct Pending {
        int mid;
        size_t feed;
        double time;
    };
    std::deque<Pending> inflight;
    std::unordered_set<int> recordMids, ackedEarly;
    std::vector<HistoryRecord> rows;  // kept, with `payload`, across a backlog's batches
    std::string payload;
    Clock::time_point lastSave{};
    bool failedNow = false;  // an attempt failed or the connection was lost in this round

    void Run();
    void Step(bool gone, bool newReading, bool stored);
    Clock::time_point Deadline() const;
    void BeginAttempt();
    void HandleEvents();
    void SessionUp();
    void AttemptFailed(const std::string& reason, bool refused);
    void EndSession();
    void Note(const std::string& text);
    void Publish(const std::string& topic, const std::string& payload, bool retain);
    void PublishReading();
    void LoadFeeds();
    void FillWindow();
    void OnAck(int mid);
    void Save(bool force);
    bool Unsaved() const;
    bool Idle() const;
    void Goodbye();
};

MqttPublisher::MqttPublisher(MqttConfig config, std::string databasePath)
    : config_(std::move(config)), databasePath_(std::move(databasePath)) {}

MqttPublisher::~MqttPublisher() {
    Stop();
}

void MqttPublisher::Start() {
    if (thread_.joinable() || !config_.Enabled()) return;
    {
        std::lock_guard<std::mutex> lock(lock_);
        stop_ = false;
    }
    thread_ = std::thread([this] {
        Worker w(*this);
        w.Run();
    });
}

void MqttPublisher::Stop() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void MqttPublisher::Wake() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        woken_ = true;
    }
    wake_.notify_all();
}

void MqttPublisher::PublishState(uint32_t devId, const HistoryRecord& current,
                                 const PresenceBlock& presence, const UnitSet& displayUnits) {
    if (devId == 0) return;
    {
        std::lock_guard<std::mutex> lock(lock_);
        station_ = devId;
        haveReading_ = true;
        reading_ = current;
        reading_.DevID = devId;
        presence_ = presence;
        units_ = displayUnits;
        woken_ = true;
    }
    wake_.notify_all();
}

void MqttPublisher::SetStation(uint32_t devId) {
    if (devId == 0) return;
    {
        std::lock_guard<std::mutex> lock(lock_);
        station_ = devId;
        woken_ = true;
    }
    wake_.notify_all();
}

void MqttPublisher::StationGone() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stationGone_ = true;
        woken_ = true;
    }
    wake_.notify_all();
}

void MqttPublisher::RecordsStored() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        recordsStored_ = true;
        woken_ = true;
    }
    wake_.notify_all();
}

bool MqttPublisher::Drain(std::chrono::milliseconds limit) {
    if (!thread_.joinable()) return false;
    std::unique_lock<std::mutex> lock(lock_);
    draining_ = true;
    drained_ = drainFailed_ = false;
    woken_ = true;
    wake_.notify_all();
    wake_.wait_for(lock, limit, [this] { return drained_ || drainFailed_; });
    draining_ = false;
    return drained_;
}

MqttPublisher::Stats MqttPublisher::Counters() const {
    std::lock_guard<std::mutex> lock(lock_);
    return stats_;
}

// --- The publisher's thread ------------------------------------------------

void MqttPublisher::Worker::Run() {
    if (!p.databasePath_.empty()) {
        std::string error;
        storeOk = store.Open(p.databasePath_, error);
        if (!storeOk) Note(text::Format(2182, {error}));
    }
    std::unique_lock<std::mutex> lock(p.lock_);
    for (;;) {
        p.wake_.wait_until(lock, Deadline(), [this] { return p.woken_ || p.stop_; });
        p.woken_ = false;
        if (p.stop_) break;
        station = p.station_;
        const bool gone = std::exchange(p.stationGone_, false);
        const bool newReading = std::exchange(p.haveReading_, false);
        if (newReading) {
            haveReading = statePending = true;
            readingStation = p.reading_.DevID;
            reading = p.reading_;
            presence = p.presence_;
            units = p.units_;
        }
        const bool stored = std::exchange(p.recordsStored_, false);
        lock.unlock();
        failedNow = false;
        Step(gone, newReading, stored);
        lock.lock();
        p.stats_.connected = up;
        if (p.draining_) {
            if (Idle()) p.drained_ = true;
            if (failedNow) p.drainFailed_ = true;
            if (p.drained_ || p.drainFailed_) p.wake_.notify_all();
        }
    }
    lock.unlock();
    Goodbye();
}

Clock::time_point MqttPublisher::Worker::Deadline() const {
    const auto now = Clock::now();
    auto at = now + 1s;
    if (!client && station) at = std::min(at, std::max(now, nextAttempt));
    if (client && !up) at = std::min(at, attemptStart + kConnectTimeout);
    if (up && statePending)
        at = std::min(at, lastStateAt + std::chrono::seconds(config.stateInterval));
    if (up && Unsaved()) at = std::min(at, lastSave + kSaveEvery);
    if (up && !inflight.empty()) at = std::min(at, now + MqttClient::kLookAgain);
    return at;
}

void MqttPublisher::Worker::Step(bool gone, bool newReading, bool stored) {
    // Another station: its own connection, with its own last will.
    if (client && station && station != sessionStation) {
        if (up && stationOnline)
            Publish(StationTopic(config.topic, sessionStation, "status"), "offline", true);
        EndSession();
        nextAttempt = Clock::now();
    }
    if (client) HandleEvents();
    if (!client && station && Clock::now() >= nextAttempt) BeginAttempt();
    if (client && !up && Clock::now() - attemptStart >= kConnectTimeout)
        AttemptFailed(text::Format(2181, {int(kConnectTimeout.count())}), false);
    if (gone) stationHere = false;
    if (newReading && !gone) stationHere = true;
    if (!up) return;

    if (stationHere != stationOnline) {
        Publish(StationTopic(config.topic, sessionStation, "status"),
                stationHere ? "online" : "offline", true);
        stationOnline = stationHere;
    }
    if (stored) {
        LoadFeeds();
        for (Feed& f : feeds) f.exhausted = false;
    }
    PublishReading();
    FillWindow();
    Save(false);
}

void MqttPublisher::Worker::BeginAttempt() {
    sessionStation = station;
    attemptStart = Clock::now();
    client = std::make_unique<MqttClient>(
        config, clientId, StationTopic(config.topic, station, "status"), [this] { p.Wake(); });
    std::string error;
    if (!client->Start(error)) AttemptFailed(error, false);
}

void MqttPublisher::Worker::HandleEvents() {
    for (const MqttClient::Event& e : client->TakeEvents()) {
        switch (e.kind) {
            case MqttClient::Event::Connected:
                SessionUp();
                break;
            case MqttClient::Event::Refused:
                AttemptFailed(MqttClient::RefusalText(e.code), true);
                return;
            case MqttClient::Event::Lost: {
                std::string why = client->LastLibraryError();
                if (up || why.empty()) why = MqttClient::ErrorText(e.code);
                AttemptFailed(why, false);
                return;
            }
            case MqttClient::Event::Acked:
                OnAck(e.mid);
                break;
        }
    }
}

void MqttPublisher::Worker::SessionUp() {
    up = true;
    backoff = kFirstRetry;
    if (outage) Note(text::Format(2180, {config.broker}));
    outage = false;
    {
        std::lock_guard<std::mutex> lock(p.lock_);
        ++p.stats_.sessions;
    }
    // Said either way: the broker may still hold "online" from before.
    Publish(StationTopic(config.topic, sessionStation, "status"),
            stationHere ? "online" : "offline", true);
    stationOnline = stationHere;
    announcedValid = false;
    lastState.clear();
    statePending = haveReading;
    inflight.clear();
    recordMids.clear();
    ackedEarly.clear();
    feeds.clear();
    LoadFeeds();
    lastSave = Clock::now();
}

void MqttPublisher::Worker::AttemptFailed(const std::string& reason, bool refused) {
    const bool wasUp = up;
    EndSession();
    failedNow = true;
    if (!wasUp) {
        std::lock_guard<std::mutex> lock(p.lock_);
        ++p.stats_.failedAttempts;
    }
    if (!outage) Note(text::Format(refused ? 2179 : 2178, {config.broker, reason}));
    outage = true;
    nextAttempt = Clock::now() + backoff;
    backoff = std::min<Clock::duration>(backoff * 2, kLongestRetry);
}

void MqttPublisher::Worker::EndSession() {
    Save(true);
    client.reset();
    up = false;
    stationOnline = false;
    inflight.clear();
    recordMids.clear();
    ackedEarly.clear();
}

void MqttPublisher::Worker::Note(const std::string& text) {
    if (p.onNote) p.onNote(text);
}

void MqttPublisher::Worker::Publish(const std::string& topic, const std::string& payload,
                                    bool retain) {
    if (client) client->Publish(topic, payload, retain);
}

void MqttPublisher::Worker::PublishReading() {
    if (!statePending || readingStation != sessionStation) return;
    if (!config.discovery.empty()) {
        const std::vector<bool> present = PresentFields(presence, reading);
        const auto& fields = PublishedFields();
        for (size_t i = 0; i < fields.size(); ++i) {
            if (announcedValid && present[i] == announced[i]) continue;
            // An empty retained config takes a sensor the station lost out of Home Assistant.
            Publish(DiscoveryTopic(config.discovery, sessionStation, fields[i]),
                    present[i] ? DiscoveryJson(config.topic, sessionStation, fields[i]) : "", true);
        }
        announced = present;
        announcedValid = true;
    }
    const auto now = Clock::now();
    if (!lastState.empty() && now - lastStateAt < std::chrono::seconds(config.stateInterval))
        return;  // the newest reading goes out when the interval is over
    statePending = false;
    std::string json = StateJson(reading, units);
    if (json == lastState) return;
    Publish(StationTopic(config.topic, sessionStation, "state"), json, true);
    lastState = std::move(json);
    lastStateAt = now;
    std::lock_guard<std::mutex> lock(p.lock_);
    ++p.stats_.statesPublished;
}

void MqttPublisher::Worker::LoadFeeds() {
    if (!storeOk) return;
    std::vector<uint32_t> ids;
    if (!store.Stations(ids)) {
        if (!storeTold) Note(text::Format(2182, {store.LastError()}));
        storeTold = true;
        return;
    }
    for (uint32_t id : ids) {
        if (std::any_of(feeds.begin(), feeds.end(), [id](const Feed& f) { return f.devId == id; }))
            continue;
        double mark;
        if (!store.ReadBookmark(id, broker, config.topic, mark)) {
            if (!storeTold) Note(text::Format(2182, {store.LastError()}));
            storeTold = true;
            continue;  // sending from the start again would repeat everything
        }
        feeds.push_back({id, mark, mark, mark, false});
    }
}

void MqttPublisher::Worker::FillWindow() {
    // Refilled in bulk once half the window is answered, not one by one.
    if (inflight.size() > kWindow / 2) return;
    for (size_t i = 0; i < feeds.size() && inflight.size() < kWindow;) {
        Feed& f = feeds[i];
        if (f.exhausted) {
            ++i;
            continue;
        }
        if (!store.ReadAfter(f.devId, f.sent, static_cast<int>(kWindow - inflight.size()), rows)) {
            if (!storeTold) Note(text::Format(2182, {store.LastError()}));
            storeTold = true;
            f.exhausted = true;  // tried again after the next download
            continue;
        }
        if (rows.empty()) {
            f.exhausted = true;
            continue;
        }
        const std::string topic = StationTopic(config.topic, f.devId, "record");
        for (const HistoryRecord& r : rows) {
            payload.clear();
            AppendRecordJson(payload, r);
            const int mid = client->Publish(topic, payload, false);
            if (mid < 0) return;  // the connection is going; its event follows
            inflight.push_back({mid, i, r.RecTime});
            recordMids.insert(mid);
            f.sent = r.RecTime;
        }
    }
}

void MqttPublisher::Worker::OnAck(int mid) {
    if (!recordMids.erase(mid)) return;  // a status, state or config
    {
        std::lock_guard<std::mutex> lock(p.lock_);
        ++p.stats_.recordsAcked;
    }
    // The bookmark moves over an unbroken run of acknowledged records only.
    ackedEarly.insert(mid);
    while (!inflight.empty() && ackedEarly.erase(inflight.front().mid)) {
        feeds[inflight.front().feed].acked = inflight.front().time;
        inflight.pop_front();
    }
}

bool MqttPublisher::Worker::Unsaved() const {
    return std::any_of(feeds.begin(), feeds.end(), [](const Feed& f) { return f.acked > f.saved; });
}

bool MqttPublisher::Worker::Idle() const {
    if (!up) return false;
    return inflight.empty() && !Unsaved() &&
           std::all_of(feeds.begin(), feeds.end(), [](const Feed& f) { return f.exhausted; });
}

void MqttPublisher::Worker::Save(bool force) {
    if (!Unsaved()) return;
    const auto now = Clock::now();
    const bool sentAll = inflight.empty();
    if (!force && !sentAll && now - lastSave < kSaveEvery) return;
    std::vector<PublishStore::Mark> marks;
    for (const Feed& f : feeds)
        if (f.acked > f.saved) marks.push_back({f.devId, f.acked});
    lastSave = now;
    if (!store.SaveBookmarks(marks, broker, config.topic)) {
        if (store.LastWasBusy()) return;  // kept for the next round
        if (!storeTold) Note(text::Format(2182, {store.LastError()}));
        storeTold = true;
        return;
    }
    for (Feed& f : feeds) f.saved = f.acked;
}

void MqttPublisher::Worker::Goodbye() {
    if (client && up) {
        // A clean disconnect sends no last will: the status is said here.
        int offline = -1;
        if (stationOnline)
            offline = client->Publish(StationTopic(config.topic, sessionStation, "status"),
                                      "offline", true);
        const auto until = Clock::now() + kGoodbyeWait;
        bool answered = offline < 0;
        while (Clock::now() < until && (!answered || !inflight.empty())) {
            for (const MqttClient::Event& e : client->TakeEvents()) {
                if (e.kind == MqttClient::Event::Acked) {
                    if (e.mid == offline) answered = true;
                    OnAck(e.mid);
                } else if (e.kind == MqttClient::Event::Lost) {
                    answered = true;
                    inflight.clear();
                }
            }
            std::this_thread::sleep_for(5ms);
        }
    }
    EndSession();
}

}  // namespace nimbary
