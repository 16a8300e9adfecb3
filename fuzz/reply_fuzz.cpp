// The reply collector driving the protocol. A device's byte stream arrives
// one event per SysEx byte; other senders' channel and realtime messages may
// come in between any two. With them the editor must end exactly where the
// bare stream leaves it, and every value a reply stores is 7 bits wide.
//
// Input: four bytes seeding where other messages and the editor's own
// commands come in, then the stream.
#include "fuzz/fuzz_support.h"
#include "protocol/device_protocol.h"

#include <string>

using namespace kestrow;

namespace {

/// Ports that are always open and answer nothing.
class QuietLink : public DeviceLink {
public:
    bool outputIsOpen(int) const override { return true; }
    PortResult openOutput(int) override { return PortResult::success(); }
    PortResult put(int, std::span<const MidiEvent> events) override
    {
        sent += events.size();
        return PortResult::success();
    }
    void closeInput() override { }
    PortResult openInput(int) override { return PortResult::success(); }

    std::size_t sent = 0;
};

/// Everything the protocol asks of the window, in order.
class LogHost : public ProtocolHost {
public:
    void scheduleChanged() override { note('t', 0); }
    void setCaption(const std::string& caption) override { log += caption + '\n'; }
    void refreshKnobTable(int preset) override { note('r', preset); }
    void deviceSettingsChanged() override { note('s', 0); }
    void showStatus(const std::string& text) override { log += text + '\n'; }

    std::string log;

private:
    void note(char what, int value) { log += what + std::to_string(value) + '\n'; }
};

struct Editor {
    explicit Editor(DeviceVariant variant)
    {
        settings.setPortNames({ "out" }, { "in" });
        protocol.chooseOutput(0);
        protocol.chooseInput(0);
        protocol.setDeviceVariant(variant);
    }
    void receive(std::uint8_t status, std::uint8_t data1, std::uint8_t data2 = 0)
    {
        protocol.replyCollector({ 0, status, data1, data2, 0 });
    }
    void command(std::uint32_t r)
    {
        bank.selectedPreset = static_cast<std::int32_t>(r >> 8) % kPresetCount;
        if (r % 4 == 0)
            static_cast<void>(protocol.getPreset());
        else if (r % 4 == 1)
            protocol.getInitValues();
        else if (r % 4 == 2)
            protocol.reopenInputAndRequestConfiguration();
        else
            protocol.Timer3Timer();
    }
    bool sameAs(const Editor& o) const
    {
        return bank.presets == o.bank.presets && settings.versionText == o.settings.versionText
            && settings.masterChannelText == o.settings.masterChannelText
            && settings.thruFlags() == o.settings.thruFlags() && host.log == o.host.log
            && link.sent == o.link.sent;
    }

    PresetBank bank;
    DeviceSettingsModel settings;
    QuietLink link;
    LogHost host;
    DeviceProtocol protocol { bank, settings, link, host };
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::uint32_t state
        = (data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t { data[3] } << 24) | 1;
    const auto random = [&state] { // xorshift32
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const auto variant = static_cast<DeviceVariant>(data[0] % 3);
    Editor bare(variant);
    Editor busy(variant);
    for (std::uint8_t byte : std::span(data + 4, size - 4)) {
        const std::uint32_t r = random();
        if ((r & 0x3F) == 0) {
            bare.command(r >> 6);
            busy.command(r >> 6);
        }
        if ((r & 0x07) == 1) {
            const auto b = static_cast<std::uint8_t>(r >> 16);
            switch ((r >> 8) % 3) {
            case 0: // a channel message of another sender
                busy.receive(
                    static_cast<std::uint8_t>(0x80 + b % 0x70), (r >> 24) & 0x7F, b & 0x7F);
                break;
            case 1: // realtime inside the SysEx run
                busy.receive(0xF0, static_cast<std::uint8_t>(0xF8 + b % 8));
                break;
            default: // realtime as its own event
                busy.receive(static_cast<std::uint8_t>(0xF8 + b % 8), 0);
                break;
            }
        }
        bare.receive(0xF0, byte);
        busy.receive(0xF0, byte);
    }
    fuzz::check(busy.sameAs(bare), "reply: other messages in the stream changed the outcome");
    for (const Preset& p : bare.bank.presets)
        for (const auto* column : { &p.channel, &p.eventType, &p.fixedParameter, &p.initValue })
            for (std::int32_t value : *column)
                fuzz::check(value >= 0 && value <= 0x7F, "reply: a stored value is not 7 bits");
    return 0;
}
