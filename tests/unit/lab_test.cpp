// lab_test.cpp -- viertal-lab as a user runs it: each command line and what it printed, on which
// stream, with which exit status (tests/golden/lab.golden).
#include <cstdio>
#include <sys/wait.h>

#include "support.h"

namespace {

const char* const COMMANDS[] = {
    "scores --tactic 0 --human 1,8,15 --computer 4,5",
    "scores --tactic 0 --computer 2,9 --human 1,8",
    "scores --tactic 2 --computer 2,3,4 --human 9,10,11",
    "scores --tactic 1",
    "scores --tactic 1 --random 0",
    "scores --tactic 1 --random 0.9999",
    "scores --tactic 0 --moves 9",
    "scores --tactic 0 --human 7 --moves 4",
    "win --player human --human 1,9,17,25",
    "win --player computer --human 1,9,17,25",
    "win --player human --human 5,6,7,8",
    "win --player computer --computer 4,11,18,25 --human 1,2",
    "match --tactic 3 --against random --games 50 --seed 7",
    "match --seed 7 --games 50 --against random --tactic 3",
    "match --tactic 0 --against 2 --games 40",
    "match --games 0 --help",
    "-h",
    // Bad input: one line on stderr, nothing on stdout, status 2.
    "",
    "play",
    "scores",
    "scores --tactic",
    "scores --tactic 4",
    "scores --tactic 1x",
    "scores --tactic 0 --tactic 1",
    "scores --tactic 0 --computer 43",
    "scores --tactic 0 --human 3,3",
    "scores --tactic 0 --computer 5 --human 5",
    "scores --tactic 0 --computer 1,,2",
    "scores --tactic 0 --computer 1,2,",
    "scores --tactic 0 --computer 99999999999999999999999",
    "scores --tactic 0 --moves 43",
    "scores --tactic 0 --random nan",
    "scores --tactic 0 --games 5",
    "scores --tactic 0 extra",
    "win --player nobody",
    "win --player human --tactic 0",
    "match --tactic 0 --games 10",
    "match --tactic 0 --against random --games -5",
    "match --tactic 0 --against randomly --games 5",
    "match --tactic 0 --against random --games 5 --seed",
};

// Runs the command line through the shell: stdout as it is, then each stderr line marked "! ".
std::string run(const std::string& arguments) {
    Scratch scratch;
    FILE* out = popen((VIERTAL_LAB " " + arguments + " 2>" + scratch.file("err")).c_str(), "r");
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, got);
    const int status = pclose(out);
    // The decision time varies from run to run.
    if (size_t at = text.find("mean decision time"); at != std::string::npos) text.erase(at, text.find('\n', at) - at);
    const std::string errors = read_file(scratch.file("err"));
    for (size_t at = 0; at < errors.size(); at = errors.find('\n', at) + 1)
        text += "! " + errors.substr(at, errors.find('\n', at) - at + 1);
    return text + "exit " + std::to_string(WEXITSTATUS(status)) + "\n";
}

TEST(Lab, CommandsPrintAsTheirTranscriptSays) {
    std::string transcript;
    for (const char* arguments : COMMANDS)
        transcript += "$ viertal-lab " + std::string(arguments) + "\n" + run(arguments);
    expect_golden("lab.golden", transcript);
}

} // namespace
