// start_barrier.cpp -- a preloaded shim that lines up programs at their picture-file test, so that
// the test "two programs starting at once" makes them race every time instead of now and then.
//
// Loaded with LD_PRELOAD=libstart_barrier.so and VIERTAL_BARRIER=DIR:COUNT. The first open of a
// file named ".../ZAQT.bmp" in each process is carried out as asked; then the process writes
// DIR/<pid> ("missing" or "present", after that open) and waits until COUNT such files exist, at
// most 10 s. Every later open passes straight through. So all the programs see the directory as
// it was before any of them wrote, and then all of them go on to write at the same moment.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

namespace {

using OpenFunction = int (*)(const char*, int, ...);

bool passed = false; // this process has been through the barrier

// Tells whether the path names the picture file.
bool is_picture(const char* path) {
    const char* name = std::strrchr(path, '/');
    return name != nullptr && std::strcmp(name, "/ZAQT.bmp") == 0;
}

// Counts the entries of a directory, "." and ".." left out.
int count_entries(const std::string& directory) {
    DIR* d = opendir(directory.c_str());
    if (d == nullptr) return 0;
    int count = 0;
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') ++count;
    closedir(d);
    return count;
}

// Records this process at the barrier and waits for the others.
void wait_at_barrier(bool found) {
    const char* setting = std::getenv("VIERTAL_BARRIER");
    if (setting == nullptr) return;
    std::string text = setting;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return;
    const std::string directory = text.substr(0, colon);
    const int count = std::atoi(text.c_str() + colon + 1);
    const std::string mark = directory + "/" + std::to_string(getpid());
    if (FILE* f = std::fopen(mark.c_str(), "w")) {
        std::fputs(found ? "present" : "missing", f);
        std::fclose(f);
    }
    for (int waited = 0; waited < 10000 && count_entries(directory) < count; ++waited) usleep(1000);
}

// Opens through the C library's own open.
int real_open(const char* symbol, const char* path, int flags, mode_t mode) {
    static OpenFunction open_function = nullptr;
    static OpenFunction open64_function = nullptr;
    OpenFunction& f = std::strcmp(symbol, "open") == 0 ? open_function : open64_function;
    if (f == nullptr) f = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, symbol));
    return f(path, flags, mode);
}

// Opens the file, and waits at the barrier after the first open of the picture file.
int open_then_wait(const char* symbol, const char* path, int flags, mode_t mode) {
    const int file = real_open(symbol, path, flags, mode);
    if (!passed && path != nullptr && is_picture(path)) {
        passed = true;
        wait_at_barrier(file >= 0);
    }
    return file;
}

} // namespace

extern "C" int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return open_then_wait("open", path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    return open_then_wait("open64", path, flags, mode);
}
