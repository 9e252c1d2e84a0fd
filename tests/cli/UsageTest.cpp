#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliProcess.h"

// Both programs answer --help and --version without a screen, refuse an
// unknown option with their usage and status 2, and their usage lines are
// the README's.
using nimbary::testing::CliProcess;

namespace {

// The README's indented usage lines of `program` ("    nimbary-cli info ...").
std::vector<std::string> ReadmeLines(const std::string& program) {
    std::ifstream readme(NIMBARY_README);
    std::vector<std::string> lines;
    for (std::string line; std::getline(readme, line);)
        if (line.rfind("    " + program + " ", 0) == 0) lines.push_back(line.substr(4));
    return lines;
}

// The lines of the usage block a program prints: "usage: " and the lines
// indented under it, up to the first other line.
std::vector<std::string> UsageLines(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("usage: ", 0) == 0 && lines.empty())
            lines.push_back(line.substr(7));
        else if (!lines.empty() && line.rfind("       ", 0) == 0)
            lines.push_back(line.substr(7));
        else if (!lines.empty())
            break;
    }
    return lines;
}

}  // namespace

TEST(Usage, EveryProgramAnswersAndItsUsageIsTheReadmes) {
    const std::vector<std::string> noScreen = {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="};
    for (const std::string program : {"nimbary", "nimbary-cli"}) {
        SCOPED_TRACE(program);
        const std::string path = program == "nimbary" ? NIMBARY_APP_PATH : NIMBARY_CLI_PATH;
        const std::vector<std::string> readme = ReadmeLines(program);
        ASSERT_GE(readme.size(), 2u);

        CliProcess help({"--help"}, noScreen, nullptr, path);
        EXPECT_EQ(help.Wait(), 0);
        EXPECT_EQ(UsageLines(help.Out()), readme);

        CliProcess version({"--version"}, noScreen, nullptr, path);
        EXPECT_EQ(version.Wait(), 0);
        EXPECT_EQ(version.Out(), program + " " NIMBARY_VERSION "\n");

        CliProcess wrong({"--no-such-option"}, noScreen, nullptr, path);
        EXPECT_EQ(wrong.Wait(), 2);
        EXPECT_EQ(UsageLines(wrong.Err()), readme) << wrong.Err();
    }

    // Each command's own usage line is its README line, in its --help and
    // after a mistake.
    for (const std::string& line : ReadmeLines("nimbary-cli")) {
        std::istringstream words(line);
        std::string cli, command;
        words >> cli >> command;
        if (command.rfind("--", 0) == 0) continue;
        SCOPED_TRACE(command);
        CliProcess help({command, "--help"});
        EXPECT_EQ(help.Wait(), 0);
        EXPECT_EQ(UsageLines(help.Out()), std::vector<std::string>{line});
        CliProcess wrong({command, "--no-such-option"});
        EXPECT_EQ(wrong.Wait(), 2);
        EXPECT_EQ(UsageLines(wrong.Err()), std::vector<std::string>{line}) << wrong.Err();
    }
}
