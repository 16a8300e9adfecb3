// The dump decoder against the encoder: SysEx bytes of a dump file decoded
// into the bank, encoded again in the file layout and decoded once more give
// the same presets, and every data byte the encoder writes is 7 bits wide.
//
// Input: one byte choosing the decoding (every preset where it says, one
// target preset, or a run of four), one naming the target or the run's
// start, then the dump file's SysEx bytes.
#include "fuzz/fuzz_support.h"
#include "midi/midi_smf.h"
#include "protocol/dump_encoder.h"
#include "storage/preset_files.h"

#include <algorithm>

using namespace kestrow;

namespace {

constexpr std::int32_t kDataMask = 0x7F;

bool sameNumbers(const Preset& x, const Preset& y)
{
    return x.channel == y.channel && x.eventType == y.eventType
        && x.fixedParameter == y.fixedParameter && x.initValue == y.initValue;
}

/// Every message starts with F0, ends with F7 and carries only data bytes between.
bool wellFormed(std::span<const MidiEvent> events)
{
    bool inside = false;
    for (const MidiEvent& e : events) {
        if (e.status != 0xF0)
            return false;
        if (!inside) {
            if (e.data1 != 0xF0)
                return false;
            inside = true;
        } else if (e.data1 == 0xF7) {
            inside = false;
        } else if (e.data1 > kDataMask) {
            return false;
        }
    }
    return !inside;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::check;
    static TMidiSMF smf; // never opened: only dumpBytes is decoded
    static const PresetBank fresh;
    static PresetBank bank;
    static PresetBank again;
    static const DeviceVariant variant = DeviceVariant::zembraControl;
    static PresetFiles files(bank, smf, variant);
    static PresetFiles reread(again, smf, variant);
    static std::vector<MidiEvent> buffer(kSendBufferSize);
    if (size < 2)
        return 0;

    const int mode = data[0];
    const int target = data[1] % kPresetCount;
    const auto dump = std::span(data + 2, size - 2);
    const int count = static_cast<int>(std::min<std::size_t>(dump.size(), kDumpCapacity));
    std::copy_n(dump.begin(), count, files.dumpBytes.begin());
    if (mode % 3 == 2)
        files.applyDumpToRun(count, target, 4);
    else
        files.applyDump(count, mode % 3 == 0 ? -1 : target);

    // Only the presets the dump changed are encoded: the others are the same
    // either way.
    for (std::size_t p = 0; p < kPresetCount; ++p)
        bank.presetMask[p] = !sameNumbers(bank.presets[p], fresh.presets[p]);
    const int encoded
        = encodeMaskedPresets(bank, DeviceVariant::zembraDial, { true, true, false }, buffer);
    const auto events = std::span<const MidiEvent>(buffer).first(static_cast<std::size_t>(encoded));
    check(wellFormed(events), "dump: the encoder wrote a malformed message");
    std::transform(events.begin(), events.end(), reread.dumpBytes.begin(),
        [](const MidiEvent& e) { return std::int32_t { e.data1 }; });
    reread.applyDump(encoded, -1);
    for (std::size_t p = 0; p < kPresetCount; ++p)
        check(sameNumbers(bank.presets[p], again.presets[p]),
            "dump: decoding what was encoded gives other presets");
    for (std::size_t p = 0; p < kPresetCount; ++p) {
        if (bank.presetMask[p])
            bank.presets[p] = again.presets[p] = fresh.presets[p];
    }
    return 0;
}
