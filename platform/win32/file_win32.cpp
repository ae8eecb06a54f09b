// file_win32.cpp -- files on Windows: the temp directory's lookup, reading the picture, and
// writing a new file that appears whole or not at all.
//
// A new file is written under a fresh scratch name beside its final one (exclusive create),
// flushed with _commit, closed, and only then moved onto its name with MoveFileEx, replacing
// what stood there and writing through to the disk; on any failure the scratch file is removed.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/scratch_name.h"

namespace {

// The new file being written: one at a time.
struct NewFile {
    int32_t fd = -1;
    std::string path;    // the name it gets when ended whole
    std::string scratch; // its scratch name
};
NewFile new_file;

// Returns the value of environment variable `name`, or "" when unset. The name is matched
// whatever its case, so "temp" finds the usual "TEMP".
std::string environment(const char* name) {
    std::string value(MAX_PATH, '\0');
    for (;;) {
        const DWORD size = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
        if (size < value.size()) {
            value.resize(size); // 0: unset or empty
            return value;
        }
        value.resize(size); // too small: size is what it needs, the final zero included
    }
}

} // namespace

// The value of "temp", then "\" and the name, nothing added or taken away: with "temp" unset or
// empty, the file stands in the root of the current drive.
std::string file_in_temp(const std::string& name) {
    return environment("temp") + "\\" + name;
}

int32_t file_open_read(const std::string& path) {
    return _open(path.c_str(), _O_RDONLY | _O_BINARY);
}

int64_t file_size(int32_t file) {
    struct _stat64 st {};
    return _fstat64(file, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG ? int64_t(st.st_size) : -1;
}

int64_t file_read_at(int32_t file, int64_t position, void* bytes, int64_t count) {
    if (_lseeki64(file, position, SEEK_SET) != position) return -1;
    return _read(file, bytes, static_cast<unsigned>(count > (1 << 30) ? (1 << 30) : count));
}

void file_close(int32_t file) {
    _close(file);
}

int32_t file_begin_new(const std::string& path) {
    if (new_file.fd >= 0) return -1;
    new_file.path = path;
    for (int32_t attempt = 0; attempt < 16; ++attempt) {
        new_file.scratch = scratch_name(path, static_cast<long>(_getpid()));
        new_file.fd = _open(new_file.scratch.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (new_file.fd >= 0 || (errno != EEXIST && errno != EINTR)) break;
    }
    return new_file.fd;
}

bool file_write(int32_t file, const void* bytes, int64_t count) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const int written = _write(file, at, static_cast<unsigned>(count > (1 << 30) ? (1 << 30) : count));
        if (written <= 0) return false;
        at += written;
        count -= written;
    }
    return true;
}

// Write-through: the move reaches the disk before the call returns.
bool file_end_new(int32_t file, bool keep) {
    if (file < 0 || file != new_file.fd) return false;
    const bool synced = keep && _commit(file) == 0;
    const bool closed = _close(file) == 0;
    const bool named = synced && closed &&
                       MoveFileExA(new_file.scratch.c_str(), new_file.path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!named) _unlink(new_file.scratch.c_str());
    new_file.fd = -1;
    return named;
}
