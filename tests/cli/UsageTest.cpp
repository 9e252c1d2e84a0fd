#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "CliProcess.h"

using nimbary::testing::CliProcess;

namespace {

// The README's indented usage lines of `program`.
std::vector<std::string> Readme(const std::string& program) {
    std::ifstream readme(NIMBARY_README);
    std::vector<std::string> lines;
    for (std::string line; std::getline(readme, line);)
        if (line.rfind("    " + program + " ", 0) == 0) lines.push_back(line.substr(4));
    return lines;
}

// A program's usage block: "usage: " and the lines indented under it.
std::vector<std::string> Usage(const std::string& output) {
    std::istringstream in(output);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(lines.empty() ? "usage: " : "       ", 0) != 0) {
            if (lines.empty()) continue;
            break;
        }
        lines.push_back(line.substr(7));
    }
    return lines;
}

}  // namespace

// Every program answers --help and --version without a screen and refuse an
// unknown option with their usage and status 2; every usage line, the
// commands' own included, is the README's.
TEST(Usage, EveryProgramAnswersAndItsUsageIsTheReadmes) {
    const std::vector<std::string> noScreen = {"QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="};
    const std::pair<std::string, std::string> programs[] = {{"nimbary", NIMBARY_APP_PATH},
                                                            {"nimbary-cli", NIMBARY_CLI_PATH},
                                                            {"zq0093-host", NIMBARY_HOST_PATH}};
    for (const auto& [program, path] : programs) {
        SCOPED_TRACE(program);
        const std::vector<std::string> readme = Readme(program);
        ASSERT_GE(readme.size(), 2u);
        CliProcess help({"--help"}, noScreen, nullptr, path);
        CliProcess version({"--version"}, noScreen, nullptr, path);
        CliProcess wrong({"--no-such-option"}, noScreen, nullptr, path);
        EXPECT_EQ(help.Wait(), 0);
        EXPECT_EQ(Usage(help.Out()), readme);
        EXPECT_EQ(version.Wait(), 0);
        EXPECT_EQ(version.Out(), program + " " NIMBARY_VERSION "\n");
        EXPECT_EQ(wrong.Wait(), 2);
        EXPECT_EQ(Usage(wrong.Err()), readme) << wrong.Err();
        if (program != "nimbary-cli") continue;
        for (const std::string& line : readme) {
            std::string name, command;
            std::istringstream(line) >> name >> command;
            if (command.rfind("--", 0) == 0) continue;
            SCOPED_TRACE(command);
            CliProcess own({command, "--help"}), mistake({command, "--no-such-option"});
            EXPECT_EQ(own.Wait(), 0);
            EXPECT_EQ(Usage(own.Out()), std::vector<std::string>{line});
            EXPECT_EQ(mistake.Wait(), 2);
            EXPECT_EQ(Usage(mistake.Err()), std::vector<std::string>{line}) << mistake.Err();
        }
    }
}
