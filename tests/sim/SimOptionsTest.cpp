// The simulation options every program takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "SimBackend.h"
#include "SimOptions.h"

namespace nimbary::sim {
namespace {

using Args = std::vector<std::string>;

TEST(SimOptions, DefaultsAndValues) {
    SimOptions o;
    Args a = {"--lang", "en", "--simulate", "file.csv"};
    ASSERT_EQ(SimOptions::Parse(a, o), "");
    EXPECT_TRUE(o.simulate);
    EXPECT_EQ(o.seed, 1u);
    EXPECT_EQ(o.speed, 1.0);
    EXPECT_EQ(o.days, 3u);
    EXPECT_TRUE(o.rain);
    EXPECT_EQ(o.Config().presence.tempMask, 0x01) << "channel 1 alone";
    EXPECT_EQ(a, (Args{"--lang", "en", "file.csv"})) << "other arguments stay, in order";

    SimOptions p;
    Args b = {"--simulate", "--sim-seed", "18446744073709551615", "--sim-speed=60",
              "--sim-days", "0",          "--sim-no-rain",        "--sim-channels=1,3"};
    ASSERT_EQ(SimOptions::Parse(b, p), "");
    EXPECT_EQ(p.Config().presence.tempMask, 0x05);
    EXPECT_EQ(p.Config().presence.humiMask, 0x05);
    uint8_t every = 0;
    EXPECT_TRUE(SimOptions::ParseChannels("all", every));
    EXPECT_EQ(every, 0xFF);
    EXPECT_EQ(p.seed, 18446744073709551615ULL);
    EXPECT_EQ(p.speed, 60.0);
    EXPECT_EQ(p.days, 0u);
    EXPECT_FALSE(p.rain);
    EXPECT_TRUE(b.empty());
    Args soak = {"--simulate", "--sim-interval=60", "--sim-chaos", "90.5,30", "--sim-log", "l"};
    ASSERT_EQ(SimOptions::Parse(soak, p), "");
    EXPECT_EQ(p.Config().interval, 60);
    EXPECT_EQ(p.chaosMinutes, 90.5);
    EXPECT_EQ(p.chaosDays, 30u);
    EXPECT_EQ(p.log, "l");

    SimOptions q;
    const char* argv[] = {"nimbary", "--sim-image", "/some/dir", "--sim-speed", "0.5", "-v"};
    Args rest;
    ASSERT_EQ(SimOptions::Parse(6, argv, q, &rest), "");
    EXPECT_TRUE(q.simulate) << "an image is a simulation";
    EXPECT_EQ(q.image, "/some/dir");
    EXPECT_EQ(q.speed, 0.5);
    EXPECT_EQ(rest, Args{"-v"});
}

TEST(SimOptions, BadValuesGiveClearMessages) {
    struct Case {
        Args args;
        const char* mention;
    } cases[] = {
        {{"--simulate", "--sim-seed"}, "--sim-seed needs"},
        {{"--simulate", "--sim-seed", "-1"}, "--sim-seed"},
        {{"--simulate", "--sim-seed", "12x"}, "\"12x\""},
        {{"--simulate", "--sim-seed", "99999999999999999999"}, "--sim-seed"},
        {{"--simulate", "--sim-speed", "0"}, "above 0"},
        {{"--simulate", "--sim-speed", "fast"}, "--sim-speed"},
        {{"--simulate", "--sim-speed", "nan"}, "--sim-speed"},
        {{"--simulate", "--sim-speed", "1e9"}, "1000000"},
        {{"--simulate", "--sim-days", "366"}, "0 to 365"},
        {{"--simulate", "--sim-days", ""}, "--sim-days"},
        {{"--simulate=yes"}, "takes no value"},
        {{"--sim-no-rain=1", "--simulate"}, "takes no value"},
        {{"--simulate", "--sim-colour", "red"}, "unknown simulation option --sim-colour"},
        {{"--sim-image"}, "needs a folder"},
        {{"--sim-days", "2"}, "needs --simulate"},
        {{"--sim-no-rain"}, "needs --simulate"},
        {{"--sim-image", "x", "--sim-days", "2"}, "--sim-days cannot be used with --sim-image"},
        {{"--sim-image", "x", "--sim-no-rain"}, "--sim-no-rain cannot"},
        {{"--simulate", "--sim-channels", "0"}, "--sim-channels needs channel numbers"},
        {{"--simulate", "--sim-channels", "1,,3"}, "--sim-channels needs"},
        {{"--simulate", "--sim-channels", "9"}, "--sim-channels needs"},
        {{"--sim-channels", "1"}, "needs --simulate"},
        {{"--sim-image", "x", "--sim-channels", "all"}, "--sim-channels cannot"},
        {{"--simulate", "--sim-interval", "61"}, "--sim-interval needs"},
        {{"--simulate", "--sim-interval", "0"}, "--sim-interval needs"},
        {{"--sim-interval", "60"}, "needs --simulate"},
        {{"--sim-image", "x", "--sim-interval", "60"}, "--sim-interval cannot"},
        {{"--simulate", "--sim-chaos", "360"}, "--sim-chaos needs MINUTES,DAYS"},
        {{"--simulate", "--sim-chaos", "360,0"}, "--sim-chaos needs"},
        {{"--simulate", "--sim-chaos", "0,3"}, "--sim-chaos needs"},
        {{"--sim-chaos", "360,3"}, "needs --simulate"},
        {{"--simulate", "--sim-log"}, "--sim-log needs a file"},
        {{"--simulate", "--sim-extend", "10"}, "--sim-extend needs --sim-image"},
    };
    for (const Case& c : cases) {
        SimOptions o;
        o.seed = 77;
        Args a = c.args;
        const std::string err = SimOptions::Parse(a, o);
        EXPECT_NE(err.find(c.mention), std::string::npos) << "got \"" << err << "\"";
        EXPECT_EQ(o.seed, 77u) << "nothing taken from a bad command line";
        EXPECT_EQ(a, c.args);
    }
}

TEST(SimOptions, FactoryBuildsTheConfiguredStation) {
    SimOptions o;
    o.simulate = true;
    o.days = 1;
    o.rain = false;
    o.seed = 3;
    std::string err = "x";
    auto backend = MakeSimBackend(o, err);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(err, "");
    EXPECT_EQ(backend->Station().Presence().flags, 0x3F);
    EXPECT_EQ(backend->Station().Presence().tempMask, 0x01);
    const HistoryMemory m = backend->Station().Memory();
    EXPECT_EQ(m.Entry(1).flags, 0x3F);
    EXPECT_EQ(m.Entry(1).interval, 300);
    EXPECT_GE(m.LiveBlocks(), 2);
    EXPECT_FALSE(backend->Station().Image().data.empty());

    SimOptions bad;
    bad.image = "/nonexistent/nimbary-image";
    bad.simulate = true;
    EXPECT_EQ(MakeSimBackend(bad, err), nullptr);
    EXPECT_NE(err.find("/nonexistent/nimbary-image"), std::string::npos) << err;
}

TEST(SimOptions, FactoryLoadsAnImageFrozen) {
    char tmpl[] = "/tmp/nimbary-opt-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    SimConfig c;
    c.historyDays = 1;
    c.devId = 0xCAFE;
    ASSERT_EQ(SimStation(c).Image().Save(tmpl), "");
    SimOptions o;
    Args a = {"--sim-image", tmpl, "--sim-speed", "100"};
    ASSERT_EQ(SimOptions::Parse(a, o), "");
    std::string err;
    auto backend = MakeSimBackend(o, err);
    ASSERT_NE(backend, nullptr) << err;
    EXPECT_EQ(backend->Station().DevId(), 0xCAFEu);
    EXPECT_FALSE(backend->Station().Recording());
    std::filesystem::remove_all(tmpl);
}

}  // namespace
}  // namespace nimbary::sim
