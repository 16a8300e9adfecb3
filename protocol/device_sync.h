#pragma once

#include "core/bank_diff.h"
#include "core/catalogue.h"
#include "protocol/device_memory.h"
#include "protocol/device_protocol.h"
#include "protocol/preset_fetch.h"

#include <array>
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

enum class SyncJob {
    getAll,
    verify,
    send, ///< a send read back, and what differed sent again
};

/// Rounds of a send proving itself: it is read back, and what differs is
/// sent again and read back, this many times at most.
constexpr int kSendPasses = 5;

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
    bool notVerified = false; ///< send: nothing was read back (no input port)

    /// True when every preset asked answered (and, for a verify, matched).
    bool ok() const { return !cancelled && !notVerified && noReply.empty() && differing.empty(); }
    /// Send: the presets not on the device as sent (differing or silent), ascending.
    std::vector<int> missing() const;
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
    /// The tree's mark for preset 0..127.
    DeviceMark mark(int presetIndex) const;
    /// Another device was chosen: nothing is known of it, and a send's
    /// read-back in progress ends.
    void forgetDevice();

    /// All 128 presets, with init values on a zembraDial.
    SyncStart getAllPresets();
    /// All presets, or only those sent since the last verify.
    SyncStart verifyDevice(bool onlySentSinceVerify);
    /// The given presets (0..127), in this order.
    SyncStart verifyPresets(std::vector<int> presetIndices);
    /// The presets that differ from the device, paced, the Program Change after them.
    SyncStart sendChangedPresets();
    /// Read back a single preset's send too (a send of several always is,
    /// when an input port is chosen).
    bool verifyAfterSend = false;
    /// Whether a send's read-back (and resends) is running or due.
    bool proving() const { return m_proof.has_value(); }

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
    /// A send proving itself: what it sent, and the round it is in.
    struct Proof {
        std::vector<int> sent; ///< every preset of the send, ascending
        std::vector<int> checking; ///< the presets this round reads back
        std::vector<int> verified;
        int round = 0;
    };
    std::optional<SyncReport> startProofRound();
    std::optional<SyncReport> endProofRound(const SyncReport& verify);

    std::optional<PresetFetch> m_fetch;
    SyncJob m_job = SyncJob::getAll;
    bool m_verifyPending = false;
    std::optional<Proof> m_proof;
    bool m_resending = false; ///< the transfer running is the proof's own
    std::array<bool, kPresetCount> m_transferSent {}; ///< presets of the transfer running
    int m_shownPreset = -1;
    int m_shownCount = 0; ///< presets asked for so far, for the status line
};

} // namespace kestrow
