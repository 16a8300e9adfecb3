#pragma once

#include "core/bank_diff.h"
#include "core/catalogue.h"
#include "protocol/device_memory.h"
#include "protocol/device_protocol.h"
#include "protocol/preset_fetch.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

inline constexpr char kVerifyingPresetCaption[] = "Verifying Preset:";

/// Whether a device command started; when not, why.
struct [[nodiscard]] SyncStart {
    PortCheck ports; ///< a port missing: show its warning; nothing started
    std::string note; ///< nothing to do or a transfer running; nothing started

    bool started() const { return !ports.abandon() && note.empty(); }
};

enum class SyncJob { getAll, verify };

/// How a fetch or verify ended.
struct SyncReport {
    SyncJob job = SyncJob::getAll;
    bool cancelled = false;
    int asked = 0; ///< presets the job meant to ask for
    std::vector<FetchedPreset> fetched; ///< Get All: the replies to take in
    std::vector<int> matching; ///< verify: presets the device holds as they are here
    std::vector<PresetDifference> differing; ///< verify: ours against the device's
    std::vector<std::string>
        differenceLines; ///< verify: "preset 7 / knob 3 event: ..." (Windows-1252)
    std::vector<int> noReply;

    /// True when every preset asked answered (and, for a verify, matched).
    bool ok() const { return !cancelled && noReply.empty() && differing.empty(); }
    /// A short report, one line each (Windows-1252).
    std::vector<std::string> lines() const;
};

/// 1-based numbers, runs of three or more joined: "17, 90", "4-9, 12".
std::string presetListText(const std::vector<int>& presetIndices);

/// Stores the fetched payloads into the presets they name (names stay);
/// returns the presets changed, ascending and once each.
std::vector<int> applyFetched(PresetSet& presets, const std::vector<FetchedPreset>& fetched);

/// What the device holds and the commands built on it: "Get All Presets",
/// "Send Changed Presets" and "Verify Device". Watches the protocol's traffic
/// (set it as the protocol's observer) and runs one fetch at a time, driven
/// by tick() with the time of a steady clock in milliseconds.
class DeviceSync : public ProtocolObserver {
public:
    DeviceSync(DeviceProtocol& protocol, PresetBank& bank, const DeviceSettingsModel& settings,
        const Catalogue& catalogue, ProtocolHost& host);

    DeviceMemory& memory() { return m_memory; }
    const DeviceMemory& memory() const { return m_memory; }
    /// Whether the working copy of preset 0..127 differs from the device (unknown counts).
    bool differsFromDevice(int presetIndex) const;

    /// All 128 presets, with init values on a zembraDial.
    SyncStart getAllPresets();
    /// All presets, or only those sent since the last verify.
    SyncStart verifyDevice(bool onlySentSinceVerify);
    /// The given presets (0..127), in this order.
    SyncStart verifyPresets(std::vector<int> presetIndices);
    /// The presets that differ from the device, paced, the Program Change after them.
    SyncStart sendChangedPresets();
    /// Verify, quietly, the presets of each paced transfer once it has ended.
    bool verifyAfterSend = false;

    /// Puts the next request when it is due; the report when the job ended now.
    std::optional<SyncReport> tick(std::int64_t now);
    /// Ends the job at the next tick (the replies so far are kept).
    void cancel();
    bool busy() const { return m_fetch.has_value(); }

    // ProtocolObserver
    void messageSent(std::span<const MidiEvent> message) override;
    bool presetReply(const DecodedFrame& reply) override;
    void transferEnded() override;

private:
    SyncStart start(SyncJob job, std::vector<int> presets, bool initValues);
    SyncReport finish();
    std::string caption(int presetIndex) const;

    DeviceProtocol& m_protocol;
    PresetBank& m_bank;
    const DeviceSettingsModel& m_settings;
    const Catalogue& m_catalogue;
    ProtocolHost& m_host;
    DeviceMemory m_memory;
    std::optional<PresetFetch> m_fetch;
    SyncJob m_job = SyncJob::getAll;
    bool m_verifyPending = false;
    int m_shownPreset = -1;
    int m_shownCount = 0; ///< presets asked for so far, for the status line
};

} // namespace kestrow
