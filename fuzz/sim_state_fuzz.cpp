// The emulator's state file: a file it refuses leaves the device as it was;
// a state it takes saves and loads back unchanged.
#include "fuzz/fuzz_support.h"
#include "sim/zembra_device.h"

using namespace kestrow;

namespace {

bool sameState(const sim::ZembraDevice& a, const sim::ZembraDevice& b)
{
    for (int p = 0; p < sim::ZembraDevice::kProgramCount; ++p)
        if (!(a.preset(p) == b.preset(p)))
            return false;
    return a.thruFlags() == b.thruFlags() && a.masterChannel() == b.masterChannel()
        && a.currentProgram() == b.currentProgram();
}

/// A device whose state differs from power-on in every kind of record.
sim::ZembraDevice usedDevice()
{
    sim::ZembraDevice device(sim::Variant::dial);
    sim::DevicePreset preset;
    preset.channel.fill(3);
    preset.initValue.fill(64);
    device.setPreset(5, preset);
    device.receive(
        std::vector<std::uint8_t> { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x50, 0x05, 0x09, 0xF7 });
    device.receive(std::vector<std::uint8_t> { 0xC9, 0x11 });
    return device;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const sim::ZembraDevice used = usedDevice();
    const auto path = fuzz::scratchFolder() / "device.state";
    const auto saved = fuzz::scratchFolder() / "saved.state";
    fuzz::writeFile(path, std::span(data, size));

    sim::ZembraDevice device = used;
    if (!device.loadState(path)) {
        fuzz::check(sameState(device, used), "sim state: a refused file changed the device");
        return 0;
    }
    fuzz::check(device.saveState(saved), "sim state: cannot save");
    sim::ZembraDevice again = used;
    fuzz::check(again.loadState(saved) && sameState(again, device),
        "sim state: a saved state does not load back the same");
    return 0;
}
