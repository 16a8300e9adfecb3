#pragma once

#include "link/midi_ports.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace kestrow::test {

/// One message put to an output: the device and its bytes (data1 of each
/// SysEx event, or status and data1 of a channel message).
struct PutMessage {
    int device = -1;
    std::vector<std::uint8_t> bytes;
};

/// Ports without hardware: two outputs and one input that record what the
/// protocol does with them. `outputs` and `inputs` are the devices there now;
/// a kept port (refreshNames) is listed after them and cannot be opened.
class FakePorts : public MidiPorts {
public:
    std::vector<std::string> outputs { "Test Out A", "Test Out B" };
    std::vector<std::string> inputs { "Test In" };
    std::string keptOutput;
    std::string keptInput;
    std::vector<PutMessage> puts;
    std::set<int> openedOutputs;
    int outputOpens = 0;
    int inputOpened = -1;
    /// Written to, it tells the window that the ports changed.
    int changes = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~FakePorts() override { ::close(changes); }
    int changeDescriptor() override { return changes; }
    std::uint32_t changeCount() override
    {
        std::uint64_t count = 0;
        return ::read(changes, &count, sizeof count) > 0 ? static_cast<std::uint32_t>(count) : 0;
    }

    std::vector<std::string> systemStatus() const override { return { "Test MIDI: ready" }; }
    std::vector<std::string> outputNames() const override { return withKept(outputs, keptOutput); }
    std::vector<std::string> inputNames() const override { return withKept(inputs, keptInput); }
    void refreshNames(const std::string& keepOutput, const std::string& keepInput) override
    {
        keptOutput = keepOutput;
        keptInput = keepInput;
    }
    bool outputPresent(int device) override { return device < std::ssize(outputs); }
    bool inputPresent(int device) override { return device < std::ssize(inputs); }
    bool outputIsOpen(int device) const override { return openedOutputs.count(device) > 0; }
    PortResult openOutput(int device) override
    {
        if (!outputPresent(device))
            return PortResult::failure("output not there");
        openedOutputs.insert(device);
        ++outputOpens;
        return PortResult::success();
    }
    PortResult put(int device, std::span<const MidiEvent> events) override
    {
        PutMessage message { device, {} };
        for (const MidiEvent& e : events) {
            if (e.status != 0xF0)
                message.bytes.push_back(e.status);
            message.bytes.push_back(e.data1);
        }
        puts.push_back(message);
        return PortResult::success();
    }
    void closeInput() override { inputOpened = -1; }
    PortResult openInput(int device) override
    {
        if (!inputPresent(device))
            return PortResult::failure("input not there");
        inputOpened = device;
        return PortResult::success();
    }

    static std::vector<std::string> withKept(
        std::vector<std::string> names, const std::string& kept)
    {
        if (!kept.empty() && std::find(names.begin(), names.end(), kept) == names.end())
            names.push_back(kept);
        return names;
    }

    /// The device replying, byte by byte, on the open input.
    void reply(const std::vector<std::uint8_t>& bytes)
    {
        for (std::uint8_t b : bytes)
            onInput(MidiEvent { 0, 0xF0, b, 0, 0 });
    }
    /// Messages of a given length (10 = requests and queries, 58/26/10 = dump parts).
    std::vector<PutMessage> sysex(std::size_t length) const
    {
        return where([&](const auto& bytes) { return bytes.size() == length && bytes[0] == 0xF0; });
    }
    std::vector<PutMessage> programChanges() const
    {
        return where([](const auto& bytes) { return !bytes.empty() && (bytes[0] & 0xF0) == 0xC0; });
    }
    template <class Keep> std::vector<PutMessage> where(Keep keep) const
    {
        std::vector<PutMessage> found;
        std::ranges::copy_if(puts, std::back_inserter(found), keep, &PutMessage::bytes);
        return found;
    }
};

} // namespace kestrow::test
