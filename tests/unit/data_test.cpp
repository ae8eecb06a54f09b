// data_test.cpp -- the data table's read position and numbers, the picture text's decoder, and
// the picture file: its name, and its extraction into real scratch directories set up in every
// way a hostile or broken "temp" can be.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <set>
#include <vector>

#include "data/data_table.h"
#include "data/picture.h"
#include "platform/platform.h"
#include "screen/screen.h"
#include "support.h"
#include "tools/picture/picture_maker.h"

// The test program's own fsync, linkat and rename note what the extraction does, in order, when
// `logging` is on: "sync file", "sync directory", "name". With `no_proc`, a file cannot be
// linked in through /proc, as on a system without it.
std::string file_log;
bool logging = false, no_proc = false;
template <class Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
extern "C" int fsync(int file) {
    struct stat st {};
    if (logging && fstat(file, &st) == 0) file_log += S_ISDIR(st.st_mode) ? "sync directory, " : "sync file, ";
    return next<int (*)(int)>("fsync")(file);
}
extern "C" int linkat(int from_directory, const char* from, int to_directory, const char* to, int flags) {
    file_log += logging ? "name, " : "";
    if (no_proc && std::string(from).rfind("/proc/", 0) == 0) return errno = ENOENT, -1;
    return next<int (*)(int, const char*, int, const char*, int)>("linkat")(from_directory, from, to_directory, to,
                                                                            flags);
}
extern "C" int rename(const char* from, const char* to) {
    file_log += logging ? "name, " : "";
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}

namespace {

TEST(DataTable, OneReadPositionRunsThroughTheListsToAnEndThatStays) {
    set_read_position(ReadPosition::directions);
    for (int32_t d : {12, -1, -14, -13, 12, 1, 14}) EXPECT_EQ(read_int(), d);
    EXPECT_EQ(read_text(), banner_items[0]) << "reading on enters the banner";
    set_read_position(ReadPosition::banner);
    for (int32_t i = 0; i < BANNER_ITEM_COUNT; ++i) read_int();
    EXPECT_EQ(read_text(), std::string(picture_items[0]));
    set_read_position(ReadPosition::picture);
    for (int32_t i = 1; i < picture_item_count; ++i) read_text();
    EXPECT_EQ(read_text(), "EndeFini");
    EXPECT_EQ(read_text(), "");
    EXPECT_EQ(read_int(), 0);
    EXPECT_EQ(data_read_index(), data_item_count());
    EXPECT_EQ(data_item_count(), DIRECTION_ITEM_COUNT + BANNER_ITEM_COUNT + picture_item_count);
}

TEST(DataTable, NumbersAreSpacesAMinusAndDigitsSaturated) {
    // clang-format off
    const std::pair<std::string, int32_t> cases[] = {
        {"7991912", 7991912}, {"   -13", -13}, {"12abc", 12}, {"4 5", 4}, {"", 0}, {"BM8 10 0E", 0}, {"-", 0},
        {"--5", 0}, {"+5", 0}, {"\t5", 0}, {"- 5", 0}, {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {std::string(5000, '9'), INT32_MAX},
        {"-" + std::string(5000, '9'), INT32_MIN}, {std::string(300, '0') + "42", 42}};
    // clang-format on
    for (const auto& [text, value] : cases) EXPECT_EQ(parse_int(text.c_str()), value) << text.substr(0, 20);
}

std::string decode(std::vector<const char*> items) {
    items.push_back("EndeFini");
    return decode_picture_to_string(items.data(), static_cast<int32_t>(items.size()));
}

TEST(PictureText, TokensDecodeAsTheyAreWritten) {
    using S = std::string;
    // clang-format off
    const std::pair<std::vector<const char*>, S> cases[] = {
        {{"BM8 10 0E"}, S("BM8\x10\x0E")}, {{" -9 1F +9 &"}, S(9, '\x1F') + S(9, '&')}, {{"&-"}, "&-"},
        {{"a+5 41"}, "a+5A"}, {{" 0a ff"}, "\x0A\xFF"}, {{" 7G"}, "\x07"}, {{" G7"}, S(1, '\0')},
        {{" -3 A!"}, S(3, '\x0A')}, {{" +12 \xC8"}, S(12, '\xC8')}, {{" +3 -"}, "---"}, {{"\x80\xFE"}, "\x80\xFE"},
        {{" -1389 41"}, S(1389, 'A')}, {{"A -0 41B"}, "AB"}, {{"A +0 xB"}, "AB"}, {{"A --5 41B"}, "AB"},
        {{"A -x 41B"}, "AB"}, {{" -3x 41"}, "AAA"}, {{" -3", "B"}, S(3, '\0') + "B"}, {{" +3 ", "B"}, "B"},
        {{"A ", "B"}, S("A\0B", 3)}, {{"AB", "CDEndeFini", "XY"}, "ABCD"}, {{"EndeFiniX", "Y"}, "EndeFiniXY"},
        {{" 41EndeFini", "XY"}, "A"}};
    // clang-format on
    for (const auto& [items, bytes] : cases) EXPECT_EQ(decode(items), bytes) << items[0];
    EXPECT_EQ(decode({" -200000 20"}).size(), 200000u);
    const char* huge[] = {" -99999999999999999999 41", "EndeFini"};
    EXPECT_EQ(decode_picture_to_string(huge, 2, 5000), std::string(5000, 'A'));
    const char* unended[] = {"AB", "C"};
    testing::internal::CaptureStdout();
    EXPECT_EQ(decode_picture_to_string(unended, 2), "ABC");
    EXPECT_EQ(decode_picture_to_string(unended, 2, 2), "AB") << "the limit holds for single bytes too";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a decoding into a string writes no file";
}

const std::string& the_picture() {
    static const std::string bytes = [] {
        const std::vector<uint8_t> bmp = make_picture_bmp();
        return std::string(bmp.begin(), bmp.end());
    }();
    return bytes;
}

TEST(PictureFile, NameFollowsTempThenTEMPThenTMPDIR) {
    const std::string tmpdir = std::filesystem::temp_directory_path();
    for (const char* name : {"temp", "TEMP", "TMPDIR"}) unsetenv(name);
    EXPECT_EQ(picture_file_name(), "/tmp/ZAQT.bmp");
    const std::pair<const char*, const char*> steps[] = {{"TMPDIR=/c", "/c/ZAQT.bmp"}, {"TEMP=/b", "/b/ZAQT.bmp"},
                                                         {"temp=/a/", "/a//ZAQT.bmp"}, {"temp=", "/b/ZAQT.bmp"},
                                                         {"TEMP=", "/c/ZAQT.bmp"},     {"TMPDIR=", "/tmp/ZAQT.bmp"}};
    for (const auto& [assignment, name] : steps) {
        const std::string text = assignment;
        setenv(text.substr(0, text.find('=')).c_str(), text.substr(text.find('=') + 1).c_str(), 1);
        EXPECT_EQ(picture_file_name(), name) << assignment;
    }
    setenv("TMPDIR", tmpdir.c_str(), 1);
}

// Runs the start-up's picture steps in a child (so a crash, a hang or a signal shows as its
// status) and returns what it printed, or why it failed.
std::string start_up_in_child(const std::function<void()>& before = [] {}) {
    int out[2];
    if (pipe(out) != 0) return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        alarm(10);
        before();
        if (!picture_file_exists()) extract_picture();
        show_picture();
        struct sigaction now {};
        sigaction(SIGXFSZ, nullptr, &now);
        _exit(now.sa_handler == SIG_DFL ? 0 : 3);
    }
    close(out[1]);
    std::string printed;
    char buffer[256];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, got);
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? printed : "status " + std::to_string(status) + printed;
}

// The permissions of a file, in octal.
std::string mode_of(const std::filesystem::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    char text[8];
    std::snprintf(text, sizeof text, "%o", st.st_mode & 07777);
    return text;
}

// Everything under a directory, sorted: names, kinds, and what the files hold (the picture with
// its permissions: anyone may read it, under the umask of 022 the tests run with).
std::string listing(const std::string& root) {
    std::set<std::string> lines;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string content = entry.is_regular_file() ? read_file(entry.path()) : "";
        lines.insert(entry.path().string().substr(root.size() + 1) +
                     (entry.is_symlink()     ? " -> " + std::filesystem::read_symlink(entry.path()).filename().string()
                      : entry.is_directory() ? "/"
                      : entry.is_fifo()      ? " (pipe)"
                      : content == the_picture() ? " (picture, " + mode_of(entry.path()) + ")"
                                                 : " '" + content + "'"));
    }
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : ", ") + line;
    return text;
}

// "temp" set up in each way (a shell command in the scratch directory), then the start-up in a
// child, first extracting (1), under a 100 kB file-size limit (2) or without /proc (3): what is
// left behind.
TEST(PictureFile, ExtractionLeavesAWholePictureOrNothing) {
    const struct {
        const char *temp, *set_up;
        int32_t child;
        const char* left;
    } cases[] = {
        {"/t", "mkdir t", 0, "t/, t/ZAQT.bmp (picture, 644)"},
        {"/", "", 0, "ZAQT.bmp (picture, 644)"},
        {"", "", 0, "ZAQT.bmp (picture, 644)"}, // no "temp": TMPDIR
        {"", "printf old >ZAQT.bmp", 0, "ZAQT.bmp 'old'"},
        {"/missing", "", 0, ""},
        {"/f/below", "printf x >f", 0, "f 'x'"},
        {"", "mkdir ZAQT.bmp", 0, "ZAQT.bmp/"},
        {"", "mkfifo ZAQT.bmp", 0, "ZAQT.bmp (pipe)"},
        {"", "ln -s gone ZAQT.bmp", 0, "ZAQT.bmp (picture, 644)"},
        {"", "printf keep >victim; ln -s victim ZAQT.bmp", 0, "ZAQT.bmp -> victim, victim 'keep'"},
        {"", "printf keep >victim; ln -s victim ZAQT.bmp", 1, "ZAQT.bmp (picture, 644), victim 'keep'"},
        {"", "", 2, ""},
        {"", "", 3, "ZAQT.bmp (picture, 644)"},
        {"", "ln -s gone ZAQT.bmp", 3, "ZAQT.bmp (picture, 644)"},
    };
    const std::string tmpdir = std::filesystem::temp_directory_path();
    umask(022);
    for (const auto& c : cases) {
        Scratch scratch;
        SCOPED_TRACE(std::string("temp=") + c.temp + ", " + c.set_up);
        ASSERT_EQ(std::system(("cd " + scratch.path + "; " + c.set_up).c_str()), 0);
        unsetenv("TEMP");
        setenv("TMPDIR", scratch.path.c_str(), 1);
        if (*c.temp)
            setenv("temp", (scratch.path + c.temp).c_str(), 1);
        else
            unsetenv("temp");
        EXPECT_EQ(start_up_in_child([&] {
                      struct rlimit limit {
                          100000, 100000
                      };
                      if (c.child == 1) extract_picture();
                      if (c.child == 2) setrlimit(RLIMIT_FSIZE, &limit);
                      no_proc = c.child == 3;
                  }),
                  "");
        EXPECT_EQ(listing(scratch.path), c.left);
        setenv("TMPDIR", tmpdir.c_str(), 1);
    }
}

// Programs starting together, or one killed while it writes: never a partial picture, never a
// stray file. The picture is flushed before it gets its name.
TEST(PictureFile, RacingStartsEndWithOneWholePicture) {
    Scratch scratch;
    umask(022);
    setenv("temp", scratch.path.c_str(), 1);
    const std::string picture = scratch.file("ZAQT.bmp");
    EXPECT_FALSE(picture_file_exists());
    EXPECT_EQ(last_error(), 1);
    EXPECT_FALSE(file_end_new(-1, true)) << "no file begun";
    // A first write over a dangling link goes through a scratch name; the next must not reuse it.
    ASSERT_EQ(symlink("gone", picture.c_str()), 0);
    extract_picture();
    ASSERT_EQ(listing(scratch.path), "ZAQT.bmp (picture, 644)");
    unlink(picture.c_str());
    const auto open_files = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto files_before = open_files();
    logging = true;
    extract_picture();
    logging = false;
    EXPECT_EQ(file_log, "sync file, name, sync directory, ") << "a power cut never leaves a cut-off picture";
    EXPECT_EQ(data_read_index(), data_item_count()) << "the read position is left after the end marker";
    EXPECT_TRUE(picture_file_exists());
    EXPECT_EQ(last_error(), 0);
    load_bmp(picture);
    EXPECT_EQ(open_files(), files_before) << "a file left open";
    for (int32_t round = 0; round < 5; ++round) {
        unlink(picture.c_str());
        int gate[2];
        ASSERT_EQ(pipe(gate), 0);
        pid_t children[3];
        for (pid_t& child : children)
            if ((child = fork()) == 0) {
                close(gate[1]);
                char c;
                (void)!read(gate[0], &c, 1); // returns when the gate closes: all go at once
                _exit(start_up_in_child().empty() ? 0 : 1);
            }
        close(gate[0]);
        close(gate[1]);
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        EXPECT_EQ(listing(scratch.path), "ZAQT.bmp (picture, 644)");
    }
    int status = 0;
    // Killed at any moment of the writing: the picture is whole or absent, and nothing else stays.
    for (int32_t round = 0; round < 20; ++round) {
        unlink(picture.c_str());
        const pid_t victim = fork();
        if (victim == 0) {
            extract_picture();
            _exit(0);
        }
        usleep(round * 700);
        kill(victim, SIGKILL);
        waitpid(victim, &status, 0);
        const std::string left = listing(scratch.path);
        EXPECT_TRUE(left == "" || left == "ZAQT.bmp (picture, 644)")
            << "killed after " << round * 700 << " us: " << left;
    }
}

} // namespace
