// refuse_x.cpp -- preloaded into the game by a test: turns away its first VIERTAL_REFUSE_X
// connection attempts to the X server with EAGAIN, as a server busy with other clients does.
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

extern "C" int connect(int socket, const struct sockaddr* address, socklen_t length) {
    using Connect = int (*)(int, const struct sockaddr*, socklen_t);
    static const auto real = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
    static std::atomic<int> left{std::atoi(std::getenv("VIERTAL_REFUSE_X") ? std::getenv("VIERTAL_REFUSE_X") : "0")};
    const auto* unix_address = reinterpret_cast<const sockaddr_un*>(address);
    const bool to_x =
        address && address->sa_family == AF_UNIX &&
        (std::strstr(unix_address->sun_path, "X11-unix") || std::strstr(unix_address->sun_path + 1, "X11-unix"));
    if (to_x && left.fetch_sub(1) > 0) {
        errno = EAGAIN;
        return -1;
    }
    return real(socket, address, length);
}
