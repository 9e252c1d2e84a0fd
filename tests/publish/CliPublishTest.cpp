#include <gtest/gtest.h>
#include <sqlite3.h>

#include "CliProcess.h"
#include "MqttBroker.h"
#include "MqttSubscriber.h"
#include "StringTable.h"

// nimbary-cli download with --mqtt against the simulated station: the
// headless service as it runs.
using namespace nimbary::testing;

namespace {

int StoredRecords(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM Record", -1, &s, nullptr);
    const int n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// The text of string `id` up to its first placeholder.
std::string Lead(int id) {
    const std::string t = nimbary::text::Load(id);
    return t.substr(0, t.find('%'));
}

}  // namespace

// Killed, the service's connection ends without a word and the broker says
// "offline" for it: the last will. Stopped, it says so itself.
TEST(MqttCli, StatusTurnsOfflineWhenTheServiceEnds) {
    MqttBroker broker;
    std::string why;
    if (!broker.Start(why)) GTEST_SKIP() << "no MQTT broker to test against: " << why;
    for (int sig : {SIGKILL, SIGTERM}) {
        SCOPED_TRACE(sig == SIGKILL ? "killed" : "stopped");
        MqttSubscriber sub(broker.Port(MqttBroker::Plain));
        ASSERT_TRUE(sub.Ready());
        const size_t before = sub.Messages().size();
        auto status = [&](const std::string& payload) {
            return [&, payload](const std::vector<MqttSubscriber::Message>& m) {
                for (size_t i = before; i < m.size(); ++i)
                    if (EndsWith(m[i].topic, "/status") && m[i].payload == payload) return true;
                return false;
            };
        };
        CliProcess cli({"download", "--follow", "--simulate", "--sim-days", "1", "--db",
                        broker.Dir().File("follow.db"), "--mqtt", broker.Url(MqttBroker::Plain)});
        ASSERT_TRUE(sub.WaitFor(status("online"), 30000)) << broker.Log();
        ASSERT_TRUE(sub.WaitFor(
            [](const auto& m) {
                for (const auto& x : m)
                    if (EndsWith(x.topic, "/state")) return true;
                return false;
            },
            30000));
        kill(cli.Pid(), sig);
        cli.Wait(30000);
        EXPECT_TRUE(sub.WaitFor(status("offline"), 30000)) << cli.Err();
    }
}

// A broker that refuses the login or shows a certificate the CA did not
// sign: said clearly once, and the download stores its records all the same.
// With the right password and CA, the records reach a subscriber.
TEST(MqttCli, WrongPasswordOrCaIsSaidAndTheRecordsAreStored) {
    MqttBroker broker;
    std::string why;
    if (!broker.Start(why)) GTEST_SKIP() << "no MQTT broker to test against: " << why;
    const struct {
        const char* name;
        MqttBroker::Listener listener;
        std::vector<std::string> options;
        std::vector<std::string> said;  // on standard error; none: the records arrive
    } cases[] = {
        {"right password",
         MqttBroker::Password,
         {"--mqtt-user", "alice", "--mqtt-password-file", broker.PasswordFile()},
         {}},
        {"wrong password",
         MqttBroker::Password,
         {"--mqtt-user", "alice", "--mqtt-password-file", broker.WrongPasswordFile()},
         {Lead(2179), "not authorised"}},
        {"no password", MqttBroker::Password, {}, {Lead(2179), "not authorised"}},
        {"right CA", MqttBroker::Tls, {"--mqtt-ca-file", broker.CaFile()}, {}},
        {"wrong CA",
         MqttBroker::Tls,
         {"--mqtt-ca-file", broker.OtherCaFile()},
         {Lead(2178), "certificate verify failed"}},
    };
    int run = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MqttSubscriber sub(broker.Port(MqttBroker::Plain));
        ASSERT_TRUE(sub.Ready());
        const std::string db = broker.Dir().File("run" + std::to_string(run++) + ".db");
        std::vector<std::string> args = {
            "download", "--simulate", "--sim-days", "1",
            "--db",     db,           "--mqtt",     broker.Url(c.listener)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(60000), 0) << cli.Err();
        const int stored = StoredRecords(db);
        EXPECT_TRUE(IsASimulatedDay(stored)) << stored;
        for (const std::string& text : c.said)
            EXPECT_NE(cli.Err().find(text), std::string::npos) << cli.Err();
        EXPECT_EQ(cli.Err().find("secret"), std::string::npos);
        if (!c.said.empty()) continue;
        EXPECT_EQ(cli.Err(), "");
        EXPECT_TRUE(sub.WaitFor(
            [&](const auto& m) {
                int records = 0;
                for (const auto& x : m) records += EndsWith(x.topic, "/record");
                return records == stored;
            },
            30000));
    }
}

// Settings that cannot be used stop the command before it starts, with
// status 2; nothing is downloaded.
TEST(MqttCli, UnusableOptionsAreRefusedAtStart) {
    nimbary::testing::TempDir dir;
    const std::string db = dir.File("never.db");
    const std::vector<std::vector<std::string>> cases = {
        {"--mqtt", "http://host"},
        {"--mqtt", "mqtt://alice:pw@host"},
        {"--mqtt", "mqtt://host", "--mqtt-user", "a", "--mqtt-password-file", dir.File("none")},
        {"--mqtt", "mqtts://host", "--mqtt-ca-file", dir.File("none")},
        {"--mqtt-user", "alice"},
        {"--mqtt", "mqtt://host", "--mqtt-topic", "a/#"},
    };
    for (const auto& options : cases) {
        SCOPED_TRACE(options[1]);
        std::vector<std::string> args = {"download", "--simulate", "--db", db};
        args.insert(args.end(), options.begin(), options.end());
        CliProcess cli(args);
        EXPECT_EQ(cli.Wait(30000), 2) << cli.Err();
        EXPECT_NE(cli.Err().find("nimbary-cli download: "), std::string::npos);
        EXPECT_NE(cli.Err().find("usage: nimbary-cli download"), std::string::npos);
        EXPECT_EQ(access(db.c_str(), F_OK), -1);
    }
}
