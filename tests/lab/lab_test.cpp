// lab_test.cpp -- viertal-lab as a user runs it: exact outputs, repeatable matches, bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

namespace {

struct LabRun {
    int status = -1; // exit status, or -1 when the program did not exit normally
    std::string out, err;
};

// Reads everything from a descriptor until its end.
std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Runs viertal-lab with `args` (no shell in between) and collects its exit status and outputs.
LabRun lab(const std::vector<std::string>& args) {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(err_pipe[0]);
        std::vector<char*> argv{const_cast<char*>(VIERTAL_LAB)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VIERTAL_LAB, argv.data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    LabRun run;
    run.err = drain(err_pipe[0]); // small outputs: reading one pipe after the other cannot block
    run.out = drain(out_pipe[0]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(LabScores, PrintsTheScoresAndTheChoiceOfWorkedPositions) {
    LabRun r = lab({"scores", "--tactic", "0", "--human", "1,8,15", "--computer", "4,5"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "scores 56 3 16 3 6 16 0\ncolumn 1\n");
    EXPECT_EQ(r.err, "");
    r = lab({"scores", "--tactic", "0", "--computer", "2,9", "--human", "1,8"});
    EXPECT_EQ(r.out, "scores 12 17 9 -33 0 0 0\ncolumn 2\n");
    r = lab({"scores", "--tactic", "2", "--computer", "2,3,4", "--human", "9,10,11"});
    EXPECT_EQ(r.out, "scores 804 2 4 4 832 0 0\ncolumn 5\n");
}

TEST(LabScores, MovesAndRandomSelectTheOpeningRules) {
    EXPECT_EQ(lab({"scores", "--tactic", "1"}).out, "scores 0 0 0 0 0 0 0\ncolumn 4\n") << "R defaults to 0.5";
    EXPECT_EQ(lab({"scores", "--tactic", "1", "--random", "0"}).out, "scores 0 0 0 0 0 0 0\ncolumn 2\n");
    EXPECT_EQ(lab({"scores", "--tactic", "1", "--random", "0.9999"}).out, "scores 0 0 0 0 0 0 0\ncolumn 5\n");
    EXPECT_EQ(lab({"scores", "--tactic", "0", "--moves", "9"}).out, "scores 0 0 0 0 0 0 0\ncolumn 1\n");
    EXPECT_EQ(lab({"scores", "--tactic", "0", "--human", "7"}).out, "scores 0 0 0 0 0 1 1\ncolumn 4\n");
    EXPECT_EQ(lab({"scores", "--tactic", "0", "--human", "7", "--moves", "4"}).out, "scores 0 0 0 0 0 1 1\ncolumn 6\n");
}

TEST(LabWin, ReportsTheGivenPlayersFourOnly) {
    EXPECT_EQ(lab({"win", "--player", "human", "--human", "1,9,17,25"}).out, "win\n");
    EXPECT_EQ(lab({"win", "--player", "computer", "--human", "1,9,17,25"}).out, "no win\n");
    EXPECT_EQ(lab({"win", "--player", "human", "--human", "5,6,7,8"}).out, "no win\n");
    EXPECT_EQ(lab({"win", "--player", "computer", "--computer", "4,11,18,25", "--human", "1,2"}).out, "win\n");
    EXPECT_EQ(lab({"win", "--player", "computer"}).out, "no win\n");
}

TEST(LabMatch, PrintsATallyOfAllGamesAndRepeatsWithTheSameSeed) {
    const std::regex format(R"(wins (\d+) draws (\d+) losses (\d+)\nmean decision time \d+\.\d{3} us per move\n)");
    LabRun first = lab({"match", "--tactic", "3", "--against", "random", "--games", "50", "--seed", "7"});
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first.out, m, format)) << first.out;
    EXPECT_EQ(std::stoi(m[1]) + std::stoi(m[2]) + std::stoi(m[3]), 50);
    EXPECT_GT(std::stoi(m[1]), 35) << "any style beats random play most of the time";
    LabRun again = lab({"match", "--seed", "7", "--games", "50", "--against", "random", "--tactic", "3"});
    EXPECT_EQ(first.out.substr(0, first.out.find('\n')), again.out.substr(0, again.out.find('\n')));
    LabRun styles = lab({"match", "--tactic", "0", "--against", "2", "--games", "40"});
    ASSERT_TRUE(std::regex_match(styles.out, m, format)) << styles.out;
    EXPECT_EQ(std::stoi(m[1]) + std::stoi(m[2]) + std::stoi(m[3]), 40);
}

TEST(LabHelp, DocumentsEveryCommandOnStdout) {
    for (const char* flag : {"--help", "-h"}) {
        LabRun r = lab({flag});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        for (const char* word : {"scores", "win", "match", "--tactic", "--against", "--seed", "--random", "--moves"})
            EXPECT_NE(r.out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(lab({"match", "--games", "0", "--help"}).status, 0) << "help wins over other faults";
}

TEST(LabBadInput, OneLineOnStderrNothingOnStdoutExitTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"play"},
        {"scores"},
        {"scores", "--tactic"},
        {"scores", "--tactic", "4"},
        {"scores", "--tactic", "-1"},
        {"scores", "--tactic", "1x"},
        {"scores", "--tactic", ""},
        {"scores", "--tactic", "0", "--tactic", "1"},
        {"scores", "--tactic", "0", "--computer", "0"},
        {"scores", "--tactic", "0", "--computer", "43"},
        {"scores", "--tactic", "0", "--human", "3,3"},
        {"scores", "--tactic", "0", "--computer", "5", "--human", "5"},
        {"scores", "--tactic", "0", "--computer", "1,,2"},
        {"scores", "--tactic", "0", "--computer", "1,2,"},
        {"scores", "--tactic", "0", "--computer", "99999999999999999999999"},
        {"scores", "--tactic", "0", "--human"},
        {"scores", "--tactic", "0", "--moves", "-1"},
        {"scores", "--tactic", "0", "--moves", "43"},
        {"scores", "--tactic", "0", "--random", "1"},
        {"scores", "--tactic", "0", "--random", "nan"},
        {"scores", "--tactic", "0", "--random", "-0.5"},
        {"scores", "--tactic", "0", "--games", "5"},
        {"scores", "--tactic", "0", "extra"},
        {"win"},
        {"win", "--player", "nobody"},
        {"win", "--player", "human", "--tactic", "0"},
        {"match", "--tactic", "0", "--against", "random"},
        {"match", "--tactic", "0", "--games", "10"},
        {"match", "--against", "1", "--games", "10"},
        {"match", "--tactic", "0", "--against", "random", "--games", "0"},
        {"match", "--tactic", "0", "--against", "random", "--games", "-5"},
        {"match", "--tactic", "0", "--against", "4", "--games", "5"},
        {"match", "--tactic", "0", "--against", "randomly", "--games", "5"},
        {"match", "--tactic", "0", "--against", "random", "--games", "5", "--seed", "x"},
        {"match", "--tactic", "0", "--against", "random", "--games", "5", "--seed"},
    };
    for (const auto& args : cases) {
        std::string line;
        for (const auto& a : args) line += "'" + a + "' ";
        SCOPED_TRACE(line);
        LabRun r = lab(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "exactly one line: " << r.err;
        EXPECT_EQ(r.err.rfind("viertal-lab: ", 0), 0u) << r.err;
    }
}

} // namespace
