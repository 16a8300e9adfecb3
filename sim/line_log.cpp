#include "sim/line_log.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace kestrow::sim {

namespace {

    using Clock = std::chrono::steady_clock;
    constexpr int kPollStepMs = 50;

    std::string droppedLine(std::uint64_t count)
    {
        return "zembra-sim: " + std::to_string(count) + " log lines dropped\n";
    }

} // namespace

struct LineLog::State {
    explicit State(int out, int err)
        : fds { out, err }
    {
    }

    /// What a line costs while it waits.
    static std::size_t cost(std::size_t length) { return sizeof(std::string) + length; }

    void push(Stream stream, std::string text)
    {
        const auto i = static_cast<std::size_t>(stream);
        bytes[i] += cost(text.size());
        lines[i].push_back(std::move(text));
    }

    /// Whole lines for one write, up to PIPE_BUF unless a single line is longer.
    std::string take(std::size_t i)
    {
        std::string chunk;
        while (!lines[i].empty()
            && (chunk.empty() || chunk.size() + lines[i].front().size() <= PIPE_BUF)) {
            chunk += lines[i].front();
            bytes[i] -= cost(lines[i].front().size());
            lines[i].pop_front();
        }
        return chunk;
    }

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finishedWake;
    std::array<int, 2> fds;
    std::array<std::deque<std::string>, 2>
        lines; ///< per stream, so one unread stream holds up only itself
    std::array<std::size_t, 2> bytes {}; ///< what the waiting lines cost
    std::array<std::uint64_t, 2> unreported {}; ///< dropped since the last notice
    std::array<bool, 2> gone {}; ///< nobody will ever read that stream
    std::uint64_t dropped = 0;
    bool stopping = false;
    bool finished = false;
    Clock::time_point deadline = Clock::time_point::max();
};

LineLog::LineLog(int out, int err)
    : m_state(std::make_shared<State>(out, err))
{
    m_writer = std::thread([state = m_state] { run(state); });
}

LineLog::~LineLog() { stop(std::chrono::milliseconds(0)); }

void LineLog::print(Stream stream, std::string_view line)
{
    State& s = *m_state;
    const auto i = static_cast<std::size_t>(stream);
    {
        std::lock_guard lock(s.mutex);
        if (s.stopping || s.gone[i] || s.bytes[i] + State::cost(line.size() + 1) > kLimit) {
            ++s.unreported[i];
            ++s.dropped;
            return;
        }
        if (s.unreported[i] > 0) {
            s.push(stream, droppedLine(s.unreported[i]));
            s.unreported[i] = 0;
        }
        std::string text(line);
        text += '\n';
        s.push(stream, std::move(text));
    }
    s.wake.notify_one();
}

void LineLog::stop(std::chrono::milliseconds grace)
{
    State& s = *m_state;
    std::unique_lock lock(s.mutex);
    if (s.stopping)
        return;
    if (s.dropped > 0) // the whole count, where it is seen even when the output is never read
        s.push(Stream::err, droppedLine(s.dropped));
    s.stopping = true;
    s.deadline = Clock::now() + grace;
    const auto deadline = s.deadline;
    s.wake.notify_all();
    // The writer looks at the deadline every poll step; only a write the
    // kernel holds up anyway (a terminal nobody reads) would keep it longer,
    // and then it is left to end with the process.
    const bool finished = s.finishedWake.wait_until(
        lock, deadline + std::chrono::milliseconds(4 * kPollStepMs), [&] { return s.finished; });
    lock.unlock();
    if (finished)
        m_writer.join();
    else
        m_writer.detach();
}

std::uint64_t LineLog::dropped() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->dropped;
}

bool LineLog::failed() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->gone[0] || m_state->gone[1];
}

void LineLog::run(const std::shared_ptr<State>& state)
{
    State& s = *state;
    std::array<std::string, 2> chunk; // being written, per stream
    for (;;) {
        {
            std::unique_lock lock(s.mutex);
            for (std::size_t i = 0; i < 2; ++i) {
                if (s.gone[i]) {
                    chunk[i].clear();
                    s.lines[i].clear();
                    s.bytes[i] = 0;
                } else if (chunk[i].empty()) {
                    chunk[i] = s.take(i);
                }
            }
            if (chunk[0].empty() && chunk[1].empty()) {
                if (s.stopping)
                    break;
                s.wake.wait(lock);
                continue;
            }
            if (Clock::now() >= s.deadline)
                break;
        }
        // Write only where poll finds room, at most PIPE_BUF bytes at a time,
        // which a pipe with room takes without blocking.
        std::array<pollfd, 2> ready {};
        std::array<std::size_t, 2> streamOf {};
        nfds_t count = 0;
        for (std::size_t i = 0; i < 2; ++i) {
            if (!chunk[i].empty()) {
                ready[count] = { s.fds[i], POLLOUT, 0 };
                streamOf[count++] = i;
            }
        }
        if (::poll(ready.data(), count, kPollStepMs) <= 0)
            continue;
        for (nfds_t k = 0; k < count; ++k) {
            const std::size_t i = streamOf[k];
            ssize_t done = 0;
            if (ready[k].revents & POLLOUT)
                done = ::write(
                    s.fds[i], chunk[i].data(), std::min<std::size_t>(chunk[i].size(), PIPE_BUF));
            const bool failed = (ready[k].revents & (POLLERR | POLLNVAL))
                || (done < 0 && errno != EINTR && errno != EAGAIN);
            if (failed) {
                std::lock_guard lock(s.mutex);
                s.gone[i] = true;
            } else if (done > 0) {
                chunk[i].erase(0, static_cast<std::size_t>(done));
            }
        }
    }
    std::lock_guard lock(s.mutex);
    s.finished = true;
    s.finishedWake.notify_all();
}

} // namespace kestrow::sim
