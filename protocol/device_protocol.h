#pragma once

#include "core/preset_bank.h"
#include "link/device_link.h"
#include "protocol/device_settings_model.h"
#include "protocol/dump_encoder.h"
#include "protocol/reply_collector.h"
#include "protocol/reply_tracker.h"
#include "protocol/status_text.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrow {

/// The main window's timers that the protocol drives.
enum class ProtocolTimer {
    Timer1, ///< paced sender, interval = delay, off at creation
    Timer3, ///< delayed init values request, 400 ms, off at creation
    Timer4, ///< Program Change after a transfer, interval = delay, ON at creation
    Timer5, ///< watch: reply time-outs, vanished ports and the configuration query, on while needed
};

/// The clock of the paced timers: steady, so a clock change cannot stall or
/// rush a transfer.
using PaceClock = std::chrono::steady_clock;

/// Fixed interval of Timer3, in milliseconds.
constexpr int kInitValuesRequestDelay = 400;
/// Fixed interval of Timer5, in milliseconds.
constexpr int kWatchInterval = 250;
/// A request is given up this long plus the Delay after it was put, in milliseconds.
constexpr int kReplyTimeout = 1000;

/// Which ports a command found missing; the values are the warning's codes.
enum class MissingPorts {
    none = 0,
    output = 1,
    input = 2,
    both = 3,
};

/// Result of checkPorts: with a port missing, show `text` in a box titled
/// "Warning !!!" with an OK button and abandon the command.
struct [[nodiscard]] PortCheck {
    MissingPorts missing = MissingPorts::none;
    std::string text;
    bool abandon() const { return missing != MissingPorts::none; }
};

/// What the protocol asks of the main window. All calls come on the thread
/// that calls DeviceProtocol (the user-interface thread).
class ProtocolHost {
public:
    virtual ~ProtocolHost() = default;
    /// A deadline() changed (a timer went on or off, the delay moved): the
    /// owner of the event loop looks at nextDeadline() again.
    virtual void scheduleChanged() { }
    virtual void setCaption(const std::string& caption) = 0;
    /// Redraw the knob table and tree item from preset 0..127 (refreshKnobTable).
    virtual void refreshKnobTable(int presetIndex) = 0;
    /// The settings model's thru flags, master channel text or version text
    /// changed from a device reply; the dialog re-reads them.
    virtual void deviceSettingsChanged() = 0;
    /// A line for the status line: progress, completion, or why a port, a
    /// transfer or a request failed (texts of status_text.h, naming the port).
    virtual void showStatus(const std::string& text) = 0;
    /// The chosen ports were opened afresh by their names; the owner's port
    /// watch notes which of them are not there.
    virtual void portsOpened() { }
    /// A send is about to start: the owner's port watch binds a lost output
    /// that came back first; false while the output is still gone.
    virtual bool outputWanted() { return true; }
};

/// Watches the protocol's traffic for what the device holds; every call
/// comes on the thread that calls DeviceProtocol.
class ProtocolObserver {
public:
    virtual ~ProtocolObserver() = default;
    /// A whole message went out: the port took every byte of it.
    virtual void messageSent(std::span<const MidiEvent> message) = 0;
    /// A preset data or init values reply for preset 0..127 arrived; true
    /// keeps it out of the working set (someone asked for it on their own).
    virtual bool presetReply(const DecodedFrame& reply) = 0;
    /// The last message of a paced transfer went; its Program Change follows.
    virtual void transferEnded() = 0;
};

/// Sending, pacing, requests and replies, and the settings dialog's device
/// operations. Owns sendBuffer and the reply collector; reads the bank and
/// the settings model; reaches the ports only through DeviceLink.
///
/// Every timer runs from an absolute deadline on the one injected PaceClock:
/// Timer1 (paced sender) and Timer4 (Program Change) are due one delay after
/// their anchor (the last message sent, the end of a transfer, the start of
/// a send or creation), so no two paced messages go closer than the delay and
/// waiting never adds up over a transfer; Timer3 400 ms after "Get Preset";
/// the watch (Timer5) kWatchInterval after its last run. The owner of the
/// event loop wakes up at nextDeadline() and calls tick(); the host's
/// scheduleChanged() says a deadline moved. Every event of the input port
/// goes to replyCollector on the user-interface thread.
class DeviceProtocol {
public:
    /// `clock` stamps the sends and anchors the deadlines (tests pass a fake).
    DeviceProtocol(PresetBank& bank, DeviceSettingsModel& settings, DeviceLink& link,
        ProtocolHost& host, std::function<PaceClock::time_point()> clock = &PaceClock::now);

    // --- sending (single preset, all, four) ---

    /// Code 1 output missing, 2 input missing, 3 both; with the warning text.
    PortCheck checkPorts(bool needOutput, bool needInput) const;
    /// Encodes preset 0..127 into sendBuffer from 0 and starts the paced
    /// sender when the output is usable; no warning. Replaces a running transfer.
    void sendPreset(int presetIndex, bool withPresetData, bool withInitValues);
    /// Menu commands on selectedPreset ("Send All Data", "Send Preset Data
    /// Only", "Send Init Values Only"): checkPorts(output) first.
    PortCheck sendSelectedPreset(bool withPresetData, bool withInitValues);
    /// "Send All Presets".
    PortCheck sendAllPresets();
    /// "Send Banks 1-4": selectedPreset and the three after it, 127 wrapping to 0.
    PortCheck sendBanks();
    /// The given presets (0..127, others ignored), ascending, paced like
    /// "Send All Presets" with the Program Change after them. Nothing is
    /// queued when none is given.
    PortCheck sendPresets(std::span<const int> presetIndices);
    /// These whole messages, paced like "Send All Presets" with the Program
    /// Change after them (the fastest-Delay search sends its own probes).
    PortCheck sendFrames(std::span<const DumpFrame> frames);
    /// Enables Timer1 when the chosen output is there and open; otherwise the
    /// status line says why nothing is sent.
    void startPacedSend();
    /// "send Init Values to zembraDial": the 26-byte message at once, Dial only.
    void sendInitValuesNow();
    /// One Program Change (C0 + master channel - 1) for preset 0..127.
    void sendProgramChange(int presetIndex);

    /// When `timer` is next due; none while it is off.
    std::optional<PaceClock::time_point> deadline(ProtocolTimer timer) const;
    /// The earliest deadline of all four timers; none while all are off.
    std::optional<PaceClock::time_point> nextDeadline() const;
    /// Runs each timer whose deadline `now` has reached (Timer1, Timer4,
    /// Timer3, the watch); at most one message per timer, however late the call.
    /// While held, Timer4's Program Change waits (the ports it goes to are
    /// not there yet); released, it goes at its time, or at once when that
    /// has passed. Timer4 stays enabled meanwhile.
    void holdProgramChange(bool held);
    void tick(PaceClock::time_point now);
    /// Timer1 tick, at once: one whole message of sendBuffer, the next due
    /// one delay later; at the end the title comes back and Timer4 is armed.
    void Timer1Timer();
    /// Timer3 tick: the init values request for the preset of the last
    /// "Get Preset", whichever preset is selected now.
    void Timer3Timer();
    /// Timer4 tick: Program Change of selectedPreset, then Timer4 off.
    void Timer4Timer();
    /// Timer5 tick, every kWatchInterval ms: a request unanswered for
    /// kReplyTimeout + Delay ms is given up and shown (the queries at open
    /// are put once more first).
    void Timer5Timer();

    /// Chosen ports were found gone (names as listed): nothing comes back
    /// through them, so the awaited replies are dropped, and a running
    /// transfer stops with the reason; else the reason is shown.
    void portsGone(const std::vector<std::string>& names);
    /// The input was opened again: a message cut off by the loss is dropped.
    void inputReopened() { m_collector.reset(); }

    // --- requests and replies ---

    /// Puts F0 00 20 20 14 00 command p 00 F7 when the output is usable.
    void putRequest(std::uint8_t command, int presetIndex);
    /// Reopens the input and the chosen output on the ports of their names
    /// now, clears the collector.
    void portRefresh();
    /// "Get Preset": checkPorts(both), portRefresh, request; Dial: Timer3 on
    /// for the init values of the same preset.
    PortCheck getPreset();
    /// "get Init Values from zembraDial": portRefresh, init values request.
    void getInitValues();
    /// Every event of the input port (MidiIn1MidiData).
    void replyCollector(const MidiEvent& event);

    // --- device settings dialog ---

    /// The output drop-down changed to entry `index` ("no device" = last);
    /// a device is (re)opened on the port of its name now.
    void chooseOutput(int index);
    /// Entry `index` chosen, its port left as it is: for a caller that runs
    /// reopenInputAndRequestConfiguration next, which (re)opens it.
    void selectOutput(int index);
    /// The input drop-down changed to entry `index`; reopens and asks the device.
    void chooseInput(int index);
    /// "get zembraC Configuration", input choice, settings loader at start-up.
    void reopenInputAndRequestConfiguration();
    /// "Configure zembraC" after OK: the thru settings message.
    void sendThruConfiguration();
    /// The delay rule; sets Timer1 and Timer4 intervals. The dialog shows the
    /// returned text when it differs from what was typed.
    DelayEntry setDelayText(std::string_view text);
    /// The variant radios: stores it and restores the variant's title.
    void setDeviceVariant(DeviceVariant variant);

    // --- state ---

    /// The events of the last send; empty before the first.
    std::span<const MidiEvent> sendBuffer() const { return m_sendBuffer; }
    int sendCount() const { return m_sendCount; }
    int sendPosition() const { return m_sendPosition; }
    /// Preset byte of the message sent last, -1 before the first.
    int lastSentPreset() const { return m_lastSentPreset; }
    /// The timer state the protocol last asked for (Timer4 starts on).
    bool timerEnabled(ProtocolTimer timer) const;
    const ReplyCollector& collector() const { return m_collector; }
    /// Replies asked for and not yet come, in the order asked.
    int pendingReplies() const { return m_replies.size(); }
    /// A paced transfer has messages left to send.
    bool transferRunning() const { return m_timer1 && m_sendPosition < m_sendCount; }
    /// One watcher of the traffic, nullptr for none; it must outlive its use.
    void setObserver(ProtocolObserver* observer) { m_observer = observer; }

    /// Takes a preset data or init values reply for preset 0..127 (decoded,
    /// its number checked) and stores it, so the owner records the change as
    /// one step; returns whether anything changed. Without it the protocol
    /// stores the reply in the bank itself.
    std::function<bool(const DecodedFrame& reply)> storeReply;

private:
    bool outputUsable() const;
    /// Puts one message when the output is usable; whether it went.
    bool putMessage(std::span<const MidiEvent> events);
    bool report(const PortResult& result); ///< shows a failure; whether it went well
    void expectReply(FrameKind reply, int preset, bool repeatOnce);
    /// Puts a device query and expects its reply.
    void askDevice(std::uint8_t query);
    std::optional<PaceClock::time_point> configurationQueryDue() const;
    void replyArrived(FrameKind reply, int preset);
    void stopTransfer(const std::string& reason);
    /// The watch runs while a transfer, a reply or a lost port needs it.
    void updateWatch();
    /// Timer1 and the watch at `now`.
    void sendNextMessage(PaceClock::time_point now);
    void watch(PaceClock::time_point now);
    std::string outputName() const;
    std::string inputName() const;
    void setTimer(ProtocolTimer timer, bool enabled);
    PaceClock::duration delay() const;
    void applyReply(const DecodedFrame& reply);
    void presetReplyStored(int presetIndex);

    PresetBank& m_bank;
    DeviceSettingsModel& m_settings;
    DeviceLink& m_link;
    ProtocolHost& m_host;
    std::function<PaceClock::time_point()> m_paceClock;

    /// The send buffer, sized for the largest send.
    std::span<MidiEvent> encodeTarget();

    std::vector<MidiEvent> m_sendBuffer;
    int m_sendCount = 0;
    int m_sendPosition = 0;
    int m_lastSentPreset = -1;
    ReplyCollector m_collector;
    bool m_timer1 = false;
    bool m_timer3 = false;
    bool m_timer4 = true;
    bool m_programChangeHeld = false;
    PaceClock::time_point m_timer1Anchor; ///< Timer1 is due one delay after this
    PaceClock::time_point m_timer4Anchor; ///< Timer4 likewise
    bool m_timer5 = false;
    int m_initValuesPreset = 0; ///< preset 0..127 whose init values Timer3 asks for
    int m_presetCount = 0; ///< presets of the running transfer
    int m_presetsStarted = 0; ///< of them, those whose first message went
    int m_transferPreset = -1; ///< preset of the message sent last in this transfer
    PaceClock::time_point m_timer3Anchor; ///< the init values request is due 400 ms after this
    PaceClock::time_point m_timer5Anchor; ///< the watch runs kWatchInterval after this
    /// The configuration query is due one Delay after the last message; the watch puts it.
    bool m_configurationQueryPending = false;
    /// When the last message went: single messages keep a Delay from it too.
    PaceClock::time_point m_lastPutAt {};
    ReplyTracker m_replies;
    ProtocolObserver* m_observer = nullptr;
};

} // namespace kestrow
