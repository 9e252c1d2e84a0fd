#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <set>
#include <thread>

#include "CalendarTime.h"
#include "HistoryDb.h"
#include "MqttBroker.h"
#include "MqttPayload.h"
#include "MqttPublisher.h"
#include "MqttSubscriber.h"
#include "ScratchFile.h"
#include "StringTable.h"

using namespace nimbary;
using namespace nimbary::testing;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kDev = 0x1A2B3C4D;
constexpr uint32_t kFirst = 850000000;  // 2026-12-08 on the station's clock
const std::string kRecordTopic = "nimbary/1A2B3C4D/record";
const std::string kStatusTopic = "nimbary/1A2B3C4D/status";
const std::string kStateTopic = "nimbary/1A2B3C4D/state";

#define START_BROKER(broker) \
    std::string why_;        \
    if (!(broker).Start(why_)) GTEST_SKIP() << "no MQTT broker to test against: " << why_;

// `n` records of kDev five minutes apart from record `from` on, stored as a
// download stores them.
void StoreRecords(const std::string& path, int from, int n) {
    HistoryDb db;
    ASSERT_EQ(db.Open(path), 0);
    ASSERT_EQ(db.ReadDevice(kDev), 0);
    db.Info().DevID = kDev;
    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create());
    for (int i = from; i < from + n; ++i) {
        HistoryRecord r;
        r.DevID = kDev;
        r.RecTime = StationTimeToOleDate(kFirst + 300u * i);
        r.InTemp = 60.0 + i % 40;
        r.ChTemp[0] = i % 7 == 0 ? VAL_LOW : 40.0;
        r.Rain[RAIN_TOTAL] = i * 0.1;
        ASSERT_TRUE(scratch.Append(r));
    }
    ASSERT_EQ(db.SaveRecords(n, scratch), 0);
}

std::string RecordTime(int i) {
    return StationTimeText(StationTimeToOleDate(kFirst + 300u * i));
}

// The record times the subscriber got, in arrival order.
std::vector<std::string> Times(const std::vector<MqttSubscriber::Message>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) {
        if (m.topic != kRecordTopic) continue;
        const size_t at = m.payload.find("\"time\":\"");
        out.push_back(at == std::string::npos ? "" : m.payload.substr(at + 8, 19));
    }
    return out;
}

// Each time once, at its first arrival: what a consumer keying on the time keeps.
std::vector<std::string> Unique(const std::vector<std::string>& times) {
    std::set<std::string> seen;
    std::vector<std::string> out;
    for (const std::string& t : times)
        if (seen.insert(t).second) out.push_back(t);
    return out;
}

double Bookmark(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT RecTime FROM MqttBookmark WHERE DevID = 439041101", -1, &s,
                       nullptr);
    const double t = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_double(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return t;
}

MqttConfig Config(const MqttBroker& broker) {
    MqttConfig c;
    EXPECT_EQ(
        LoadMqttConfig({{"Broker", broker.Url(MqttBroker::Plain)}, {"StateInterval", "1"}}, c), "");
    return c;
}

template <class F>
bool Eventually(F done, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

}  // namespace

// The broker killed in the middle of a backlog and started again: every
// record arrives, in time order, none missing; what came twice is what was
// on the way when the broker died.
TEST(MqttPublisher, BacklogSurvivesABrokerKilledAndRestarted) {
    MqttBroker broker;
    START_BROKER(broker);
    const std::string db = broker.Dir().File("Nimbary.db");
    constexpr int kRecords = 20000;
    StoreRecords(db, 0, kRecords);
    MqttSubscriber sub(broker.Port(MqttBroker::Plain));
    ASSERT_TRUE(sub.Ready());

    MqttPublisher publisher(Config(broker), db);
    std::vector<std::string> notes;
    std::mutex notesLock;
    publisher.onNote = [&](const std::string& t) {
        std::lock_guard<std::mutex> lock(notesLock);
        notes.push_back(t);
    };
    publisher.Start();
    publisher.SetStation(kDev);
    ASSERT_TRUE(sub.WaitFor([](const auto& m) { return Times(m).size() >= 3000; }, 30000));
    const int failed = publisher.Counters().failedAttempts;
    broker.Kill();
    ASSERT_TRUE(Eventually([&] { return !publisher.Counters().connected; }, 5s));
    ASSERT_LT(Times(sub.Messages()).size(), size_t(kRecords)) << "the kill came after the end";
    // Back after two retries, so that the subscriber is in again well before
    // the third (four seconds later): what the broker takes meanwhile would
    // reach nobody, however slow the machine.
    ASSERT_TRUE(Eventually([&] { return publisher.Counters().failedAttempts >= failed + 2; }, 20s));
    ASSERT_TRUE(broker.Restart(why_)) << why_;
    ASSERT_TRUE(sub.Reconnect());
    ASSERT_TRUE(
        sub.WaitFor([&](const auto& m) { return Unique(Times(m)).size() >= kRecords; }, 90000))
        << Unique(Times(sub.Messages())).size() << " arrived, " << Times(sub.Messages()).size()
        << " in all; acked " << publisher.Counters().recordsAcked << ", sessions "
        << publisher.Counters().sessions << ", failed " << publisher.Counters().failedAttempts
        << ", connected " << publisher.Counters().connected;

    const std::vector<std::string> unique = Unique(Times(sub.Messages()));
    ASSERT_EQ(unique.size(), size_t(kRecords));
    for (int i = 0; i < kRecords; ++i) ASSERT_EQ(unique[i], RecordTime(i)) << i;
    EXPECT_EQ(publisher.Counters().sessions, 2);
    publisher.Stop();
    EXPECT_EQ(Bookmark(db), StationTimeToOleDate(kFirst + 300u * (kRecords - 1)));
    // Said once that it went, once that it is back.
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find(broker.Url(MqttBroker::Plain)), std::string::npos) << notes[0];
    EXPECT_EQ(notes[1], text::Format(2180, {broker.Url(MqttBroker::Plain)}));
}

// A publisher started again carries on after what the broker acknowledged:
// the new records, nothing twice.
TEST(MqttPublisher, RestartedPublisherCarriesOnFromItsBookmark) {
    MqttBroker broker;
    START_BROKER(broker);
    const std::string db = broker.Dir().File("Nimbary.db");
    StoreRecords(db, 0, 300);
    {
        MqttPublisher first(Config(broker), db);
        first.Start();
        first.SetStation(kDev);
        ASSERT_TRUE(first.Drain(30s));
    }
    EXPECT_EQ(Bookmark(db), StationTimeToOleDate(kFirst + 300u * 299));
    StoreRecords(db, 300, 200);
    MqttSubscriber sub(broker.Port(MqttBroker::Plain));
    ASSERT_TRUE(sub.Ready());
    MqttPublisher second(Config(broker), db);
    second.Start();
    second.SetStation(kDev);
    ASSERT_TRUE(second.Drain(30s));
    // Acknowledged by the broker, on its way to the subscriber.
    ASSERT_TRUE(sub.WaitFor([](const auto& m) { return Times(m).size() >= 200; }, 10000));
    const std::vector<std::string> times = Times(sub.Messages());
    ASSERT_EQ(times.size(), 200u);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(times[i], RecordTime(300 + i));
    // A record stored later goes out as the history thread says so.
    StoreRecords(db, 500, 1);
    second.RecordsStored();
    ASSERT_TRUE(second.Drain(30s));
    ASSERT_TRUE(sub.WaitFor([](const auto& m) { return Times(m).size() >= 201; }, 10000));
    EXPECT_EQ(Times(sub.Messages()).back(), RecordTime(500));
    EXPECT_EQ(Times(sub.Messages()).size(), 201u);
}

// Status, state and discovery follow the station: online with the reading,
// the state at most once per interval with the newest reading, a sensor the
// station loses taken out of Home Assistant, offline when it goes and when
// the publisher stops.
TEST(MqttPublisher, StatusStateAndDiscoveryFollowTheStation) {
    MqttBroker broker;
    START_BROKER(broker);
    MqttSubscriber sub(broker.Port(MqttBroker::Plain));
    ASSERT_TRUE(sub.Ready());
    MqttPublisher publisher(Config(broker), "");
    publisher.Start();

    PresenceBlock withRain;
    withRain.Flags = QF_IN_TEMP | QF_RAIN;
    HistoryRecord r;
    UnitSet shown;
    shown.TempUnit = TEMP_F;
    auto reading = [&](double f) {
        r.InTemp = f;
        r.Rain[RAIN_TOTAL] = 5.0;
        publisher.PublishState(kDev, r, withRain, shown);
    };
    const std::string rainTotal = "homeassistant/sensor/nimbary_1a2b3c4d_rain_total/config";
    const std::string inTemp = "homeassistant/sensor/nimbary_1a2b3c4d_in_temp/config";
    reading(50.0);
    for (double f : {51.8, 53.6, 55.4}) reading(f);  // within the interval
    ASSERT_TRUE(sub.WaitFor(
        [&](const auto& m) {
            const auto* s = MqttSubscriber::Last(m, kStateTopic);
            return s && s->payload.find("\"in_temp\":13.00") != std::string::npos;
        },
        10000));
    auto messages = sub.Messages();
    int states = 0;
    for (const auto& m : messages) states += m.topic == kStateTopic;
    EXPECT_LE(states, 2);
    EXPECT_NE(MqttSubscriber::Last(messages, kStateTopic)->payload.find("\"temperature\":\"°F\""),
              std::string::npos);
    ASSERT_TRUE(MqttSubscriber::Last(messages, kStatusTopic));
    EXPECT_EQ(MqttSubscriber::Last(messages, kStatusTopic)->payload, "online");
    ASSERT_TRUE(MqttSubscriber::Last(messages, rainTotal));
    EXPECT_NE(MqttSubscriber::Last(messages, rainTotal)->payload.find("total_increasing"),
              std::string::npos);

    // The rain gauge goes: its configs are emptied, the others stay.
    PresenceBlock noRain = withRain;
    noRain.Flags = QF_IN_TEMP;
    publisher.PublishState(kDev, r, noRain, shown);
    ASSERT_TRUE(sub.WaitFor(
        [&](const auto& m) {
            const auto* c = MqttSubscriber::Last(m, rainTotal);
            return c && c->payload.empty();
        },
        10000));
    EXPECT_FALSE(MqttSubscriber::Last(sub.Messages(), inTemp)->payload.empty());

    publisher.StationGone();
    ASSERT_TRUE(sub.WaitFor(
        [&](const auto& m) { return MqttSubscriber::Last(m, kStatusTopic)->payload == "offline"; },
        10000));
    publisher.PublishState(kDev, r, noRain, shown);
    ASSERT_TRUE(sub.WaitFor(
        [&](const auto& m) { return MqttSubscriber::Last(m, kStatusTopic)->payload == "online"; },
        10000));
    publisher.Stop();
    ASSERT_TRUE(sub.WaitFor(
        [&](const auto& m) { return MqttSubscriber::Last(m, kStatusTopic)->payload == "offline"; },
        10000));

    // What a Home Assistant starting later finds: retained, the lost sensor gone.
    MqttSubscriber later(broker.Port(MqttBroker::Plain));
    ASSERT_TRUE(later.Ready());
    ASSERT_TRUE(later.WaitFor(
        [&](const auto& m) {
            return MqttSubscriber::Last(m, kStateTopic) && MqttSubscriber::Last(m, inTemp) &&
                   MqttSubscriber::Last(m, kStatusTopic);
        },
        5000));
    messages = later.Messages();
    EXPECT_TRUE(MqttSubscriber::Last(messages, kStatusTopic)->retained);
    EXPECT_EQ(MqttSubscriber::Last(messages, kStatusTopic)->payload, "offline");
    EXPECT_TRUE(MqttSubscriber::Last(messages, inTemp));
    EXPECT_FALSE(MqttSubscriber::Last(messages, rainTotal));
}

// A broker that takes the connection and never answers, plain or TLS: the
// callers are never held up, and stopping does not wait for the handshake.
TEST(MqttPublisher, BrokerThatNeverAnswersHoldsNobodyUp) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ASSERT_EQ(listen(fd, 8), 0);  // never accepted: the kernel completes the handshake
    const std::string port = std::to_string(ntohs(a.sin_port));
    for (const std::string scheme : {"mqtt", "mqtts"}) {
        SCOPED_TRACE(scheme);
        MqttConfig c;
        ASSERT_EQ(LoadMqttConfig({{"Broker", scheme + "://127.0.0.1:" + port}}, c), "");
        MqttPublisher publisher(c, "");
        publisher.Start();
        HistoryRecord r;
        for (int i = 0; i < 50; ++i) {
            r.InTemp = 50 + i;
            publisher.PublishState(kDev, r, PresenceBlock{}, UnitSet{});
            publisher.RecordsStored();
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_FALSE(publisher.Counters().connected);
        EXPECT_FALSE(publisher.Drain(200ms));
        publisher.Stop();
    }
    close(fd);
}

// A broker that refuses: said once, tried again after 1, 2, 4 ... seconds.
TEST(MqttPublisher, RefusedAttemptsBackOffAndAreSaidOnce) {
    MqttConfig c;
    const std::string url = "mqtt://127.0.0.1:" + std::to_string(MqttBroker::FreePort());
    ASSERT_EQ(LoadMqttConfig({{"Broker", url}}, c), "");
    MqttPublisher publisher(c, "");
    std::atomic<int> notes{0};
    publisher.onNote = [&](const std::string&) { ++notes; };
    publisher.Start();
    publisher.SetStation(kDev);
    std::vector<std::chrono::steady_clock::time_point> failures;
    ASSERT_TRUE(Eventually(
        [&] {
            while (int(failures.size()) < publisher.Counters().failedAttempts)
                failures.push_back(std::chrono::steady_clock::now());
            return failures.size() >= 4;
        },
        30s));
    for (size_t i = 1; i < failures.size(); ++i)
        EXPECT_GE(failures[i] - failures[i - 1], (1 << (i - 1)) * 1s - 100ms) << i;
    EXPECT_EQ(notes, 1);
}
