// The emulator's message handling: any message leaves the device in a state
// the hardware can hold, and everything it sends is one whole message, either
// a well-formed reply of its own or the incoming message passed on unchanged.
//
// Input: one byte choosing the variant, then messages, each a length byte
// and that many bytes.
#include "fuzz/fuzz_support.h"
#include "sim/zembra_device.h"

#include <algorithm>

using namespace kestrow;

namespace {

bool isOwnReply(const std::vector<std::uint8_t>& m)
{
    static constexpr std::uint8_t kHeader[] { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00 };
    return m.size() >= 10 && std::equal(std::begin(kHeader), std::end(kHeader), m.begin())
        && m.back() == 0xF7
        && std::all_of(m.begin() + 1, m.end() - 1, [](std::uint8_t b) { return b < 0x80; });
}

bool holdable(const sim::ZembraDevice& device)
{
    for (int p = 0; p < sim::ZembraDevice::kProgramCount; ++p) {
        const sim::DevicePreset& preset = device.preset(p);
        for (const auto* column :
            { &preset.channel, &preset.eventType, &preset.fixedParameter, &preset.initValue })
            if (std::any_of(
                    column->begin(), column->end(), [](std::uint8_t v) { return v > 0x7F; }))
                return false;
    }
    return device.thruFlags() <= 7 && device.masterChannel() >= 1 && device.masterChannel() <= 16
        && device.currentProgram() >= 0 && device.currentProgram() <= 127;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    sim::ZembraDevice device(static_cast<sim::Variant>(data[0] % 3));
    auto input = std::span(data + 1, size - 1);
    while (!input.empty()) {
        const std::size_t length = std::min<std::size_t>(input[0], input.size() - 1);
        const auto message = input.subspan(1, length);
        input = input.subspan(1 + length);
        for (const auto& sent : device.receive(message)) {
            const bool passedOn
                = std::equal(sent.begin(), sent.end(), message.begin(), message.end());
            fuzz::check(passedOn || isOwnReply(sent), "sim: the device sent a malformed message");
        }
    }
    fuzz::check(holdable(device), "sim: the device holds a value it cannot");
    return 0;
}
