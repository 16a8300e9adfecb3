#pragma once

#include "editor/port_watch.h"
#include "protocol/device_protocol.h"
#include "protocol/dump_frame.h"
#include "sim/zembra_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kestrow::testing {

using Bytes = std::vector<std::uint8_t>;

/// F0 00 20 20 14 00 followed by `tail`. Sized at once and not inlined:
/// GCC 12 at -O2 takes a growing insert here for an out-of-bounds copy.
[[gnu::noinline]] inline Bytes frameBytes(std::initializer_list<std::uint8_t> tail)
{
    Bytes bytes(dump::kHeader.size() + tail.size());
    std::copy(tail.begin(), tail.end(), std::ranges::copy(dump::kHeader, bytes.begin()).out);
    return bytes;
}

/// Preset data (20) whose 48 payload bytes count up from `first`, 7 bits wide.
inline Bytes presetData(std::uint8_t preset, std::uint8_t first = 0x11)
{
    Bytes bytes = frameBytes({ 0x20, preset, 0 });
    for (int i = 0; i < 48; ++i)
        bytes.push_back(static_cast<std::uint8_t>((first + i) & 0x7F));
    bytes.push_back(0xF7);
    return bytes;
}

/// Init values (21) with every knob at `value`.
inline Bytes initValues(std::uint8_t preset, std::uint8_t value)
{
    Bytes bytes = frameBytes({ 0x21, preset, 0 });
    bytes.insert(bytes.end(), 16, value);
    bytes.push_back(0xF7);
    return bytes;
}

/// Ports in memory: records every message put; with an emulator attached,
/// the device's replies come back through `deliver`.
class FakeLink : public DeviceLink {
public:
    bool outputIsOpen(int device) const override { return openOutputs.count(device) > 0; }
    PortResult openOutput(int device) override
    {
        if (failOpen)
            return PortResult::failure("out " + std::to_string(device) + " will not open");
        openOutputs.insert(device);
        return PortResult::success();
    }
    PortResult put(int device, std::span<const MidiEvent> events) override
    {
        if (failPut)
            return PortResult::failure("out " + std::to_string(device) + " takes nothing");
        messages.emplace_back(events.begin(), events.end());
        devices.push_back(device);
        Bytes bytes; // as the wire carries it
        for (const MidiEvent& e : events) {
            if (e.status != 0xF0)
                bytes.push_back(e.status);
            bytes.push_back(e.data1);
            if (e.status != 0xF0 && (e.status & 0xE0) != 0xC0)
                bytes.push_back(e.data2);
        }
        if (emulator && !vanished)
            for (const auto& reply : emulator->receive(bytes)) {
                if (muteReplies > 0 && --muteReplies >= 0)
                    continue;
                for (const MidiEvent& e : sysExEvents(reply))
                    deliver(e);
            }
        return PortResult::success();
    }
    void closeInput() override { }
    PortResult openInput(int device) override
    {
        openedInputs.push_back(device);
        return failOpen ? PortResult::failure("in will not open") : PortResult::success();
    }

    /// Closes and opens again; each such reopen is recorded.
    PortResult reopenOutput(int device) override
    {
        reopenedOutputs.push_back(device);
        openOutputs.erase(device);
        return openOutput(device);
    }
    // Only the device's own ports go; the other ports in the lists stay.
    bool outputPresent(int device) override { return !vanished || device != kDevicePort; }
    bool inputPresent(int device) override { return !vanished || device != kDevicePort; }

    Bytes bytesOf(std::size_t message) const { return sysExBytes(messages.at(message)); }

    std::set<int> openOutputs;
    bool failOpen = false;
    bool failPut = false;
    std::vector<int> openedInputs;
    std::vector<int> reopenedOutputs;
    std::vector<std::vector<MidiEvent>> messages;
    std::vector<int> devices;
    sim::ZembraDevice* emulator = nullptr;
    /// The emulated device's output and input in the lists ("out B", "in B").
    static constexpr int kDevicePort = 1;
    /// The device's ports are gone: what is put goes nowhere, as on JACK.
    bool vanished = false;
    /// Replies of the emulator lost on the way, the next this many.
    int muteReplies = 0;
    std::function<void(const MidiEvent&)> deliver;
};

/// Records what the protocol asks of the window.
class FakeHost : public ProtocolHost {
public:
    void scheduleChanged() override { ++scheduleChanges; }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void refreshKnobTable(int presetIndex) override { refreshed.push_back(presetIndex); }
    void deviceSettingsChanged() override { ++settingsChanges; }
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    void portsOpened() override
    {
        if (watch != nullptr)
            watch->portsOpened();
    }
    bool outputWanted() override { return watch == nullptr || watch->outputWanted(now()); }

    /// The port watch the session would keep; none leaves presence alone.
    PortWatch* watch = nullptr;
    std::function<PaceClock::time_point()> now = &PaceClock::now;
    int scheduleChanges = 0;
    std::vector<std::string> captions;
    std::vector<int> refreshed;
    int settingsChanges = 0;
    std::vector<std::string> statuses;
};

/// A protocol over `Link` and a recording host.
template <class Link> struct Rig {
    PresetBank bank;
    DeviceSettingsModel settings;
    Link link;
    FakeHost host;
    PaceClock::time_point now {}; ///< the protocol's clock
    DeviceProtocol protocol { bank, settings, link, host, [this] { return now; } };
    PortWatch watch { protocol, settings, link, host, [this] { return now; } };

    template <class... Args>
    explicit Rig(Args&&... args)
        : link(std::forward<Args>(args)...)
    {
        host.watch = &watch;
        host.now = [this] { return now; };
    }

    /// The protocol's timers and the port watch at `at`, as the session runs them.
    void tickAll(PaceClock::time_point at)
    {
        watch.tick(now = at);
        protocol.tick(at);
    }

    /// Runs Timer1 until it switches itself off; returns the ticks taken.
    int runTransfer(int limit = 1000)
    {
        int ticks = 0;
        for (; protocol.timerEnabled(ProtocolTimer::Timer1) && ticks < limit; ++ticks)
            protocol.Timer1Timer();
        return ticks;
    }
};

/// A protocol over fakes with two outputs and two inputs in the lists.
struct ProtocolRig : Rig<FakeLink> {
    ProtocolRig() { settings.setPortNames({ "out A", "out B" }, { "in A", "in B" }); }

    void choosePorts()
    {
        protocol.chooseOutput(1);
        protocol.chooseInput(0);
        now += std::chrono::milliseconds(settings.delay);
        protocol.Timer5Timer(); // the second query is due
        link.messages.clear(); // the configuration queries
        link.devices.clear();
    }
};

} // namespace kestrow::testing
