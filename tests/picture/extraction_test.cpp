// extraction_test.cpp -- the picture file's name, the start-up test and the extraction, on real
// files in scratch directories named through "temp".
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/data_table.h"
#include "data/picture.h"
#include "screen/screen.h"
#include "tests/picture/scratch.h"
#include "tools/picture/picture_maker.h"

namespace {

// The generated picture, made once.
const std::string& expected_picture() {
    static const std::string bytes = [] {
        std::vector<uint8_t> bmp = make_picture_bmp();
        return std::string(bmp.begin(), bmp.end());
    }();
    return bytes;
}

// What a child process left: its wait status and everything it printed.
struct ChildResult {
    int status;
    std::string output;
};

// Runs `body` in a child process with stdout and stderr captured, and waits for it.
template <class Body>
ChildResult run_in_child(Body body) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return {-1, "pipe failed"};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_ends[1], 1);
        dup2(pipe_ends[1], 2);
        close(pipe_ends[0]);
        int code = body();
        fflush(stdout);
        fflush(stderr);
        _exit(code);
    }
    close(pipe_ends[1]);
    ChildResult result{-1, ""};
    char buffer[256];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, got);
    close(pipe_ends[0]);
    waitpid(pid, &result.status, 0);
    return result;
}

// The start-up step of the game: write the picture only when it cannot be opened.
void start_up() {
    if (!picture_file_exists()) extract_picture();
}

class Extraction : public ::testing::Test {
  protected:
    PictureEnvironment environment;
    ScratchFolder dir;
    std::string picture;
    void SetUp() override {
        ASSERT_FALSE(dir.path.empty());
        setenv("temp", dir.path.c_str(), 1);
        picture = dir.file("ZAQT.bmp");
    }
};

} // namespace

TEST(PictureFileName, FollowsTheVariablesInOrder) {
    PictureEnvironment environment;
    set_picture_fallback_directory("/nowhere/fallback");
    EXPECT_EQ(picture_file_name(), "/nowhere/fallback/ZAQT.bmp");
    setenv("TMPDIR", "/c", 1);
    EXPECT_EQ(picture_file_name(), "/c/ZAQT.bmp");
    setenv("TEMP", "/b", 1);
    EXPECT_EQ(picture_file_name(), "/b/ZAQT.bmp");
    setenv("temp", "/a", 1);
    EXPECT_EQ(picture_file_name(), "/a/ZAQT.bmp");
    setenv("temp", "", 1);
    EXPECT_EQ(picture_file_name(), "/b/ZAQT.bmp") << "an empty variable counts as unset";
    setenv("TEMP", "", 1);
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(picture_file_name(), "/nowhere/fallback/ZAQT.bmp");
    set_picture_fallback_directory("");
    EXPECT_EQ(picture_file_name(), "/tmp/ZAQT.bmp");
    setenv("temp", "/a/", 1);
    EXPECT_EQ(picture_file_name(), "/a//ZAQT.bmp") << "no separator is added or removed";
}

TEST_F(Extraction, ExistsTestSetsTheErrorNumberTheGameReads) {
    EXPECT_FALSE(picture_file_exists());
    EXPECT_EQ(last_error(), 1);
    write_file(picture, "");
    EXPECT_TRUE(picture_file_exists()) << "content and size are not examined";
    EXPECT_EQ(last_error(), 0);
}

TEST_F(Extraction, PipeUnderThePictureNameDoesNotHangTheStartUp) {
    ASSERT_EQ(mkfifo(picture.c_str(), 0644), 0);
    ChildResult child = run_in_child([] {
        alarm(5); // a hang ends the child by SIGALRM
        start_up();
        show_picture();
        return 0;
    });
    EXPECT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << "status " << child.status;
    struct stat st {};
    ASSERT_EQ(lstat(picture.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "an existing name is used unchanged";
}

TEST_F(Extraction, WritesTheWholePictureAndNothingElse) {
    start_up();
    EXPECT_EQ(read_file(picture), expected_picture());
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"ZAQT.bmp"}) << "no scratch file left behind";
    struct stat st {};
    ASSERT_EQ(stat(picture.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 921656);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(data_read_index(), data_item_count()) << "read position left after the end marker";
    struct sigaction now {};
    sigaction(SIGXFSZ, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the file size signal is restored";
}

TEST_F(Extraction, SecondStartLeavesTheFileUntouched) {
    start_up();
    struct stat first {};
    ASSERT_EQ(stat(picture.c_str(), &first), 0);
    usleep(20000);
    start_up();
    struct stat second {};
    ASSERT_EQ(stat(picture.c_str(), &second), 0);
    EXPECT_EQ(first.st_ino, second.st_ino);
    EXPECT_EQ(first.st_mtim.tv_sec, second.st_mtim.tv_sec);
    EXPECT_EQ(first.st_mtim.tv_nsec, second.st_mtim.tv_nsec);
}

TEST_F(Extraction, ExistingFileIsUsedWhateverItsContent) {
    write_file(picture, "not a picture");
    start_up();
    EXPECT_EQ(read_file(picture), "not a picture");
}

TEST_F(Extraction, DeletedFileIsWrittenAgainTheSame) {
    start_up();
    std::string first = read_file(picture);
    ASSERT_EQ(unlink(picture.c_str()), 0);
    start_up();
    EXPECT_EQ(read_file(picture), first);
    EXPECT_EQ(first, expected_picture());
}

TEST_F(Extraction, TempEndingInASeparator) {
    setenv("temp", (dir.path + "/").c_str(), 1);
    EXPECT_EQ(picture_file_name(), dir.path + "//ZAQT.bmp");
    start_up();
    EXPECT_EQ(read_file(picture), expected_picture());
    EXPECT_TRUE(picture_file_exists());
}

TEST_F(Extraction, NoVariableUsesTheFallbackDirectory) {
    unsetenv("temp");
    set_picture_fallback_directory(dir.path);
    start_up();
    EXPECT_EQ(read_file(picture), expected_picture());
}

TEST_F(Extraction, MissingDirectoryFailsSilently) {
    for (std::string place : {dir.file("missing"), dir.file("plain") + "/below"}) {
        SCOPED_TRACE(place);
        write_file(dir.file("plain"), "a file, not a directory");
        setenv("temp", place.c_str(), 1);
        ChildResult child = run_in_child([] {
            start_up();
            return picture_file_exists() ? 1 : 0;
        });
        EXPECT_TRUE(WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0) << "status " << child.status;
        EXPECT_EQ(child.output, "") << "nothing is printed";
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"plain"});
    }
}

// A write that fails part way (here the file size limit; a full disk acts alike) leaves neither
// the picture nor a scratch file, and ends nothing.
TEST_F(Extraction, FailedWriteLeavesNoFile) {
    ChildResult child = run_in_child([] {
        struct rlimit limit {
            100000, 100000
        };
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        extract_picture();
        struct sigaction now {};
        sigaction(SIGXFSZ, nullptr, &now);
        return now.sa_handler == SIG_DFL ? 0 : 3;
    });
    ASSERT_TRUE(WIFEXITED(child.status)) << "ended by signal " << WTERMSIG(child.status);
    EXPECT_EQ(WEXITSTATUS(child.status), 0);
    EXPECT_EQ(child.output, "");
    EXPECT_TRUE(dir.entries().empty());
}

TEST_F(Extraction, DanglingLinkIsReplacedNotFollowed) {
    std::string target = dir.file("target.bmp");
    ASSERT_EQ(symlink(target.c_str(), picture.c_str()), 0);
    start_up();
    struct stat st {};
    ASSERT_EQ(lstat(picture.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(read_file(picture), expected_picture());
    EXPECT_NE(access(target.c_str(), F_OK), 0) << "nothing was written through the link";
}

TEST_F(Extraction, LinkToAnotherFileKeepsThatFileIntact) {
    std::string victim = dir.file("victim.txt");
    write_file(victim, "keep me");
    ASSERT_EQ(symlink(victim.c_str(), picture.c_str()), 0);
    extract_picture();
    EXPECT_EQ(read_file(victim), "keep me");
    struct stat st {};
    ASSERT_EQ(lstat(picture.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(read_file(picture), expected_picture());
}

TEST_F(Extraction, TwoProgramsStartingAtOnceEndWithOneWholeFile) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        unlink(picture.c_str());
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t children[2];
        for (pid_t& child : children) {
            child = fork();
            if (child == 0) {
                close(gate[1]);
                char c;
                (void)!read(gate[0], &c, 1); // returns when the gate closes
                start_up();
                _exit(0);
            }
        }
        close(gate[0]);
        close(gate[1]); // both go
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_EQ(read_file(picture), expected_picture());
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"ZAQT.bmp"});
    }
}

// While another program writes the picture, a reader sees no file or the whole file.
TEST_F(Extraction, ReaderNeverSeesAPartialFile) {
    std::string name = picture;
    pid_t writer = fork();
    if (writer == 0) {
        unlink(name.c_str());
        for (int round = 0; round < 40; ++round) extract_picture(); // each replaces the last
        _exit(0);
    }
    int partial = 0, whole = 0, status = 0;
    while (waitpid(writer, &status, WNOHANG) == 0) {
        struct stat st {};
        if (stat(name.c_str(), &st) != 0) continue;
        if (st.st_size == 921656)
            ++whole;
        else
            ++partial;
    }
    EXPECT_EQ(partial, 0);
    EXPECT_GT(whole, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
