#include "platform/mididrv/input_port.h"

#include "platform/mididrv/smf_codec.h"

namespace kestrow::mididrv {

std::uint64_t steadyMicros()
{
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

InputPort::InputPort(MidiDrvNotify notify)
    : m_notify(notify)
    , m_ring(kCapacity)
{
    m_notifier = std::thread([this] { notifierLoop(); });
}

InputPort::~InputPort()
{
    // The connection goes first so nothing is delivered into a dying port.
    m_connection.reset();
    m_quit = true;
    m_signal.store(1);
    m_signal.notify_one();
    m_notifier.join();
}

void InputPort::received(std::span<const std::uint8_t> message)
{
    if (message.empty() || !m_started.load(std::memory_order_acquire))
        return;
    std::uint64_t now = steadyMicros();
    std::uint8_t first = message[0];
    if (first == 0xF0 || (first < 0x80 && m_inSysEx)) {
        // SysEx, or the rest of one some backends hand over in pieces.
        for (std::uint8_t b : message) {
            MidiDrvEvent e {};
            e.status = 0xF0;
            e.data1 = b;
            push(e, now);
            if (b == 0xF7)
                m_inSysEx = false;
            else if (b == 0xF0)
                m_inSysEx = true;
        }
    } else if (first & 0x80) {
        // Short messages; a buffer may hold several.
        std::size_t i = 0;
        while (i < message.size()) {
            std::uint8_t status = message[i++];
            if (!(status & 0x80))
                continue;
            MidiDrvEvent e {};
            e.status = status;
            int n = smf::dataLength(status);
            if (n >= 1 && i < message.size())
                e.data1 = message[i++];
            if (n == 2 && i < message.size())
                e.data2 = message[i++];
            if (status < 0xF8)
                m_inSysEx = false;
            push(e, now);
        }
    }
    if (m_signal.exchange(1) == 0)
        m_signal.notify_one();
}

void InputPort::push(const MidiDrvEvent& event, std::uint64_t micros)
{
    std::size_t head = m_head.load(std::memory_order_relaxed);
    std::size_t tail = m_tail.load(std::memory_order_acquire);
    if (head - tail >= kCapacity) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    m_ring[head % kCapacity] = { micros, event };
    m_head.store(head + 1, std::memory_order_release);
}

bool InputPort::pop(Entry& entry)
{
    std::size_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail == m_head.load(std::memory_order_acquire))
        return false;
    entry = m_ring[tail % kCapacity];
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

void InputPort::start()
{
    m_tail.store(m_head.load(std::memory_order_acquire), std::memory_order_release);
    lastMicros = steadyMicros();
    m_started.store(true, std::memory_order_release);
}

void InputPort::stop() { m_started.store(false, std::memory_order_release); }

void InputPort::notifierLoop()
{
    for (;;) {
        m_signal.wait(0);
        if (m_quit)
            return;
        m_signal.store(0);
        if (m_notify.callback)
            m_notify.callback(m_notify.context, MIDIDRV_MSG_INPUT_WAITING);
    }
}

} // namespace kestrow::mididrv
