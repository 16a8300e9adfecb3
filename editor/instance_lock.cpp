#include "editor/instance_lock.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace kestrow {

namespace {

    constexpr char kRequest[] = "raise\n";
    /// How long a second editor waits for the first one to answer.
    constexpr auto kAnswerWithin = std::chrono::seconds(5);

    struct Address {
        sockaddr_un address {};
        socklen_t length = 0;
    };

    /// The folder's name in the abstract namespace: the user and a hash of
    /// the folder's canonical path (any length of path fits).
    Address addressOf(const std::string& folder)
    {
        std::error_code error;
        const std::string canonical = std::filesystem::weakly_canonical(
            folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder), error)
                                          .string();
        std::string_view name = canonical; // "/a/b/" and "/a/b" are one folder
        while (name.size() > 1 && name.back() == '/')
            name.remove_suffix(1);
        std::uint64_t hash = 14695981039346656037ull; // FNV-1a
        for (unsigned char c : name)
            hash = (hash ^ c) * 1099511628211ull;
        char text[64];
        const int n = std::snprintf(text, sizeof text, "kestrow-editor-%u-%016llx",
            static_cast<unsigned>(::getuid()), static_cast<unsigned long long>(hash));
        Address a;
        a.address.sun_family = AF_UNIX;
        std::memcpy(a.address.sun_path + 1, text, static_cast<std::size_t>(n));
        a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
        return a;
    }

    /// A socket bound to the folder's name; -1 with errno when it is taken.
    int bindTo(const Address& a)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return -1;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) != 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return -1;
        }
        return fd;
    }

    /// Asks the holder to come forward; true once it has said it will.
    bool askToComeForward(const Address& a)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        bool asked = ::connect(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0
            && ::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL)
                == static_cast<ssize_t>(sizeof kRequest - 1);
        if (asked) {
            pollfd wait { fd, POLLIN, 0 };
            char answer = 0;
            asked = ::poll(&wait, 1, 2000) == 1 && ::recv(fd, &answer, 1, 0) == 1;
        }
        ::close(fd);
        return asked;
    }

} // namespace

InstanceLock::InstanceLock(const std::string& folder)
    : m_folder(folder)
{
    const Address address = addressOf(folder);
    const auto until = std::chrono::steady_clock::now() + kAnswerWithin;
    for (;;) {
        const int fd = bindTo(address);
        if (fd >= 0) {
            if (::listen(fd, 4) != 0) {
                ::close(fd);
                return; // unavailable: the run goes on without the guard
            }
            m_listener = fd;
            m_outcome = Outcome::acquired;
            return;
        }
        if (errno != EADDRINUSE)
            return;
        if (askToComeForward(address)) {
            m_outcome = Outcome::forwarded;
            return;
        }
        // The holder may be starting (not listening yet) or just ending.
        if (std::chrono::steady_clock::now() >= until) {
            m_outcome = Outcome::held;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

InstanceLock::~InstanceLock()
{
    if (m_listener >= 0)
        ::close(m_listener);
}

bool InstanceLock::takeRequest()
{
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return false;
    char request[sizeof kRequest] = {};
    pollfd wait { fd, POLLIN, 0 };
    const bool raise = ::poll(&wait, 1, 1000) == 1
        && ::recv(fd, request, sizeof request - 1, 0) == static_cast<ssize_t>(sizeof kRequest - 1)
        && std::strcmp(request, kRequest) == 0;
    // The asker waits for this byte; if it has gone meanwhile, nothing is lost.
    if (raise) {
        [[maybe_unused]] const auto sent = ::send(fd, "1", 1, MSG_NOSIGNAL);
    }
    ::close(fd);
    return raise;
}

bool InstanceLock::heldByEditor(const std::string& folder)
{
    const int fd = bindTo(addressOf(folder));
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EADDRINUSE;
}

} // namespace kestrow
