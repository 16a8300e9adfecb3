#pragma once

#include "device_protocol.h"
#include "dump_frame.h"
#include "sim/zembra_device.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrow::testing {

/// Ports in memory: records every message put; optionally hands it to an
/// emulated device whose replies come back through `deliver`.
class FakeLink : public DeviceLink {
public:
    bool outputIsOpen(int device) const override { return openOutputs.count(device) > 0; }
    bool openOutput(int device) override
    {
        ++outputOpens;
        if (failOpen)
            return false;
        openOutputs.insert({ device, true });
        return true;
    }
    void put(int device, std::span<const MidiEvent> events) override
    {
        messages.emplace_back(events.begin(), events.end());
        devices.push_back(device);
        if (emulator) {
            std::vector<std::uint8_t> bytes;
            for (const MidiEvent& e : events) {
                if (e.status == 0xF0) {
                    bytes.push_back(e.data1);
                } else {
                    bytes.push_back(e.status);
                    bytes.push_back(e.data1);
                    if ((e.status & 0xF0) != 0xC0 && (e.status & 0xF0) != 0xD0)
                        bytes.push_back(e.data2);
                }
            }
            for (const auto& reply : emulator->receive(bytes))
                if (deliver)
                    for (const MidiEvent& e : sysExEvents(reply))
                        deliver(e);
        }
    }
    void closeInput() override { ++inputCloses; }
    bool openInput(int device) override
    {
        openedInputs.push_back(device);
        return true;
    }

    std::vector<std::uint8_t> bytesOf(std::size_t message) const
    {
        return sysExBytes(messages.at(message));
    }

    std::map<int, bool> openOutputs;
    bool failOpen = false;
    int outputOpens = 0;
    int inputCloses = 0;
    std::vector<int> openedInputs;
    std::vector<std::vector<MidiEvent>> messages;
    std::vector<int> devices;
    sim::ZembraDevice* emulator = nullptr;
    std::function<void(const MidiEvent&)> deliver;
};

/// Records what the protocol asks of the window.
class FakeHost : public ProtocolHost {
public:
    void setTimerEnabled(ProtocolTimer timer, bool enabled) override { timers[timer] = enabled; }
    void setTimerInterval(ProtocolTimer timer, int ms) override { intervals[timer] = ms; }
    void setCaption(const std::string& caption) override { captions.push_back(caption); }
    void refreshKnobTable(int presetIndex) override { refreshed.push_back(presetIndex); }
    void deviceSettingsChanged() override { ++settingsChanges; }

    std::map<ProtocolTimer, bool> timers;
    std::map<ProtocolTimer, int> intervals;
    std::vector<std::string> captions;
    std::vector<int> refreshed;
    int settingsChanges = 0;
};

/// A protocol over fakes with two outputs and two inputs in the lists.
struct ProtocolRig {
    PresetBank bank;
    DeviceSettingsModel settings;
    FakeLink link;
    FakeHost host;
    DeviceProtocol protocol { bank, settings, link, host };

    ProtocolRig() { settings.setPortNames({ "out A", "out B" }, { "in A", "in B" }); }

    void choosePorts()
    {
        protocol.chooseOutput(1);
        protocol.chooseInput(0);
        link.messages.clear(); // the configuration queries
        link.devices.clear();
    }

    /// Runs Timer1 until it switches itself off; returns the ticks taken.
    int runTransfer(int limit = 1000)
    {
        int ticks = 0;
        while (protocol.timerEnabled(ProtocolTimer::Timer1) && ticks < limit) {
            protocol.Timer1Timer();
            ++ticks;
        }
        return ticks;
    }
};

inline std::vector<std::uint8_t> frameBytes(std::initializer_list<std::uint8_t> tail)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(6 + tail.size());
    for (std::uint8_t b : { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00 })
        bytes.push_back(b);
    for (std::uint8_t b : tail)
        bytes.push_back(b);
    return bytes;
}

} // namespace kestrow::testing
