// The driver library's output port without a MIDI system, and its use of an
// RtMidi port (through stand-ins that record the calls).

#include "platform/mididrv/output_port.h"
#include "platform/mididrv/rtmidi_connections.h"

#include <gtest/gtest.h>

#include <array>

using namespace kestrow::mididrv;

namespace {

using Bytes = std::vector<std::uint8_t>;

/// Records what it sends, or refuses everything while `refuse` is set.
struct RecordingConnection : OutputConnection {
    RecordingConnection(std::vector<Bytes>& s, bool& r)
        : sent(s)
        , refuse(r)
    {
    }
    bool send(std::span<const std::uint8_t> message) override
    {
        if (!refuse)
            sent.emplace_back(message.begin(), message.end());
        return !refuse;
    }
    std::vector<Bytes>& sent;
    bool& refuse;
};

MidiDrvEvent sysEx(std::uint8_t byte) { return { 0, 0xF0, byte, 0, 0 }; }

} // namespace

TEST(DriverOutput, StrayBytesAreDroppedAndSaidSoAndRefusedMessagesReported)
{
    std::vector<Bytes> sent;
    bool refuse = false;
    OutputPort port(std::make_unique<RecordingConnection>(sent, refuse));
    const Bytes request { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x26, 0x05, 0x00, 0xF7 };
    const auto putAll = [&port](const Bytes& bytes) {
        std::vector<std::uint16_t> results;
        for (std::uint8_t b : bytes)
            results.push_back(port.put(sysEx(b)));
        return results;
    };

    // Outside F0..F7 a byte goes nowhere and is not passed off as taken.
    EXPECT_EQ(port.put(sysEx(0x20)), MIDIDRV_PUT_NOT_MIDI);
    EXPECT_EQ(putAll(request), std::vector<std::uint16_t>(request.size(), MIDIDRV_PUT_TAKEN));
    EXPECT_EQ(port.put(sysEx(0x7F)), MIDIDRV_PUT_NOT_MIDI);
    EXPECT_EQ(port.put(sysEx(0xF7)), MIDIDRV_PUT_NOT_MIDI);
    EXPECT_EQ(port.put({ 0, 0x45, 1, 2, 0 }), MIDIDRV_PUT_NOT_MIDI); // no status byte
    EXPECT_EQ(port.put({ 0, 0xC3, 0x85, 0, 0 }), MIDIDRV_PUT_TAKEN);
    EXPECT_EQ(sent, (std::vector<Bytes> { request, { 0xC3, 0x05 } }));

    // A message the MIDI system does not take fails at its last byte.
    refuse = true;
    std::vector<std::uint16_t> expected(request.size(), MIDIDRV_PUT_TAKEN);
    expected.back() = MIDIDRV_PUT_NOT_SENT;
    EXPECT_EQ(putAll(request), expected);
    EXPECT_EQ(port.put({ 0, 0x90, 60, 100, 0 }), MIDIDRV_PUT_NOT_SENT);
    EXPECT_EQ(sent.size(), 2u);
}

namespace {

/// What the backend calls on an RtMidiIn / RtMidiOut, recorded.
struct FakePort {
    RtMidiErrorCallback errorCallback = nullptr;
    void* errorData = nullptr;
    std::vector<std::string> calls;
    bool failSend = false;

    void setErrorCallback(RtMidiErrorCallback callback, void* data)
    {
        errorCallback = callback;
        errorData = data;
    }
    void report(const std::string& text) { errorCallback(RtMidiError::WARNING, text, errorData); }
    void closePort() { calls.push_back("close"); }
};

struct FakeIn : FakePort {
    std::array<bool, 3> ignored { true, true, true };
    RtMidiIn::RtMidiCallback callback = nullptr;
    void* userData = nullptr;

    void ignoreTypes(bool sysEx, bool timing, bool sensing)
    {
        ignored = { sysEx, timing, sensing };
        calls.push_back("ignoreTypes");
    }
    void setCallback(RtMidiIn::RtMidiCallback cb, void* data)
    {
        callback = cb;
        userData = data;
        calls.push_back("setCallback");
    }
    void cancelCallback() { calls.push_back("cancel"); }
};

struct FakeOut : FakePort {
    void sendMessage(const unsigned char*, std::size_t)
    {
        if (failSend)
            report("error sending MIDI message to port");
    }
};

struct RecordingSink : InputSink {
    std::vector<Bytes> messages;
    void received(std::span<const std::uint8_t> message) override
    {
        messages.emplace_back(message.begin(), message.end());
    }
};

} // namespace

TEST(RtMidiConnections, InputIsOpenedWithSysExOnAndFailuresAreNotSwallowed)
{
    RecordingSink sink;
    auto owned = std::make_unique<FakeIn>();
    FakeIn& in = *owned;
    auto input = rtmidi::openInput<FakeIn>(
        std::move(owned), [](FakeIn& port) { return port.calls.push_back("open"), true; }, sink);
    ASSERT_TRUE(input);
    EXPECT_EQ(in.ignored, (std::array { false, false, false })); // SysEx, timing, sensing
    EXPECT_EQ(in.calls, (std::vector<std::string> { "ignoreTypes", "setCallback", "open" }));
    std::vector<unsigned char> reply { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x00, 1, 12, 0xF7 };
    in.callback(0.0, &reply, in.userData);
    EXPECT_EQ(sink.messages, (std::vector<Bytes> { Bytes(reply.begin(), reply.end()) }));

    // A failure RtMidi reports while opening fails the open.
    EXPECT_FALSE(rtmidi::openOutput<FakeOut>(std::make_unique<FakeOut>(), [](FakeOut& port) {
        port.report("MidiOutAlsa::openPort: error creating ALSA sequencer port.");
        return true;
    }));
    EXPECT_FALSE(rtmidi::openInput<FakeIn>(
        std::make_unique<FakeIn>(), [](FakeIn&) { return false; }, sink));

    // ... and while sending, fails that send only.
    auto ownedOut = std::make_unique<FakeOut>();
    FakeOut& out = *ownedOut;
    auto output = rtmidi::openOutput<FakeOut>(std::move(ownedOut), [](FakeOut&) { return true; });
    ASSERT_TRUE(output);
    const Bytes note { 0x90, 60, 100 };
    std::vector<bool> results;
    for (bool fail : { false, true, false }) {
        out.failSend = fail;
        results.push_back(output->send(note));
    }
    EXPECT_EQ(results, (std::vector<bool> { true, false, true }));
}
