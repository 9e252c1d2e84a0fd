#include "CUsb.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <future>
#include <thread>

#include "OtherUser.h"
#include "ScriptedHid.h"
#include "TempDir.h"

namespace nimbary {
namespace {

using namespace test;
using Events = std::vector<std::string>;

struct RecordingSink : StationSink {
    void OnStationOpened() override { notices.push_back("opened"); }
    void OnStationGone() override { notices.push_back("gone"); }
    std::vector<std::string> notices;
};

class CUsbTest : public ::testing::Test {
protected:
    // The station at /dev/hidraw3, opened.
    std::shared_ptr<DeviceScript> OpenStation() {
        auto script = backend.Add("/dev/hidraw3");
        EXPECT_EQ(usb.OpenStation(), 1);
        sink.notices.clear();
        return script;
    }

    static Frame Request(uint8_t code) {
        Frame f{};
        f[0] = 3;
        f[1] = code;
        return f;
    }

    ScriptedBackend backend;
    RecordingSink sink;
    CUsb usb{backend, &sink};
};

TEST_F(CUsbTest, OpensTheFirstDeviceWithTheStationsIdentityThatOpens) {
    backend.Add("/dev/hidraw0", 0x0101);
    backend.Add("/dev/hidraw1", 0x0100, /*openable=*/false);
    backend.Add("/dev/hidraw2", 0x0100, true, 0x1131);
    backend.Add("/dev/hidraw3", 0x0100, true, 0x1130, 0x082A);
    auto station = backend.Add("/dev/hidraw4", 0x0100);

    EXPECT_EQ(usb.OpenStation(), 1);
    EXPECT_EQ(backend.opened, (Events{"/dev/hidraw1", "/dev/hidraw4"}));
    EXPECT_EQ(sink.notices, Events{"opened"});
    EXPECT_EQ(usb.Connected(), 1);
    EXPECT_EQ(station->openHandles, 1);
}

TEST_F(CUsbTest, NoStationPresentPostsNothing) {
    backend.Add("/dev/hidraw0", 0x0101);
    EXPECT_EQ(usb.OpenStation(), 0);
    EXPECT_TRUE(sink.notices.empty());
    EXPECT_EQ(usb.Connected(), 0);
    Frame f = Request(CMD_READ_SETTINGS);
    EXPECT_EQ(usb.Transact(f, CMD_READ_SETTINGS), 0);
}

TEST_F(CUsbTest, ArrivalOfAnyDeviceReopensTheStation) {
    auto station = OpenStation();
    backend.Add("/dev/hidraw9", 0x0200, true, 0x046D, 0xC52B);  // a mouse
    EXPECT_EQ(usb.OpenStation(), 1);
    EXPECT_EQ(sink.notices, Events{"opened"});
    EXPECT_EQ(station->openHandles, 1) << "the old handle is closed";
    EXPECT_EQ(usb.Connected(), 1);
}

TEST_F(CUsbTest, StationNotFoundAnyMoreIsGone) {
    auto station = OpenStation();
    backend.Remove("/dev/hidraw3");
    EXPECT_EQ(usb.OpenStation(), 0);
    EXPECT_EQ(sink.notices, Events{"gone"});
    EXPECT_EQ(station->openHandles, 0);
    EXPECT_EQ(usb.Connected(), 0);
}

TEST_F(CUsbTest, RemovalNotices) {
    auto station = OpenStation();

    EXPECT_EQ(usb.OnRemoval("/dev/hidraw7"), 0) << "some other device";
    EXPECT_TRUE(sink.notices.empty());
    EXPECT_EQ(usb.Connected(), 1);

    EXPECT_EQ(usb.OnRemoval("/dev/hidraw3"), 1);
    EXPECT_EQ(sink.notices, Events{"gone"});
    EXPECT_EQ(usb.Connected(), 0);
    EXPECT_EQ(station->openHandles, 0);

    // With nothing open, any removal says "gone" again.
    EXPECT_EQ(usb.OnRemoval("/dev/hidraw7"), 1);
    EXPECT_EQ(sink.notices, (Events{"gone", "gone"}));
}

TEST_F(CUsbTest, OneExchangeWithItsTimeOuts) {
    auto station = OpenStation();
    station->replies.push_back(Reports(MakeReply(CMD_READ_SETTINGS, {0x20, 0x00})));
    Frame f = Request(CMD_READ_SETTINGS);
    f[10] = 0xEE;  // beyond the request: no meaning, not part of the reply either

    ASSERT_EQ(usb.Transact(f, CMD_READ_SETTINGS), 1);
    ASSERT_EQ(station->writes.size(), 1u);
    EXPECT_EQ(station->writes[0][0], 0) << "report ID";
    EXPECT_EQ(std::vector<uint8_t>(station->writes[0].begin() + 1, station->writes[0].begin() + 4),
              (std::vector<uint8_t>{0x03, 0x08, 0x0B}));
    EXPECT_EQ(station->events, (Events{"W50", "R1200"}));
    EXPECT_EQ(Bytes(f, 5), (std::vector<uint8_t>{0x05, 0x08, 0x20, 0x00, 0x2D}));
}

TEST_F(CUsbTest, ReplyLengthDecidesOnASecondReport) {
    auto station = OpenStation();
    for (size_t length : {64, 65, 128}) {
        station->events.clear();
        Frame reply = MakeReply(CMD_READ_CURRENT, {1, 2, 3}, length);
        reply[70] = 0x77;  // beyond a 64-byte reply: must not show up
        Reseal(reply);
        station->replies.push_back(Reports(reply));

        Frame f = Request(CMD_READ_CURRENT);
        ASSERT_EQ(usb.Transact(f, CMD_READ_CURRENT), 1) << length;
        EXPECT_EQ(station->events.size(), length > 64 ? 3u : 2u) << length;
        EXPECT_EQ(Bytes(f, length), Bytes(reply, length)) << length;
        EXPECT_EQ(f[70], length > 64 ? 0x77 : 0) << length;
    }
}

TEST_F(CUsbTest, BadRepliesFailTheExchange) {
    const auto report = [](std::vector<uint8_t> bytes) {
        Input in;
        std::copy(bytes.begin(), bytes.end(), in.data.begin());
        return in;
    };
    Frame badSum = MakeReply(CMD_READ_SETTINGS, {1, 2});
    badSum[4] ^= 0xFF;
    Frame long129 = MakeReply(CMD_READ_SETTINGS, {}, 128);
    long129[0] = 129;
    Frame long255 = long129;
    long255[0] = 255;
    const struct {
        const char* name;
        std::vector<Input> reply;
    } cases[] = {
        {"length 0", {report({0x00, 0x08})}},
        {"length 1", {report({0x01, 0x08})}},
        {"length 65, second report never comes", {Reports(MakeReply(0x08, {}, 65))[0]}},
        {"length 129", Reports(long129)},
        {"length 255", Reports(long255)},
        {"bad checksum", Reports(badSum)},
        {"no reply at all", {}},
        {"device gone after the first report", {Reports(MakeReply(0x08, {}, 65))[0], ErrorInput()}},
    };
    for (const auto& c : cases) {
        ScriptedBackend b;
        auto station = b.Add("/dev/hidraw0");
        CUsb transport(b);
        ASSERT_EQ(transport.OpenStation(), 1);
        station->replies.push_back(c.reply);

        Frame f = Request(CMD_READ_SETTINGS);
        EXPECT_EQ(transport.Transact(f, CMD_READ_SETTINGS), 0) << c.name;
        for (const std::string& e : station->events)
            EXPECT_TRUE(e == "W50" || e == "R1200") << c.name << ": " << e;
    }
}

TEST_F(CUsbTest, RequestsOutsideTwoTo64BytesAreNeverSent) {
    auto station = OpenStation();
    for (uint8_t length : {0, 1, 65, 255}) {
        Frame f{};
        f[0] = length;
        f[1] = CMD_READ_SETTINGS;
        EXPECT_EQ(usb.Transact(f, CMD_READ_SETTINGS), 0) << int(length);
    }
    EXPECT_TRUE(station->writes.empty());

    Frame f{};
    f[0] = 64;
    f[1] = CMD_WRITE_SETTINGS;
    station->replies.push_back(Reports(MakeReply(CMD_WRITE_SETTINGS, {0})));
    EXPECT_EQ(usb.Transact(f, CMD_WRITE_SETTINGS), 1);
    EXPECT_EQ(station->writes.at(0).at(64), 64 + CMD_WRITE_SETTINGS) << "checksum in byte 63";
}

TEST_F(CUsbTest, WrongReplyCodeDiscardsQueuedReportsBeforeTheNextRequest) {
    auto station = OpenStation();
    station->replies.push_back(Reports(MakeReply(CMD_READ_MAXMIN, {})));
    Frame f = Request(CMD_READ_CURRENT);
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);

    // The station's late answers trickle in after the failed exchange.
    for (Input in : Reports(MakeReply(CMD_READ_MAXMIN, {9}))) station->queued.push_back(in);
    for (Input in : Reports(MakeReply(CMD_READ_CURRENT, {9}))) station->queued.push_back(in);
    station->replies.push_back(Reports(MakeReply(CMD_READ_CURRENT, {1})));
    station->events.clear();
    f = Request(CMD_READ_CURRENT);
    ASSERT_EQ(usb.Transact(f, CMD_READ_CURRENT), 1);
    EXPECT_EQ(f[2], 1) << "the answer to this request, not a stale one";
    EXPECT_EQ(station->events, (Events{"R0", "R0", "R0", "W50", "R1200"}));

    // In step again: no flush before the next request.
    station->replies.push_back(Reports(MakeReply(CMD_READ_CURRENT, {2})));
    station->events.clear();
    f = Request(CMD_READ_CURRENT);
    ASSERT_EQ(usb.Transact(f, CMD_READ_CURRENT), 1);
    EXPECT_EQ(station->events, (Events{"W50", "R1200"}));
}

// A reply that comes after its exchange timed out has the right code; it
// must not pass for the answer to the next request.
TEST_F(CUsbTest, LateReplyAfterATimeOutIsDiscarded) {
    auto station = OpenStation();
    Frame late = MakeReply(CMD_READ_MEMORY, {2, 0xAA}, 100);
    station->replies.push_back({Reports(late)[0]});  // second report missing
    Frame f = Request(CMD_READ_MEMORY);
    EXPECT_EQ(usb.Transact(f, CMD_READ_MEMORY), 0);

    station->queued.push_back(Reports(late)[1]);
    for (Input in : Reports(MakeReply(CMD_READ_MEMORY, {2, 0xAA}))) station->queued.push_back(in);
    station->replies.push_back(Reports(MakeReply(CMD_READ_MEMORY, {2, 0xBB})));
    f = Request(CMD_READ_MEMORY);
    ASSERT_EQ(usb.Transact(f, CMD_READ_MEMORY), 1);
    EXPECT_EQ(f[3], 0xBB);
}

TEST_F(CUsbTest, DiscardingStaleInputIsBounded) {
    auto station = OpenStation();
    station->replies.push_back(Reports(MakeReply(CMD_READ_MAXMIN, {})));
    Frame f = Request(CMD_READ_CURRENT);
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);
    // A device that never stops talking must not hold the exchange forever.
    station->queued.assign(100000, Reports(MakeReply(CMD_READ_MAXMIN, {}))[0]);
    station->events.clear();
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);
    // One bounded flush before the request, the wrong reply, one after it.
    EXPECT_EQ(station->events.size(), 2 * size_t{HidDevice::kMaxDiscardedReports} + 2);
}

TEST_F(CUsbTest, FailedWriteReadsNothing) {
    auto station = OpenStation();
    station->writeStatus = HidStatus::Timeout;
    Frame f = Request(CMD_READ_INFO);
    EXPECT_EQ(usb.Transact(f, CMD_READ_INFO), 0);
    EXPECT_EQ(station->events, Events{"W50"});
}

TEST_F(CUsbTest, DeviceVanishingMidExchange) {
    auto station = OpenStation();
    station->replies.push_back({Reports(MakeReply(CMD_READ_CURRENT, {}, 80))[0], ErrorInput()});
    Frame f = Request(CMD_READ_CURRENT);
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);

    station->gone = true;
    f = Request(CMD_READ_CURRENT);
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);

    EXPECT_EQ(usb.OnRemoval("/dev/hidraw3"), 1);
    EXPECT_EQ(sink.notices, Events{"gone"});
    const size_t writes = station->writes.size();
    f = Request(CMD_READ_CURRENT);
    EXPECT_EQ(usb.Transact(f, CMD_READ_CURRENT), 0);
    EXPECT_EQ(station->writes.size(), writes) << "nothing sent without a device";
}

// A write that hangs (a wedged station) holds up its exchange, not the
// window: the removal notice returns at once and says "gone", and the
// exchange, once its write returns, ends without its device.
TEST_F(CUsbTest, RemovalDoesNotWaitForAWriteInFlight) {
    auto station = OpenStation();
    station->responder = [](const uint8_t* frame) {
        return Reports(MakeReply(frame[1], std::vector<uint8_t>(22, 0), 26));
    };
    auto gate = std::make_shared<Gate>();
    station->stallWrite = gate;
    int result = -1;
    std::thread exchange([&] {
        Frame f = Request(CMD_READ_SETTINGS);
        result = usb.Transact(f, CMD_READ_SETTINGS);
    });
    ASSERT_TRUE(gate->WaitEntered(std::chrono::seconds(5)));

    auto removal = std::async(std::launch::async, [this] { return usb.OnRemoval("/dev/hidraw3"); });
    const bool returned = removal.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "the removal waited for the write in flight";
    if (returned) {
        EXPECT_EQ(removal.get(), 1);
        EXPECT_EQ(usb.Connected(), 0);
        EXPECT_EQ(sink.notices, Events{"gone"});
    }
    gate->Open();
    exchange.join();
    if (removal.valid()) removal.wait();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(station->openHandles, 0);
    EXPECT_EQ(sink.notices, Events{"gone"});

    // Nothing more goes to the device, and a removal after it changes nothing.
    station->stallWrite = nullptr;
    const size_t writes = station->writes.size();
    Frame f = Request(CMD_READ_SETTINGS);
    EXPECT_EQ(usb.Transact(f, CMD_READ_SETTINGS), 0);
    EXPECT_EQ(station->writes.size(), writes);
    EXPECT_EQ(usb.OnRemoval("/dev/hidraw3"), 1);
    EXPECT_EQ(sink.notices, (Events{"gone", "gone"}));

    // A removal of some other device during a hanging write leaves the station be.
    backend.Remove("/dev/hidraw3");
    auto again = OpenStation();
    again->responder = station->responder;
    auto gate2 = std::make_shared<Gate>();
    again->stallWrite = gate2;
    std::thread second([&] {
        Frame g = Request(CMD_READ_SETTINGS);
        result = usb.Transact(g, CMD_READ_SETTINGS);
    });
    ASSERT_TRUE(gate2->WaitEntered(std::chrono::seconds(5)));
    auto other = std::async(std::launch::async, [this] { return usb.OnRemoval("/dev/hidraw7"); });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    gate2->Open();
    second.join();
    EXPECT_EQ(other.get(), 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(usb.Connected(), 1);
    EXPECT_TRUE(sink.notices.empty());
}

TEST_F(CUsbTest, ExchangesFromSeveralThreadsNeverInterleave) {
    auto station = OpenStation();
    station->responder = [](const uint8_t* frame) {
        return Reports(MakeReply(frame[1], {frame[1]}, 70));  // two reports each
    };
    const auto worker = [this](uint8_t code, int& failures) {
        for (int i = 0; i < 300; ++i) {
            Frame f = Request(code);
            if (!usb.Transact(f, code) || f[2] != code) ++failures;
        }
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(worker, CMD_READ_CURRENT, std::ref(failuresA));
    std::thread b(worker, CMD_READ_SETTINGS, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);
}

// --- the station lock ---

using Kind = FileLock::Kind;

// A real station is opened only under its node's lock, which goes with it
// however it goes.
TEST_F(CUsbTest, TheNodeIsLockedExactlyWhileTheStationIsOpen) {
    BorrowedNode node;
    ASSERT_FALSE(node.Path().empty());
    StationLock other(node.Path(), Kind::DeviceNode);
    for (const char* way : {"removal notice", "gone at the next search", "transport destroyed"}) {
        SCOPED_TRACE(way);
        backend.Add("/dev/hidraw3");
        backend.entries.back().info.lockPath = node.Path();
        auto transport = std::make_unique<CUsb>(backend);
        ASSERT_EQ(transport->OpenStation(), 1);
        EXPECT_FALSE(other.TryLock());
        EXPECT_EQ(transport->OpenStation(), 1);  // an arrival reopens it, still ours
        EXPECT_FALSE(other.TryLock());
        if (way[0] == 'r') {
            EXPECT_EQ(transport->OnRemoval("/dev/hidraw3"), 1);
        } else if (way[0] == 'g') {
            backend.Remove("/dev/hidraw3");
            EXPECT_EQ(transport->OpenStation(), 0);
        } else {
            transport.reset();
        }
        EXPECT_TRUE(other.TryLock());
        other.Unlock();
        backend.entries.clear();
    }
}

// Another process's station is not touched, and who has it is told; the
// search goes on, and a second station has a lock of its own.
TEST_F(CUsbTest, AStationHeldElsewhereIsLeftAloneAndTheNextOneOpened) {
    BorrowedNode first, second;
    ASSERT_FALSE(first.Path().empty() || second.Path().empty());
    StationLock other(first.Path(), Kind::DeviceNode);
    ASSERT_TRUE(other.TryLock());
    backend.Add("/dev/hidraw1");
    backend.entries.back().info.lockPath = first.Path();
    EXPECT_EQ(usb.OpenStation(), 0);
    EXPECT_TRUE(backend.opened.empty());
    EXPECT_TRUE(sink.notices.empty());
    ASSERT_NE(usb.Refused(), nullptr);
    EXPECT_TRUE(usb.Refused()->Busy());
    EXPECT_EQ(usb.Refused()->Holder(), static_cast<long>(getpid()));

    backend.Add("/dev/hidraw2");
    backend.entries.back().info.lockPath = second.Path();
    EXPECT_EQ(usb.OpenStation(), 1);
    EXPECT_EQ(backend.opened, Events{"/dev/hidraw2"});
    EXPECT_EQ(usb.Refused(), nullptr);
}

// Unplugged and plugged in again unnoticed (libstalink hears of no removal):
// the node is a new one, and the old one's lock does not cover it.
TEST_F(CUsbTest, ANodeMadeAnewIsLockedAnew) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to make device nodes (mknod)";
    nimbary::testing::TempDir dir;
    const std::string node = dir.File("hidraw0");
    auto make = [&] { return mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; };
    if (!make()) GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    backend.Add("/dev/hidraw0");
    backend.entries.back().info.lockPath = node;
    ASSERT_EQ(usb.OpenStation(), 1);
    ASSERT_EQ(unlink(node.c_str()), 0);
    ASSERT_TRUE(make());
    StationLock quicker(node, Kind::DeviceNode);
    ASSERT_TRUE(quicker.TryLock());
    EXPECT_EQ(usb.OpenStation(), 0);
    ASSERT_NE(usb.Refused(), nullptr);
    EXPECT_TRUE(usb.Refused()->Busy());
}

}  // namespace
}  // namespace nimbary
