// The station session of the commands, against the simulated station.
#include <gtest/gtest.h>

#include "Command.h"
#include "SimBackend.h"
#include "StationSession.h"

namespace nimbary::cli {
namespace {

// download --follow has no removal notices: a station unplugged and plugged
// in again left it with a dead handle that still counted as connected.
TEST(StationSession, FollowFindsTheStationAgainAfterAReplug) {
    BackendOptions options;
    std::vector<std::string> args = {"--simulate", "--sim-days", "0"};
    ASSERT_EQ(BackendOptions::Parse(args, options), "");
    StationSession session;
    std::string error;
    ASSERT_EQ(session.TryOpen(options, "", error), kExitOk) << error;
    ASSERT_NE(session.Sim(), nullptr);
    StationInfo info;
    ASSERT_TRUE(session.Source().ReadDeviceInfo(info));

    session.Sim()->Unplug();
    EXPECT_FALSE(session.Source().ReadDeviceInfo(info));
    EXPECT_FALSE(session.Reconnect(true)) << "not there while unplugged";
    session.Sim()->Plug();
    ASSERT_TRUE(session.Reconnect(true));
    EXPECT_TRUE(session.Source().ReadDeviceInfo(info)) << "the next pass talks to it again";
    EXPECT_EQ(session.Sim()->OpenStationHandles(), 1) << "the dead handle is let go";
}

}  // namespace
}  // namespace nimbary::cli
