#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "CaptureBackend.h"
#include "ReplayBackend.h"

using namespace nimbary;

namespace {

std::vector<CaptureLine> Parse(const std::string& text) {
    std::vector<CaptureLine> lines;
    std::string error;
    EXPECT_TRUE(ParseCapture(text, lines, error)) << error;
    return lines;
}

HidStatus Send(HidDevice& dev, std::initializer_list<uint8_t> frame) {
    uint8_t report[kOutputReportSize] = {0};
    std::copy(frame.begin(), frame.end(), report + 1);
    return dev.Write(report, 50);
}

std::vector<uint8_t> Receive(HidDevice& dev) {
    uint8_t data[kReportSize];
    if (dev.Read(data, 10) != HidStatus::Ok) return {};
    return std::vector<uint8_t>(data, data + kReportSize);
}

std::string TempPath(const char* name) {
    return ::testing::TempDir() + name + std::to_string(::getpid());
}

}  // namespace

TEST(CaptureFile, ParsesLinesCommentsAndReportsBadOnes) {
    auto lines = Parse("# Nimbary 0.1\n\n> 03 08 0b\r\n<  1a 08 00\n   # indented comment\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, CaptureLine::Out);
    EXPECT_EQ(lines[0].bytes, (std::vector<uint8_t>{0x03, 0x08, 0x0B}));
    EXPECT_EQ(lines[1].kind, CaptureLine::In);
    EXPECT_EQ(lines[1].lineNumber, 4);

    std::vector<CaptureLine> out;
    std::string error;
    EXPECT_FALSE(ParseCapture("> 03 08\n< 1G\n", out, error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(ParseCapture("> 3 08\n", out, error));
    EXPECT_FALSE(ParseCapture("hello\n", out, error));
    EXPECT_FALSE(ParseCapture(">\n", out, error));
    std::string big = "<";
    for (int i = 0; i < 65; ++i) big += " 00";
    EXPECT_FALSE(ParseCapture(big, out, error));
    EXPECT_NE(error.find("65"), std::string::npos);
    EXPECT_EQ(HexBytes(std::vector<uint8_t>{0x0A, 0xFF}.data(), 2), "0A FF");
}

TEST(Replay, AnswersTheFirstUnusedMatchingRequest) {
    ReplayBackend replay(
        Parse("> 03 04 07\n< 50 04 01\n< 02\n"
              "> 03 04 07\n< 50 04 02\n"
              "> 03 08 0B\n"));
    auto devices = replay.Enumerate();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].vendor, 0x1130);
    EXPECT_EQ(devices[0].product, 0x0829);
    EXPECT_EQ(devices[0].release, 0x0100);
    EXPECT_EQ(replay.Open("elsewhere"), nullptr);
    auto dev = replay.Open(devices[0].path);
    ASSERT_NE(dev, nullptr);

    Send(*dev, {0x03, 0x04, 0x07});
    auto first = Receive(*dev);
    ASSERT_EQ(first.size(), 64u);
    EXPECT_EQ(first[2], 0x01);
    EXPECT_EQ(first[63], 0x00);  // padded
    EXPECT_EQ(Receive(*dev)[0], 0x02);
    EXPECT_TRUE(Receive(*dev).empty());

    Send(*dev, {0x03, 0x04, 0x07});
    EXPECT_EQ(Receive(*dev)[2], 0x02);  // the second recording, not the first again
    Send(*dev, {0x03, 0x04, 0x07});
    EXPECT_TRUE(Receive(*dev).empty());  // used up: a silent station
    Send(*dev, {0x03, 0x08, 0x0B});
    EXPECT_TRUE(Receive(*dev).empty());  // recorded without a reply
    Send(*dev, {0x03, 0x05, 0x08});
    EXPECT_TRUE(Receive(*dev).empty());  // never recorded
    EXPECT_EQ(replay.Matched(), 3);
}

TEST(Replay, SetClockMatchesByCommandCodeAlone) {
    ReplayBackend replay(Parse("> 0A 83 07 38 22 0C 05 03 18 1A\n< 04 83 00 87\n"));
    auto dev = replay.Open(replay.Enumerate()[0].path);
    Send(*dev, {0x0A, 0x83, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x19, 0xAA});
    auto reply = Receive(*dev);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply[1], 0x83);
}

TEST(Capture, RecordsFramesAndReportsAndReplaysTheSame) {
    std::string path = TempPath("capture");
    std::remove(path.c_str());
    ReplayBackend station(Parse("> 03 08 0B\n< 04 08 01 0D\n> 03 04 07\n< 41 04\n< 99\n"));
    {
        auto writer = std::make_shared<CaptureWriter>(path, "nimbary-cli", "0.1.0");
        ASSERT_TRUE(writer->Ok());
        CaptureBackend capture(station, writer);
        auto dev = capture.Open(capture.Enumerate()[0].path);
        ASSERT_NE(dev, nullptr);
        Send(*dev, {0x03, 0x08, 0x0B, 0xEE});  // bytes past the frame are not recorded
        Receive(*dev);
        Send(*dev, {0x03, 0x04, 0x07});
        dev->DiscardInput();  // thrown-away reports are recorded too
    }
    std::ifstream f(path);
    std::stringstream all;
    all << f.rdbuf();
    std::string text = all.str();
    EXPECT_EQ(text.rfind("# nimbary-cli 0.1.0 capture started ", 0), 0u);
    std::vector<CaptureLine> lines = Parse(text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(HexBytes(lines[0].bytes.data(), lines[0].bytes.size()), "03 08 0B");
    EXPECT_EQ(lines[1].bytes.size(), 64u);
    EXPECT_EQ(lines[1].bytes[2], 0x01);
    EXPECT_EQ(lines[4].bytes[0], 0x99);

    // The capture itself answers the same requests the same way.
    ReplayBackend again(lines);
    auto dev = again.Open(again.Enumerate()[0].path);
    Send(*dev, {0x03, 0x08, 0x0B});
    EXPECT_EQ(Receive(*dev)[3], 0x0D);
    std::remove(path.c_str());
}

TEST(Capture, UnwritableFileIsReported) {
    CaptureWriter w("/nonexistent-dir/x/capture.txt", "nimbary", "0");
    EXPECT_FALSE(w.Ok());
    uint8_t frame[3] = {3, 8, 11};
    w.Output(frame, 3);  // harmless
}
