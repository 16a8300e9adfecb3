#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>
#include <thread>

namespace kestrow::sim {

/// Lines for standard output and standard error, written by a thread of its
/// own, so a reader who stops reading never holds up the caller. At most
/// kLimit bytes wait per stream; lines past that are dropped and counted, and a line
/// "zembra-sim: N log lines dropped" takes their place once there is room.
class LineLog {
public:
    enum class Stream : std::uint8_t { out, err };
    static constexpr std::size_t kLimit = 1 << 20; ///< bytes of memory, per stream

    /// Writes to the descriptors `out` and `err`, which stay open.
    LineLog(int out, int err);
    /// stop() with no grace.
    ~LineLog();
    LineLog(const LineLog&) = delete;
    LineLog& operator=(const LineLog&) = delete;

    /// Queues `line` and a newline; never waits for the reader.
    void print(Stream stream, std::string_view line);

    /// Goes on writing for up to `grace`, then leaves the rest unwritten and
    /// returns; the count of all dropped lines goes to standard error last.
    /// Later lines are dropped.
    void stop(std::chrono::milliseconds grace);

    /// Lines dropped so far, both streams.
    std::uint64_t dropped() const;
    /// Whether writing to either stream failed (a full disk, a closed pipe);
    /// that stream's later lines are dropped.
    bool failed() const;

private:
    struct State;
    static void run(const std::shared_ptr<State>& state);

    std::shared_ptr<State> m_state; ///< shared with the writer, which may outlive this
    std::thread m_writer;
};

} // namespace kestrow::sim
