#pragma once

// JACK for the transport tests: a dummy server per test, programs run beside
// it and a flooding client.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestrow::testing {

inline std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), {} };
}

/// A program run through the shell in the background with its output in
/// `log`, or only its errors there and its output to `out`; stopped when this goes.
class Background {
public:
    Background(const std::string& command, std::filesystem::path log,
        const std::filesystem::path& out = {})
        : m_log(std::move(log))
    {
        const std::string line = "exec " + command
            + (out.empty() ? " >'" + m_log.string() + "' 2>&1"
                           : " >'" + out.string() + "' 2>'" + m_log.string() + "'");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
            ::_exit(127);
        }
    }
    ~Background()
    {
        stop();
        std::filesystem::remove(m_log);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool running()
    {
        int status = 0;
        if (m_pid > 0 && ::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_pid = -1;
        }
        return m_pid > 0;
    }
    /// SIGTERM, up to 5 s to end, then SIGKILL; the exit code, -1 if killed.
    int stop()
    {
        using namespace std::chrono_literals;
        if (m_pid > 0)
            ::kill(m_pid, SIGTERM);
        for (const auto end = std::chrono::steady_clock::now() + 5s;
             running() && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(10ms);
        if (running()) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        return m_exit;
    }
    pid_t pid() const { return m_pid; }
    std::string output() const { return readAll(m_log); }
    bool waitForOutput(const std::string& text, std::chrono::milliseconds cap)
    {
        for (const auto end = std::chrono::steady_clock::now() + cap;
             output().find(text) == std::string::npos;
             std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (std::chrono::steady_clock::now() > end)
                return false;
        return true;
    }

private:
    std::filesystem::path m_log;
    pid_t m_pid = -1;
    int m_exit = -1;
};

/// jackd with the dummy backend under `name`, made the default server; up()
/// once a client could connect (within 10 s). Stopped when this goes.
class JackDummyServer : public Background {
public:
    explicit JackDummyServer(const std::string& name)
        : Background(command(name), std::filesystem::temp_directory_path() / (name + ".jackd.log"))
    {
        using namespace std::chrono_literals;
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        for (const auto end = std::chrono::steady_clock::now() + 10s;
             !m_up && running() && std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(50ms)) {
            jack_client_t* probe = jack_client_open("kestrow-probe", JackNoStartServer, nullptr);
            m_up = probe && jack_client_close(probe) == 0;
        }
    }
    bool up() const { return m_up; }

private:
    // -S: in JACK's default asynchronous mode a client that misses a cycle on
    // a busy machine loses that cycle's MIDI; synchronous mode waits for it,
    // and -t lets a client slowed by the sanitizers be late without being dropped.
    static std::string command(const std::string& name)
    {
        ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        return "/usr/bin/jackd -S -r -t 5000 -n '" + name + "' -d dummy -r 48000 -p 64";
    }

    bool m_up = false;
};

/// Each test beside a dummy server of its own, made the default one; `tag`
/// tells this run's names apart. Skips the test when the server does not start.
class JackServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        serverName = "kestrow-" + tag + "-" + std::to_string(++serial);
        server.emplace(serverName);
        if (!server->up())
            GTEST_SKIP() << "the JACK dummy server did not start";
    }

    const std::string tag = std::to_string(::getpid());
    std::string serverName;
    std::optional<JackDummyServer> server;
};

class JackFlood {
public:
    /// Client `name` with the output "out", sending from the start; ok() says
    /// whether the server took it.
    JackFlood(const std::string& name, std::vector<std::uint8_t> message, int perCycle)
        : m_message(std::move(message))
        , m_perCycle(perCycle)
    {
        m_client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (!m_client)
            return;
        m_port = jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (!m_port || jack_set_process_callback(m_client, process, this) != 0
            || jack_activate(m_client) != 0) {
            jack_client_close(m_client);
            m_client = nullptr;
        }
    }
    ~JackFlood()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    JackFlood(const JackFlood&) = delete;
    JackFlood& operator=(const JackFlood&) = delete;

    bool ok() const { return m_client != nullptr; }
    std::string port() const { return jack_port_name(m_port); }
    std::uint64_t sent() const { return m_sent.load(); }

    /// Connects to the first MIDI input whose name contains `text`.
    bool connectTo(const std::string& text)
    {
        const char** ports
            = jack_get_ports(m_client, text.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
        const bool connected
            = ports && ports[0] && jack_connect(m_client, port().c_str(), ports[0]) == 0;
        jack_free(ports);
        return connected;
    }

private:
    static int process(jack_nframes_t frames, void* arg)
    {
        auto& self = *static_cast<JackFlood*>(arg);
        void* buffer = jack_port_get_buffer(self.m_port, frames);
        jack_midi_clear_buffer(buffer);
        for (int i = 0; i < self.m_perCycle; ++i)
            if (jack_midi_event_write(buffer, static_cast<jack_nframes_t>(i) % frames,
                    self.m_message.data(), self.m_message.size())
                == 0)
                self.m_sent.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }

    std::vector<std::uint8_t> m_message;
    int m_perCycle;
    jack_client_t* m_client = nullptr;
    jack_port_t* m_port = nullptr;
    std::atomic<std::uint64_t> m_sent { 0 };
};

} // namespace kestrow::testing
