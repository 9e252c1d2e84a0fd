// The simulated HID backend: identity, decoys, plugging, notices, time-outs.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "SimTestUtil.h"

namespace nimbary::sim {
namespace {

using namespace test;

TEST(SimBackend, EnumeratesTheStationIdentity) {
    Rig rig;
    auto list = rig.backend->Enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, "sim:station");
    EXPECT_EQ(list[0].vendor, 0x1130);
    EXPECT_EQ(list[0].product, 0x0829);
    EXPECT_EQ(list[0].release, 0x0100);
    EXPECT_EQ(rig.backend->Open("sim:nothing"), nullptr);
}

TEST(SimBackend, Decoys) {
    Rig rig;
    const std::string wrong = rig.backend->AddDecoy(DecoyKind::WrongVersion);
    const std::string held = rig.backend->AddDecoy(DecoyKind::Unopenable);
    const std::string other = rig.backend->AddDecoy(DecoyKind::OtherProduct, false);
    auto list = rig.backend->Enumerate();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].path, wrong);
    EXPECT_EQ(list[0].release, 0x0101);
    EXPECT_EQ(list[1].path, held);
    EXPECT_EQ(list[1].release, 0x0100);
    EXPECT_EQ(list[2].path, "sim:station");
    EXPECT_EQ(list[3].path, other);
    EXPECT_NE(list[3].vendor, 0x1130);

    EXPECT_EQ(rig.backend->Open(held), nullptr);
    auto decoy = rig.backend->Open(wrong);
    ASSERT_NE(decoy, nullptr);
    EXPECT_FALSE(Ask(*decoy, {0x01}, 30)) << "a decoy never answers";
    EXPECT_TRUE(Ask(*rig.dev, {0x01})) << "nor does it take the station's replies";
}

TEST(SimBackend, PlugAndUnplugRaiseNoticesInOrder) {
    Rig rig;
    std::mutex m;
    std::vector<std::string> log;
    rig.backend->Watch({[&](const std::string& p) {
                            std::lock_guard<std::mutex> l(m);
                            log.push_back("+" + p);
                        },
                        [&](const std::string& p) {
                            std::lock_guard<std::mutex> l(m);
                            log.push_back("-" + p);
                        }});
    rig.backend->Unplug();
    rig.backend->Unplug();  // already out: nothing
    EXPECT_TRUE(rig.backend->Enumerate().empty());
    uint8_t r[kReportSize];
    EXPECT_EQ(rig.dev->Read(r, 1000), HidStatus::Error) << "fails at once";
    EXPECT_EQ(Send(*rig.dev, {0x01}), HidStatus::Error);
    rig.backend->Plug();
    const std::string decoy = rig.backend->AddDecoy(DecoyKind::OtherProduct);
    rig.backend->WaitForNotices();
    EXPECT_EQ(log, (std::vector<std::string>{"-sim:station", "+sim:station", "+" + decoy}));
    EXPECT_EQ(Send(*rig.dev, {0x01}), HidStatus::Error) << "an old handle stays dead";
    auto fresh = rig.backend->Open(SimBackend::kStationPath);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(Ask(*fresh, {0x01}));
}

TEST(SimBackend, NoticesCanBeHandedToAPoster) {
    Rig rig;
    std::vector<std::function<void()>> posted;
    std::vector<std::string> seen;
    rig.backend->SetNoticePoster(
        [&](std::function<void()> fn) { posted.push_back(std::move(fn)); });
    rig.backend->Watch({[&](const std::string& p) { seen.push_back("+" + p); },
                        [&](const std::string& p) { seen.push_back("-" + p); }});
    rig.backend->Unplug();
    EXPECT_TRUE(seen.empty()) << "nothing runs until the poster's thread runs it";
    ASSERT_EQ(posted.size(), 1u);
    posted[0]();
    EXPECT_EQ(seen, std::vector<std::string>{"-sim:station"});
}

TEST(SimBackend, ReadsWaitForTheTimeOut) {
    Rig rig;
    uint8_t r[kReportSize];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.dev->Read(r, 80), HidStatus::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
    EXPECT_EQ(rig.dev->Read(r, 0), HidStatus::Timeout);

    // A reply written from another thread wakes a waiting reader.
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Send(*rig.dev, {0x01});
    });
    EXPECT_EQ(rig.dev->Read(r, 2000), HidStatus::Ok);
    EXPECT_EQ(r[1], 0x01);
    writer.join();
}

TEST(SimBackend, RepliesGoToEveryOpenHandleAndQueuesAreBounded) {
    Rig rig;
    auto second = rig.backend->Open(SimBackend::kStationPath);
    EXPECT_EQ(rig.backend->OpenStationHandles(), 2);
    ASSERT_TRUE(Ask(*rig.dev, {0x01}));
    EXPECT_TRUE(ReadReply(*second, 0)) << "hidraw gives each reader its copy";
    second.reset();
    EXPECT_EQ(rig.backend->OpenStationHandles(), 1);

    for (int i = 0; i < 100; ++i) Send(*rig.dev, {0x01});
    int n = 0;
    uint8_t r[kReportSize];
    while (rig.dev->Read(r, 0) == HidStatus::Ok) ++n;
    EXPECT_EQ(n, 64);
}

TEST(SimBackend, DiscardInputEmptiesTheQueue) {
    Rig rig;
    Send(*rig.dev, {0x04});
    Send(*rig.dev, {0x01});
    rig.dev->DiscardInput();
    uint8_t r[kReportSize];
    EXPECT_EQ(rig.dev->Read(r, 0), HidStatus::Timeout);
}

}  // namespace
}  // namespace nimbary::sim
