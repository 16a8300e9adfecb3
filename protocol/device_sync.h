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
    findDelay, ///< the shortest Delay at which the device keeps every message
};

/// The Delay is never set below the time the longest message (preset data,
/// 58 bytes at 31,250 baud) takes on a MIDI cable, in milliseconds.
constexpr int kWireTimeDelay = 19;
/// Messages of one fastest-Delay probe: the device must keep the last.
constexpr int kProbeMessages = 6;

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
    int delayFound = 0; ///< findDelay: the Delay set, ms; 0 when none was found
    int probePreset = -1; ///< findDelay: the preset used, 0..127
    bool probeRestored = true; ///< findDelay: that preset is back as it was

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
    /// "Find Fastest Delay": preset 0..127 of the device and the one after it
    /// are read, then sent changed, in turn, in bursts at ever shorter Delays
    /// and read back, and at last put back as they were (at the Delay it had).
    /// A lost message leaves one of them short of its last change. The shortest Delay at which
    /// the device kept every message becomes the Delay.
    SyncStart findFastestDelay(int presetIndex);
    /// Whether a read-back or the Delay search runs transfers of its own.
    bool drivesTransfers() const { return m_proof.has_value() || m_search.has_value(); }
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

    /// The fastest-Delay search: what it read, and the Delays tried.
    struct DelaySearch {
        int preset = 0; ///< the probes go to it and the preset after it, in turn
        int userDelay = 200; ///< the Delay before the search, known to work
        std::vector<Preset> original; ///< the two presets as the device held them
        int failing = kWireTimeDelay - 1; ///< a Delay known too short
        int keeping = 200; ///< a Delay known to keep every message
        int trying = 0;
        int probes = 0;
        int restores = 0; ///< times the two were sent back
        enum class Step { reading, probing, restoring } step = Step::reading;
    };
    std::optional<SyncReport> searchStep(const SyncReport& read);
    std::optional<SyncReport> endSearch(bool restored);
    void fetchProbePreset();

    std::optional<PresetFetch> m_fetch;
    SyncJob m_job = SyncJob::getAll;
    bool m_verifyPending = false;
    std::optional<Proof> m_proof;
    std::optional<DelaySearch> m_search;
    bool m_searchSending = false; ///< a probe or the restore is on its way
    bool m_resending = false; ///< the transfer running is the proof's own
    std::array<bool, kPresetCount> m_transferSent {}; ///< presets of the transfer running
    int m_shownPreset = -1;
    int m_shownCount = 0; ///< presets asked for so far, for the status line
};

} // namespace kestrow
