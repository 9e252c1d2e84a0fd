// Every fault fires as asked, is counted, and leaves the next exchange clean.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "SimTestUtil.h"

namespace nimbary::sim {
namespace {

using namespace test;
using Bytes = std::vector<uint8_t>;

// The first report of whatever comes, or nothing.
std::optional<Bytes> One(HidDevice& dev, int timeoutMs = 50) {
    uint8_t r[kReportSize];
    if (dev.Read(r, timeoutMs) != HidStatus::Ok) return std::nullopt;
    return Bytes(r, r + kReportSize);
}

// A clean exchange afterwards: a complete, valid settings reply and nothing behind it.
void ExpectCleanNext(Rig& rig) {
    auto r = Ask(*rig.dev, {0x08});
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[0], 27);
    EXPECT_EQ((*r)[1], 0x08);
    EXPECT_TRUE(ChecksumOk(*r));
    EXPECT_FALSE(One(*rig.dev, 0)) << "nothing left queued";
}

struct ReplyFaultCase {
    Fault fault;
    Bytes request;
    // What the reports that arrive must look like.
    std::function<void(const std::vector<Bytes>& reports)> check;
};

TEST(Faults, EachReplyFaultFiresOnceAndIsCounted) {
    const std::vector<ReplyFaultCase> cases = {
        {Fault::NoReply, {0x08}, [](auto& rs) { EXPECT_TRUE(rs.empty()); }},
        {Fault::WrongCode,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][1], 0x48);
             EXPECT_TRUE(ChecksumOk(rs[0]));
         }},
        {Fault::BadChecksum,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][0], 27);
             EXPECT_FALSE(ChecksumOk(rs[0]));
         }},
        {Fault::Length0,
         {0x04},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u) << "no second report";
             EXPECT_EQ(rs[0][0], 0);
         }},
        {Fault::Length1,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][0], 1);
         }},
        {Fault::Length65NoSecond,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][0], 65);
         }},
        {Fault::Length129,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 2u) << "a long frame still brings its second report";
             EXPECT_EQ(rs[0][0], 129);
         }},
        {Fault::MissingSecondReport,
         {0x04},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][0], 76);
         }},
        {Fault::StaleReports,
         {0x08},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 2u);
             EXPECT_EQ(rs[0][1], 0x02) << "an old reply to another command first";
             EXPECT_TRUE(ChecksumOk(rs[0]));
             EXPECT_EQ(rs[1][1], 0x08);
         }},
        {Fault::WrongEcho,
         {0x02, 0x00},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(rs[0][2], 1) << "area 0 asked, 1 answered";
             EXPECT_TRUE(ChecksumOk(rs[0]));
         }},
        {Fault::WrongEcho,
         {0x09, 0x02, 0x00},
         [](auto& rs) { EXPECT_EQ(rs.at(0)[2], 3) << "graph type 2 asked"; }},
        {Fault::WrongStatus,
         {0x87, 0x01},
         [](auto& rs) {
             ASSERT_EQ(rs.size(), 1u);
             EXPECT_EQ(Bytes(rs[0].begin(), rs[0].begin() + 4), (Bytes{4, 0x87, 1, 0x8C}));
         }},
    };
    for (const ReplyFaultCase& c : cases) {
        SCOPED_TRACE(FaultName(c.fault));
        Rig rig;
        rig.backend->Faults().Add(c.fault);
        uint8_t report[kOutputReportSize];
        for (uint8_t& b : report) b = 0;
        report[1] = uint8_t(c.request.size() + 2);
        unsigned sum = report[1];
        for (size_t i = 0; i < c.request.size(); ++i) {
            report[2 + i] = c.request[i];
            sum += c.request[i];
        }
        report[2 + c.request.size()] = uint8_t(sum);
        ASSERT_EQ(rig.dev->Write(report, 50), HidStatus::Ok);
        std::vector<Bytes> reports;
        while (auto r = One(*rig.dev)) reports.push_back(*r);
        c.check(reports);
        EXPECT_EQ(rig.backend->Faults().Fired(c.fault), 1);
        EXPECT_EQ(rig.backend->Faults().TotalFired(), 1);
        ExpectCleanNext(rig);
        EXPECT_EQ(rig.backend->Faults().TotalFired(), 1) << "one exchange only";
    }
}

TEST(Faults, LateReplyArrivesAfterTheTimeOutAndWaits) {
    Rig rig;
    rig.backend->Faults().SetLateDelayMs(150);
    rig.backend->Faults().Add(Fault::LateReply);
    ASSERT_EQ(Send(*rig.dev, {0x01}), HidStatus::Ok);
    EXPECT_FALSE(One(*rig.dev, 50)) << "not within the reader's time-out";
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    auto late = One(*rig.dev, 0);
    ASSERT_TRUE(late) << "then it sits queued";
    EXPECT_EQ((*late)[1], 0x01);
    EXPECT_EQ(rig.backend->Faults().Fired(Fault::LateReply), 1);
    ExpectCleanNext(rig);
}

TEST(Faults, ALateReplyQueuesBehindAReplyThatIsReadyFirst) {
    Rig rig;
    rig.backend->Faults().SetLateDelayMs(200);
    rig.backend->Faults().Add(Fault::LateReply);
    ASSERT_EQ(Send(*rig.dev, {0x01}), HidStatus::Ok);
    auto r = Ask(*rig.dev, {0x08});
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[1], 0x08);
    auto late = One(*rig.dev, 400);
    ASSERT_TRUE(late);
    EXPECT_EQ((*late)[1], 0x01);
}

TEST(Faults, WritesRefusedByStatusAreNotCarriedOut) {
    Rig rig;
    rig.backend->Faults().Add(Fault::WrongStatus, 2);
    const uint32_t before = rig.station->Now();
    auto r = Ask(*rig.dev, {0x83, 0, 0, 0, 0, 1, 1, 25});
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[2], 1);
    EXPECT_EQ(rig.station->Now(), before);
    r = Ask(*rig.dev, {0x87, 0x00});
    EXPECT_EQ((*r)[2], 1);
    EXPECT_GT(rig.station->Memory().UsedSize(), 0) << "memory not erased";
    ExpectCleanNext(rig);
}

TEST(Faults, LostRequestsAreNotCarriedOut) {
    Rig rig;
    rig.backend->Faults().Add(Fault::NoReply);
    ASSERT_EQ(Send(*rig.dev, {0x87, 0x00}), HidStatus::Ok);
    EXPECT_FALSE(One(*rig.dev, 30));
    EXPECT_GT(rig.station->Memory().UsedSize(), 0);
}

TEST(Faults, RulesForTheNextExchangesAndForOneCommand) {
    Rig rig;
    FaultInjector& f = rig.backend->Faults();
    f.Add(Fault::NoReply, 2);
    EXPECT_FALSE(Ask(*rig.dev, {0x01}, 30));
    EXPECT_FALSE(Ask(*rig.dev, {0x08}, 30));
    EXPECT_TRUE(Ask(*rig.dev, {0x01}));
    EXPECT_EQ(f.Fired(Fault::NoReply), 2);

    f.Add(Fault::BadChecksum, FaultInjector::kEvery, 0x04);
    for (int i = 0; i < 3; ++i) {
        auto r = Ask(*rig.dev, {0x04});
        ASSERT_TRUE(r);
        EXPECT_FALSE(ChecksumOk(*r));
        EXPECT_TRUE(Ask(*rig.dev, {0x08}).has_value());
    }
    EXPECT_EQ(f.Fired(Fault::BadChecksum), 3);
    f.Clear();
    EXPECT_TRUE(ChecksumOk(*Ask(*rig.dev, {0x04})));

    // A rule waits for an exchange it fits: wrong echo needs an echo byte,
    // a missing second report a two-report reply.
    f.Add(Fault::WrongEcho);
    f.Add(Fault::MissingSecondReport);
    EXPECT_TRUE(ChecksumOk(*Ask(*rig.dev, {0x08})));
    EXPECT_EQ(f.TotalFired(), 5) << "two lost, three bad checksums, nothing new";
    EXPECT_EQ((*Ask(*rig.dev, {0x02, 0x03}))[2], 4);
    EXPECT_FALSE(Ask(*rig.dev, {0x04}, 30)) << "second report missing";
    EXPECT_EQ(f.TotalFired(), 7);
    f.ResetCounts();
    EXPECT_EQ(f.TotalFired(), 0);
}

TEST(Faults, UnplugInTheMiddleOfAnExchange) {
    Rig rig;
    std::atomic<int> removed{0}, arrived{0};
    rig.backend->Watch({[&](const std::string&) { ++arrived; },
                        [&](const std::string& p) {
                            EXPECT_EQ(p, SimBackend::kStationPath);
                            ++removed;
                        }});
    rig.backend->Faults().Add(Fault::UnplugMidExchange);
    ASSERT_EQ(Send(*rig.dev, {0x04}), HidStatus::Ok) << "the request went out";
    uint8_t r[kReportSize];
    EXPECT_EQ(rig.dev->Read(r, 50), HidStatus::Error);
    rig.backend->WaitForNotices();
    EXPECT_EQ(removed, 1);
    EXPECT_FALSE(rig.backend->Plugged());
    EXPECT_EQ(rig.backend->Faults().Fired(Fault::UnplugMidExchange), 1);
    EXPECT_EQ(Send(*rig.dev, {0x08}), HidStatus::Error);
    EXPECT_EQ(rig.backend->Open(SimBackend::kStationPath), nullptr);

    rig.backend->Plug();
    rig.backend->WaitForNotices();
    EXPECT_EQ(arrived, 1);
    rig.dev = rig.backend->Open(SimBackend::kStationPath);
    ASSERT_NE(rig.dev, nullptr);
    ExpectCleanNext(rig);
}

}  // namespace
}  // namespace nimbary::sim
