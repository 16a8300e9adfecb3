#include "protocol/device_memory.h"

#include <algorithm>

namespace kestrow {

namespace {

    template <std::size_t N> std::array<std::uint8_t, N> toArray(const std::vector<std::uint8_t>& v)
    {
        std::array<std::uint8_t, N> out {};
        std::copy_n(v.begin(), std::min(N, v.size()), out.begin());
        return out;
    }

    bool valid(int presetIndex) { return presetIndex >= 0 && presetIndex < kPresetCount; }

} // namespace

PresetDataBytes presetDataBytes(const Preset& preset)
{
    return toArray<dump::kPresetDataPayload>(presetDataFrame(preset, 0).payload);
}

InitValueBytes initValueBytes(const Preset& preset)
{
    return toArray<dump::kInitValuesPayload>(initValuesFrame(preset, 0).payload);
}

void DeviceMemory::messageSent(std::span<const std::uint8_t> message)
{
    const DecodedFrame decoded = decodeFrame(message, FrameBounds::wholeMessage);
    if (!decoded.carriesPreset())
        return;
    store(decoded);
    m_sentSinceVerify[decoded.frame.firstParam] = true;
}

void DeviceMemory::replyReceived(const DecodedFrame& reply)
{
    if (!reply.carriesPreset())
        return;
    store(reply);
    m_sentSinceVerify[reply.frame.firstParam] = false; // what it holds, from itself
}

void DeviceMemory::store(const DecodedFrame& frame)
{
    HeldPreset& held = m_held[frame.frame.firstParam];
    if (frame.kind == FrameKind::presetData)
        held.data = toArray<dump::kPresetDataPayload>(frame.frame.payload);
    else
        held.initValues = toArray<dump::kInitValuesPayload>(frame.frame.payload);
}

bool DeviceMemory::differs(const Preset& preset, int presetIndex, DeviceVariant variant) const
{
    if (!valid(presetIndex))
        return false;
    const HeldPreset& held = m_held[static_cast<std::size_t>(presetIndex)];
    if (!held.data || *held.data != presetDataBytes(preset))
        return true;
    return variant == DeviceVariant::zembraDial
        && (!held.initValues || *held.initValues != initValueBytes(preset));
}

DeviceMark DeviceMemory::mark(const Preset& preset, int presetIndex, DeviceVariant variant) const
{
    if (!valid(presetIndex) || !m_held[static_cast<std::size_t>(presetIndex)].data)
        return DeviceMark::unknown;
    if (differs(preset, presetIndex, variant))
        return DeviceMark::differs;
    return m_sentSinceVerify[static_cast<std::size_t>(presetIndex)] ? DeviceMark::sent
                                                                    : DeviceMark::verified;
}

std::vector<int> DeviceMemory::changedPresets(const PresetBank& bank, DeviceVariant variant) const
{
    std::vector<int> out;
    for (int p = 0; p < kPresetCount; ++p) {
        if (differs(bank.presets[static_cast<std::size_t>(p)], p, variant))
            out.push_back(p);
    }
    return out;
}

std::vector<int> DeviceMemory::sentSinceVerify() const
{
    std::vector<int> out;
    for (int p = 0; p < kPresetCount; ++p) {
        if (m_sentSinceVerify[static_cast<std::size_t>(p)])
            out.push_back(p);
    }
    return out;
}

void DeviceMemory::verified(int presetIndex)
{
    if (valid(presetIndex))
        m_sentSinceVerify[static_cast<std::size_t>(presetIndex)] = false;
}

const HeldPreset& DeviceMemory::held(int presetIndex) const
{
    return m_held[static_cast<std::size_t>(std::clamp(presetIndex, 0, kPresetCount - 1))];
}

void DeviceMemory::setHeld(int presetIndex, const HeldPreset& held)
{
    if (!valid(presetIndex))
        return;
    m_held[static_cast<std::size_t>(presetIndex)] = held;
    m_sentSinceVerify[static_cast<std::size_t>(presetIndex)] = held.data.has_value();
}

} // namespace kestrow
