// lab_test.cpp -- viertal-lab as a user runs it: each command line and what it printed, on which
// stream, with which exit status (tests/golden/lab.golden). Bad input must give one line on
// stderr, nothing on stdout and status 2.
#include <cstdio>
#include <sys/wait.h>

#include "support.h"

namespace {

// Runs the command line through the shell: stdout as it is, then each stderr line marked "! ".
std::string run(const std::string& arguments) {
    Scratch scratch;
    FILE* out = popen((VIERTAL_LAB " " + arguments + " 2>" + scratch.file("err")).c_str(), "r");
    std::string text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, got);
    const int status = pclose(out);
    if (text.rfind("usage:", 0) == 0) text.erase(text.find('\n') + 1); // the help: its first line
    // The decision time varies from run to run.
    if (size_t at = text.find("mean decision time"); at != std::string::npos) text.erase(at, text.find('\n', at) - at);
    const std::string errors = read_file(scratch.file("err"));
    for (size_t at = 0; at < errors.size(); at = errors.find('\n', at) + 1)
        text += "! " + errors.substr(at, errors.find('\n', at) - at + 1);
    text += "exit " + std::to_string(WEXITSTATUS(status));
    for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) text.replace(at, 1, " / ");
    return text;
}

// Each line of the transcript is a command line ("$ viertal-lab ARGUMENTS"), then after "=>" its
// output lines, joined by " / ": stdout, then stderr marked "! ", then the exit status.
TEST(Lab, CommandsPrintAsTheirTranscriptSays) {
    expect_replayed_golden("lab.golden", "$ viertal-lab", [](const std::string& arguments) {
        return "$ viertal-lab" + arguments + " => " + run(arguments) + "\n";
    });
}

} // namespace
