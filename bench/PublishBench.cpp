#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "CUsb.h"
#include "CalendarTime.h"
#include "HistoryDb.h"
#include "MqttBroker.h"
#include "MqttClient.h"
#include "MqttPayload.h"
#include "MqttPublisher.h"
#include "PublishStore.h"
#include "SampleRecord.h"
#include "ScratchFile.h"
#include "SimBackend.h"

using namespace nimbary;
using namespace nimbary::testing;

namespace {

constexpr uint32_t kDev = 0x12345678;
constexpr int kYear = 105120;  // a year of 5-minute records

// One broker and one stored year for the whole run.
struct Fixture {
    MqttBroker broker;
    std::string db;
    std::string error;
    Fixture() {
        if (!broker.Start(error)) return;
        db = broker.Dir().File("Nimbary.db");
        HistoryDb h;
        h.Open(db);
        h.ReadDevice(kDev);
        h.Info().DevID = kDev;
        ScratchFile scratch;
        scratch.Create();
        for (int i = 0; i < kYear; ++i) scratch.Append(bench::SampleRecord(i));
        if (h.SaveRecords(kYear, scratch) != 0) error = "the year could not be stored";
    }
    static Fixture& Get() {
        static Fixture f;
        return f;
    }
};

// A year's backlog from the database to the broker, every record
// acknowledged, the bookmark kept: reading, formatting and bookkeeping in.
// Each run publishes under a topic of its own, so it starts with no bookmark.
void BM_BacklogYear(benchmark::State& state) {
    Fixture& f = Fixture::Get();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    int run = 0;
    for (auto _ : state) {
        MqttConfig c;
        LoadMqttConfig({{"Broker", f.broker.Url(MqttBroker::Plain)},
                        {"Topic", "bench" + std::to_string(run++)},
                        {"Discovery", ""}},
                       c);
        MqttPublisher p(c, f.db);
        p.Start();
        p.SetStation(kDev);
        if (!p.Drain(std::chrono::minutes(5)) || p.Counters().recordsAcked != kYear)
            state.SkipWithError("the backlog did not arrive");
        p.Stop();
    }
    state.SetItemsProcessed(state.iterations() * kYear);
}
BENCHMARK(BM_BacklogYear)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Our own share of the backlog without the network: reading the year from
// the database in the publisher's batches and making its payloads.
void BM_BacklogYearReadAndFormat(benchmark::State& state) {
    Fixture& f = Fixture::Get();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    PublishStore store;
    std::string error;
    if (!store.Open(f.db, error)) return state.SkipWithError(error.c_str());
    std::vector<HistoryRecord> rows;
    for (auto _ : state) {
        size_t bytes = 0, n = 0;
        for (double after = PublishStore::kNothingSent;;) {
            store.ReadAfter(kDev, after, 1000, rows);
            if (rows.empty()) break;
            for (const HistoryRecord& r : rows) bytes += RecordJson(r).size();
            n += rows.size();
            after = rows.back().RecTime;
        }
        if (n != kYear) state.SkipWithError("records missing");
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(state.iterations() * kYear);
}
BENCHMARK(BM_BacklogYearReadAndFormat)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: libmosquitto alone publishing the same payload bytes at QoS 1,
// with the same in-flight window, until the broker acknowledged them all.
void BM_BacklogYearLibraryFloor(benchmark::State& state) {
    Fixture& f = Fixture::Get();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    std::vector<std::string> payloads;
    payloads.reserve(kYear);
    size_t bytes = 0;
    for (int i = 0; i < kYear; ++i) {
        payloads.push_back(RecordJson(bench::SampleRecord(i)));
        bytes += payloads.back().size();
    }
    struct Acks {
        std::mutex m;
        std::condition_variable cv;
        int count = 0;
        bool connected = false;
    } acks;
    const std::string topic = "floor/12345678/record";
    for (auto _ : state) {
        acks.count = 0;
        acks.connected = false;
        mosquitto* m = mosquitto_new(nullptr, true, &acks);
        mosquitto_max_inflight_messages_set(m, MqttClient::kInflight);
        mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_connect_callback_set(m, [](mosquitto*, void* a, int) {
            auto* acks = static_cast<Acks*>(a);
            std::lock_guard<std::mutex> lock(acks->m);
            acks->connected = true;
            acks->cv.notify_all();
        });
        mosquitto_publish_callback_set(m, [](mosquitto*, void* a, int) {
            auto* acks = static_cast<Acks*>(a);
            std::lock_guard<std::mutex> lock(acks->m);
            if (++acks->count == kYear) acks->cv.notify_all();
        });
        mosquitto_connect_async(m, "127.0.0.1", f.broker.Port(MqttBroker::Plain), 30);
        mosquitto_loop_start(m);
        {
            std::unique_lock<std::mutex> lock(acks.m);
            acks.cv.wait(lock, [&] { return acks.connected; });
        }
        for (const std::string& p : payloads)
            mosquitto_publish(m, nullptr, topic.c_str(), static_cast<int>(p.size()), p.data(), 1,
                              false);
        {
            std::unique_lock<std::mutex> lock(acks.m);
            acks.cv.wait(lock, [&] { return acks.count == kYear; });
        }
        mosquitto_disconnect(m);
        mosquitto_loop_stop(m, false);
        mosquitto_destroy(m);
    }
    state.SetItemsProcessed(state.iterations() * kYear);
    state.counters["payload_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_BacklogYearLibraryFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The poll's own reading against the simulated station through the whole
// transport: the floor of the next one.
struct Poll {
    sim::SimBackend backend{std::make_shared<sim::SimStation>(sim::SimConfig{})};
    CUsb usb{backend};
    StationData data{&usb};
    Poll() { usb.OpenStation(); }
    bool Tick() { return data.ReadSettings() && data.ReadCurrent(); }
};

void BM_PollTick(benchmark::State& state) {
    Poll poll;
    for (auto _ : state)
        if (!poll.Tick()) state.SkipWithError("no reading");
}
BENCHMARK(BM_PollTick)->Unit(benchmark::kMicrosecond);

// The same poll handing its reading to a publisher connected to the broker,
// as the program's poll thread does: the difference is what publishing adds.
void BM_PollTickPublishingState(benchmark::State& state) {
    Fixture& f = Fixture::Get();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    MqttConfig c;
    LoadMqttConfig({{"Broker", f.broker.Url(MqttBroker::Plain)}, {"Topic", "poll"}}, c);
    MqttPublisher p(c, "");
    p.Start();
    Poll poll;
    p.SetStation(kDev);
    while (!p.Counters().connected) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (auto _ : state) {
        if (!poll.Tick()) state.SkipWithError("no reading");
        p.PublishState(kDev, poll.data.Current, poll.data.PresenceCopy(),
                       ShownUnits(poll.data.SettingsCopy()));
    }
    p.Stop();
}
BENCHMARK(BM_PollTickPublishingState)->Unit(benchmark::kMicrosecond);

// What the publisher's own thread does for one state that changed: the
// payload, and handing it to the library (not on the poll thread).
void BM_StatePayload(benchmark::State& state) {
    Poll poll;
    poll.Tick();
    const UnitSet shown = ShownUnits(poll.data.SettingsCopy());
    for (auto _ : state) {
        std::string json = StateJson(poll.data.Current, shown);
        benchmark::DoNotOptimize(json);
    }
}
BENCHMARK(BM_StatePayload)->Unit(benchmark::kMicrosecond);

}  // namespace
