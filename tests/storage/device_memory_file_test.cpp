#include "storage/device_memory_file.h"

#include <gtest/gtest.h>

using namespace kestrow;

namespace {

TEST(DeviceMemoryFile, ReadsBackWhatItWroteAndLeavesDamagedLinesUnknown)
{
    DeviceMemory memory;
    HeldPreset both;
    both.data = PresetDataBytes {};
    both.data->fill(0x7F);
    both.initValues = InitValueBytes {};
    (*both.initValues)[15] = 0x12;
    HeldPreset dataOnly;
    dataOnly.data = PresetDataBytes { 1, 2, 3 };
    memory.setHeld(0, both);
    memory.setHeld(127, dataOnly);
    const std::string text = encodeDeviceMemory(memory);
    const DeviceMemory back = decodeDeviceMemory(text);
    for (int p = 0; p < kPresetCount; ++p)
        EXPECT_EQ(back.held(p), memory.held(p)) << p;

    const std::string line128 = text.substr(text.rfind("128 "));
    const std::pair<std::string, bool> damaged[] = {
        { text, true },
        { "Kestrow device memory 2\n" + line128, false }, // a later format
        { "Kestrow device memory 1\n129" + line128.substr(3), false },
        { "Kestrow device memory 1\n" + line128.substr(0, line128.size() - 4) + "\n", false },
        { "Kestrow device memory 1\n128 " + std::string(96, '8') + " -\n", false }, // above 7F
        { "Kestrow device memory 1\n" + line128.substr(0, line128.size() - 1) + " x\n", false },
    };
    for (const auto& [file, known] : damaged)
        EXPECT_EQ(decodeDeviceMemory(file).held(127).data.has_value(), known) << file;
}

} // namespace
