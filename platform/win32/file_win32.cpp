// file_win32.cpp -- files on Windows: the temp directory's lookup, reading the picture, and
// writing a new file that appears whole or not at all.
//
// Names are the game's strings in UTF-8 (WTF-8, see platform/wide_names.h) and go to Windows
// through the wide-character API only: a temp folder in Cyrillic or Chinese on a Western Windows
// has no name in the ANSI code page.
//
// A new file is written under a fresh scratch name beside its final one (exclusive create),
// marked for deletion while it is written, so that a program killed in the middle leaves
// nothing: Windows removes the file as it closes the killed program's handles. Once whole it is
// flushed, the mark taken back, the file closed, and only then moved onto its name with
// MoveFileEx, replacing what stood there and writing through to the disk; on any failure the
// scratch file is removed. What a writer left that was killed in the short step between the mark
// taken back and the move (or by an older version of the game, which had no mark) is removed by
// the next writer, once that writer's process no longer runs.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "platform/platform.h"
#include "platform/scratch_name.h"
#include "platform/wide_names.h"

namespace {

// The new file being written: one at a time.
struct NewFile {
    int32_t fd = -1;
    std::string path;    // the name it gets when ended whole
    std::string scratch; // its scratch name
    bool marked = false; // Windows deletes it when it is closed
};
NewFile new_file;

std::wstring wide(const std::string& name) {
    const std::u16string units = wide_name(name);
    return std::wstring(units.begin(), units.end());
}

std::string narrow(const std::wstring& name) {
    return narrow_name(std::u16string(name.begin(), name.end()));
}

// Returns the value of environment variable `name`, or "" when unset. The name is matched
// whatever its case, so "temp" finds the usual "TEMP".
std::string environment(const wchar_t* name) {
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (size < value.size()) {
            value.resize(size); // 0: unset or empty
            return narrow(value);
        }
        value.resize(size); // too small: size is what it needs, the final zero included
    }
}

// Sets or takes back the mark that has Windows delete the open file when it is closed.
bool mark_for_deletion(int32_t fd, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return handle != INVALID_HANDLE_VALUE &&
           SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}

// Whether the process `id` may still run: true unless Windows says there is no such process or
// it has ended (a process of another user, which this one may not look at, counts as running).
bool process_may_run(DWORD id) {
    if (id == GetCurrentProcessId()) return true;
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Removes the scratch files beside `path` that writers left which no longer run; nothing else.
void remove_leftovers(const std::string& path) {
    const std::wstring whole = wide(path);
    const size_t slash = whole.find_last_of(L"\\/:");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : whole.substr(0, slash + 1);
    const std::string base = narrow(whole.substr(folder.size()));
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((whole + L".*.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const int64_t writer = scratch_writer(narrow(found.cFileName), base);
        if (writer > 0 && writer <= 0xFFFFFFFF && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            !process_may_run(static_cast<DWORD>(writer)))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace

// The value of "temp", then "\" and the name, nothing added or taken away: with "temp" unset or
// empty, the file stands in the root of the current drive.
std::string file_in_temp(const std::string& name) {
    return environment(L"temp") + "\\" + name;
}

int32_t file_open_read(const std::string& path) {
    return _wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY);
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

// The scratch file is made with DELETE access, so that it can carry the deletion mark, and shared
// with nobody while it is written.
int32_t file_begin_new(const std::string& path) {
    if (new_file.fd >= 0) return -1;
    remove_leftovers(path);
    new_file.path = path;
    for (int32_t attempt = 0; attempt < 16; ++attempt) {
        new_file.scratch = scratch_name(path, static_cast<long>(_getpid()));
        const HANDLE handle = CreateFileW(wide(new_file.scratch).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() != ERROR_FILE_EXISTS) break;
            continue;
        }
        new_file.fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (new_file.fd < 0) {
            CloseHandle(handle);
            DeleteFileW(wide(new_file.scratch).c_str());
            break;
        }
        // A file system without the mark (some network shares) still gets the file; the next
        // writer removes what a killed one left there.
        new_file.marked = mark_for_deletion(new_file.fd, true);
        break;
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

// Write-through: the move reaches the disk before the call returns. A file whose mark cannot be
// taken back is left to Windows to delete as it is closed.
bool file_end_new(int32_t file, bool keep) {
    if (file < 0 || file != new_file.fd) return false;
    const bool synced = keep && _commit(file) == 0;
    const bool unmarked = synced && (!new_file.marked || mark_for_deletion(file, false));
    const bool closed = _close(file) == 0;
    const std::wstring scratch = wide(new_file.scratch);
    const bool named =
        unmarked && closed &&
        MoveFileExW(scratch.c_str(), wide(new_file.path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!named) DeleteFileW(scratch.c_str()); // already gone when the mark stayed
    new_file.fd = -1;
    new_file.marked = false;
    return named;
}
