#pragma once

#include "core/bank_operations.h"
#include "core/catalogue.h"
#include "core/edit_history.h"
#include "core/editor_state.h"
#include "core/library_search.h"
#include "core/preset_bank.h"
#include "core/recovery_scheduler.h"
#include "editor/editor_paths.h"
#include "editor/port_watch.h"
#include "editor/recovery_journal.h"
#include "link/late_midi_ports.h"
#include "link/midi_ports.h"
#include "midi/midi_smf.h"
#include "protocol/device_protocol.h"
#include "protocol/device_settings_model.h"
#include "protocol/device_sync.h"
#include "protocol/traffic_tap.h"
#include "protocol/verify_rows.h"
#include "storage/editor_settings.h"
#include "storage/library_scan.h"
#include "storage/preset_files.h"
#include "storage/recovery_file.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

class TMidiDriver;

/// What start-up did, for the window to show.
struct StartupReport {
    bool factoryLoaded = false; ///< FactoryPresets.* read; factoryPresets holds them
    bool settingsApplied = false; ///< Config.* read with the settings it holds
    /// Messages for the user ("Kestrow Editor" boxes), in the order they arose.
    std::vector<std::string> warnings;
    /// The working set of a run that did not close cleanly was restored.
    bool restored = false;
    /// The run ended while start-up asked (recovery question answered
    /// `later`): nothing was read and nothing will be saved.
    bool abandoned = false;
};

/// What the session asks of the window beyond the protocol's texts and
/// redraws. Every call comes on the user-interface thread.
class SessionHost : public ProtocolHost {
public:
    /// The edit history changed: the Undo and Redo captions.
    virtual void historyChanged() { }
    /// What the device is known to hold changed: the tree's marks.
    virtual void deviceMarksChanged() { }
    /// Get All Presets or Verify Device began (true) or ended (false).
    virtual void deviceWorkRunning(bool /*running*/) { }
    /// The report of a Get All Presets or Verify Device, under `title`.
    virtual void deviceWorkReport(
        const std::string& /*title*/, const std::string& /*text*/, const SyncReport& /*report*/)
    {
    }
    /// The MIDI system's port lists were read afresh.
    virtual void portListsChanged() { }
    /// The journal could not be written (each retry), or with an ok result:
    /// it was written again after failing.
    virtual void journalFailed(const FileResult& /*result*/) { }
};

/// One run of the editor below its windows: the working set, the catalogue,
/// the one device variant (kept in the device settings), the preset files,
/// the editor settings, the protocol and the ports behind it. The windows
/// are views over it: they turn gestures into these calls and redraw.
///
/// The protocol exists from construction. Its timers, the caption and the
/// redraws go to the host set with setHost(); with none they are only
/// recorded by the protocol, so a window attached later starts them.
class EditorSession : private ProtocolHost {
public:
    /// ports: the MIDI ports of the run (NoMidiPorts without a driver library).
    /// driver: reads and writes the dump files; nullptr makes them unavailable
    /// for the reason `driverError` (start-up then loads nothing and the close
    /// sequence reports that nothing is saved).
    EditorSession(EditorPaths paths, std::unique_ptr<MidiPorts> ports, TMidiDriver* driver,
        std::string driverError = {});
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    const EditorPaths& paths() const { return m_paths; }
    const PresetBank& bank() const { return m_bank; }
    const Catalogue& catalogue() const { return m_catalogue; }
    const DeviceSettingsModel& deviceSettings() const { return m_model; }
    const DeviceProtocol& protocol() const { return m_protocol; }
    /// What the device holds, and Get All Presets, Send Changed Presets, Verify Device.
    const DeviceSync& deviceSync() const { return m_sync; }
    const MidiPorts& ports() const { return *m_ports; }
    /// What the tree marks on preset 0..127: what the device is known to hold.
    DeviceMark deviceMark(int presetIndex) const { return m_sync.mark(presetIndex); }
    /// The status line as it stands: a transfer's outcome stays until the
    /// next transfer or command; news of ports joins it.
    const std::string& statusText() const { return m_status; }
    /// Whether the chosen ports are there (the settings dialog marks a lost one).
    const PortWatch& portWatch() const { return m_watch; }
    /// The tap between the ports and the protocol: the monitor and knob learn
    /// attach here while they are open or on.
    TrafficTap& traffic() { return m_tap; }
    /// The editing state the views share (drags, hover, knob-table clipboard).
    EditorState& editorState() { return m_editorState; }
    /// The one device variant of the run; views and files refer to it.
    const DeviceVariant& variant() const { return m_model.deviceVariant; }

    /// The window that shows the caption and status and redraws; nullptr detaches.
    void setHost(SessionHost* host) { m_host = host; }

    // --- time: the window wakes up at nextDeadline() and calls tick() ---

    /// The earliest moment something is due (a paced message, a time-out, a
    /// fetch's next step, the journal, a port change settling); none when idle.
    std::optional<PaceClock::time_point> nextDeadline() const;
    /// The next paced message or Program Change, which is to be met within
    /// microseconds; none while neither is due.
    std::optional<PaceClock::time_point> pacedDeadline() const;
    /// Whether a transfer's messages are being paced out now.
    bool transferring() const { return m_protocol.deadline(ProtocolTimer::Timer1).has_value(); }
    /// Runs whatever is due at `now`.
    void tick(PaceClock::time_point now);
    /// Defers everything due until resume (the recovery question is open).
    void hold(bool held);
    /// A descriptor that becomes readable when the MIDI system's ports change
    /// (-1 when it cannot tell); call portsChangeNoticed when it does.
    int portChangeDescriptor();
    /// The ports changed: the lists are read once the burst has settled.
    void portsChangeNoticed(PaceClock::time_point now);
    /// Reads the port lists afresh and looks for the chosen ports at once.
    void portsChanged();

    // --- device commands; a PortCheck that abandons names the missing ports ---

    /// The Send button and AutoSend: the selected preset, whole, no port warning.
    void sendSelectedNow() { m_protocol.sendPreset(m_bank.selectedPreset, true, true); }
    /// One Program Change for the selected preset.
    void sendProgramChange() { m_protocol.sendProgramChange(m_bank.selectedPreset); }

    PortCheck sendSelectedPreset(bool withPresetData, bool withInitValues);
    PortCheck sendAllPresets();
    PortCheck sendBanks();
    PortCheck getPreset();
    void getInitValues();
    void sendInitValuesNow();
    /// Get All Presets, Verify Device, Send Changed Presets: the start's
    /// port check and note are the window's to show.
    SyncStart getAllPresets();
    SyncStart verifyDevice(bool onlySentSinceVerify);
    SyncStart sendChangedPresets();
    /// "Find Fastest Delay": the shortest Delay the device keeps up with,
    /// found with the selected preset (put back as it was), becomes the Delay.
    SyncStart findFastestDelay();
    /// Ends a running Get All or Verify at the next tick.
    void cancelDeviceWork() { m_sync.cancel(); }
    bool deviceWorkRunning() const { return m_sync.busy(); }
    void setVerifyAfterSend(bool on) { m_sync.verifyAfterSend = on; }

    // --- the Verify report's commands (session_verify.cpp) ---

    /// The report of a verify as rows, the device's side from what it is known to hold.
    std::vector<VerifyRow> verifyRows(const SyncReport& report) const;
    /// "Send These Presets": presets 0..127, paced, the Program Change after them.
    PortCheck sendPresets(const std::vector<int>& presetIndices);
    /// "Take From Device" as one step: the knob data the device is known to
    /// hold replaces ours in each of the presets 0..127 (names stay); presets
    /// with nothing known are left alone. Returns the presets changed.
    std::vector<int> takeFromDevice(const std::vector<int>& presetIndices);

    // --- start and end of a run ---

    /// Finishes or rolls back a save of the autosave folder that a crash cut
    /// short; then, before anything is sent, offers the recovery journal of a
    /// run that did not close cleanly through `choose` (asked once; without a
    /// chooser the journal is discarded); then reads the factory set, then the
    /// autosave set with its settings, and on "Restore" makes the journal's
    /// set the working set as one undo step. Runs once; a second call reports
    /// nothing. An autosave dump that exists but cannot be read is moved aside
    /// as "Config.MID.damaged" so that closing cannot replace it; a damaged
    /// journal is reported and kept as Recovery.damaged, never loaded in part.
    StartupReport startUp(const RecoveryChooser& choose = {});
    bool factorySetLoaded() const { return m_factoryLoaded; }
    /// Whether startUp has read the sets: only then may the close save them.
    bool startedUp() const { return m_startedUp; }
    /// The close sequence: all 128 presets as the autosave set, then the
    /// settings. Before startUp has finished it writes nothing and touches
    /// no journal (a failure saying so). May be called again after a failure (retry). Success
    /// removes the recovery journal; a failure journals the working set at once, so the next start
    /// offers what could not be saved.
    [[nodiscard]] SaveResult saveAutosaveSet();
    /// Why the dump files cannot be read or written in this run; empty when they can.
    const std::string& dumpFilesUnavailable() const { return m_dumpFilesUnavailable; }

    // --- a driver loaded after start-up ---

    /// The run loads its driver once the window is up: start-up reads the
    /// files with `driver` as given to the constructor but leaves the ports
    /// alone. The saved ports are chosen, opened and asked for the
    /// configuration in attachMidi, and the Program Change that follows
    /// start-up waits for that. Call before startUp.
    void awaitMidi();
    /// The driver and its ports, now loaded: the port lists are read and what
    /// the saved settings ask of the ports is done. With ports null the
    /// driver could not be loaded for the reason `error`: the run goes on
    /// without ports, and the dump files are unavailable from now on.
    void attachMidi(std::unique_ptr<MidiPorts> ports, TMidiDriver* driver, std::string error = {});

    // --- settings ---

    /// The nine settings as they stand now.
    EditorSettings currentSettings() const;
    /// The settings loader: variant, tree options, AutoSend, delay, ports,
    /// notes range, then the configuration request and the selected preset.
    void applySettings(const EditorSettings& settings);
    bool autoSend() const { return m_autoSend; }
    void setAutoSend(bool on) { m_autoSend = on; }
    /// Notes named from "C -1" (0) or "C -2" (1).
    void setNotesRangeLow(int low);
    /// Stores the variant; the host shows its title. Not an undo step (settings).
    void setVariant(DeviceVariant variant);
    /// The user's variant switch (F7..F9, the dialog's radios): one undo step.
    void switchVariant(DeviceVariant variant);
    /// Chooses the output port named exactly `name` (opening it), else "no
    /// device"; returns whether it was found.
    bool selectOutputByName(const std::string& name);
    /// Chooses the input port named exactly `name`, else none; does not open it.
    bool selectInputByName(const std::string& name);
    /// The chosen port's name, "no device" for none.
    std::string selectedOutputName() const;
    std::string selectedInputName() const;

    // --- the device ---

    // --- the device settings dialog ---

    /// The output list's entry `entry` ("no device" = last), (re)opened.
    /// Another device forgets what was known of the one before.
    void chooseOutputEntry(int entry);
    /// The input list's entry `entry`; reopens and asks the device.
    void chooseInputEntry(int entry) { m_protocol.chooseInput(entry); }
    /// The delay rule; the dialog shows the returned text when it differs.
    DelayEntry setDelayText(std::string_view text) { return m_protocol.setDelayText(text); }
    /// "Configure zembraC" after OK: the thru settings and master channel.
    void sendThruConfiguration() { m_protocol.sendThruConfiguration(); }
    /// "get zembraC Configuration".
    void requestConfiguration() { m_protocol.reopenInputAndRequestConfiguration(); }
    void setThruFlags(bool channelEvents, bool sysexEvents, bool realtimeEvents);
    void setMasterChannelText(const std::string& text) { m_model.masterChannelText = text; }
    void setShowBankGroups(bool show) { m_model.showBankGroups = show; }
    void setBankGroupsVariable(bool variable) { m_model.bankGroupsVariable = variable; }

    // --- the working set ---

    /// The selection-change steps below the window: preset 0..127 becomes
    /// selectedPreset and, with AutoSend on, is sent unless suppressed once.
    void presetSelected(int presetIndex);
    /// The next presetSelected sends nothing (the start-up selection).
    void suppressNextAutoSend() { m_suppressAutoSend = true; }
    /// A tree drop of preset `source` on `target` (0..127); returns the presets
    /// to select afterwards, in order (empty when nothing changed).
    std::vector<int> dropPreset(int source, int target, DragOperation operation);
    void copyPreset();
    void pastePreset();
    void swapPresetWithClipboard();
    /// Name of preset 0..127, already cut to its rules.
    void renamePreset(int presetIndex, const std::string& name);
    /// Description of the selected preset (Windows line breaks); the
    /// keystrokes of one burst are one undo step.
    void setDescription(const std::string& description);
    /// The typing of a burst ends here (the description box lost the focus).
    void closeEditBurst() { m_history.closeBurst(); }
    /// File saves of all presets, one preset (0..127), or Banks 1-4 from
    /// `start` (PresetFiles); they change nothing in the working set.
    SaveResult saveAllPresets(const std::string& path);
    SaveResult saveSinglePreset(const std::string& path, int presetIndex);
    SaveResult saveBanks(const std::string& path, int start);
    /// File loads into the working set, each one undo step (PresetFiles).
    LoadResult loadAllPresets(const std::string& path);
    LoadResult loadSinglePreset(const std::string& path, int target);
    LoadResult loadBanks(const std::string& path, int start);

    // --- undo and redo ---

    /// Every change of the working set, one step each (at least 200 kept).
    const EditHistory& history() const { return m_history; }
    /// Takes back the last step; nothing when there is none. A step taken
    /// back selects its preset without sending it (AutoSend).
    std::optional<HistoryChange> undo();
    /// Puts back the last step taken back; nothing when there is none.
    std::optional<HistoryChange> redo();

    // --- crash recovery ---

    /// Journals the working set when it is due at `now` (tick does this);
    /// the failure of a write, success otherwise.
    FileResult journalTick(PaceClock::time_point now);

    // --- librarian: .syx files, opening any preset file, recent files, compare ---

    /// Which presets an export covers: all 128, the selected one, or Banks
    /// 1-4 (the selected preset and the three after it, wrapping).
    enum class PresetRange { all, selected, banks };

    /// Imports a .syx file as one step: a file of one preset goes into
    /// preset target (0..127), any other puts each preset where it names.
    /// Only the knob data changes (the file holds no names). Nothing changes
    /// when the file is refused; the note counts the messages skipped.
    LoadResult importSysEx(const std::string& path, int target);
    /// Writes the range in the device's message layout, init values only for
    /// a zembraDial; the previous file stays as its ".BAK".
    FileResult exportSysEx(const std::string& path, PresetRange range);

    /// How a preset file is opened by openPresetFile.
    enum class OpenAs { importSysEx, allPresets, singlePreset, banks };
    /// The load command a dropped or recent file stands for: .syx imports;
    /// a .MID, or a .CFG / .NTS for the .MID beside it, loads as "Load Single
    /// Preset" when it holds one preset, "Load Banks 1-4" when it holds four
    /// on a zembraDial, else "Load All Presets" (also for any other name,
    /// which that command then refuses). `midPath` gets the file to load.
    /// May throw the MIDI file layer's errors, as the loads do.
    OpenAs openAsFor(const std::string& path, std::string& midPath);

    /// Preset files opened or saved, newest first (at most 8).
    const std::vector<std::string>& recentFiles() const { return m_recentFiles; }
    /// Also keeps the file's folder as the last one used for its kind (.syx or preset files).
    void noteRecentFile(const std::string& path);
    enum class FileKind { presets, sysEx };
    /// The folder a file of that kind was last opened from or saved to; empty if none yet.
    const std::string& lastFolder(FileKind kind) const;
    void forgetRecentFile(const std::string& path);

    /// The 128 presets a file would give: a .MID with its side files as
    /// "Load All Presets" reads it into fresh presets, or the working set
    /// with a .syx imported. Nothing (and `error` set) when refused; the
    /// working set is not touched.
    std::optional<PresetSet> readComparisonSet(const std::string& path, std::string& error);
    /// "Take Theirs" as one step: preset 0..127 becomes theirs, whole. False
    /// when it already is.
    bool takeTheirPreset(const PresetSet& theirs, int presetIndex);

    // --- the library: the sets in the user's folders (session_library.cpp) ---

    /// The folders, in the order added (kept in the settings).
    const std::vector<std::string>& libraryFolders() const { return m_libraryFolders; }
    /// Adds a folder unless it is there; the next refresh reads its sets.
    bool addLibraryFolder(const std::string& folder);
    void removeLibraryFolder(const std::string& folder);
    /// The index: on first use as kept beside the autosave set (empty when
    /// that file is missing or damaged), then as refreshed.
    const LibraryIndex& library();
    /// Lists the folders' files and drops the sets that are gone; returns how
    /// many sets are new or changed (by their files' times and sizes).
    std::size_t startLibraryRefresh();
    /// Reads up to `count` of those sets; true when none is left. The index
    /// file is written when a refresh that changed something ends.
    bool continueLibraryRefresh(std::size_t count);
    /// Folders that could not be read in the last refresh, "PATH: reason".
    const std::vector<std::string>& libraryProblems() const { return m_libraryScan.problems(); }
    /// Why the index file could not be written at the end of the last refresh.
    const FileResult& libraryIndexWrite() const { return m_libraryWrite; }
    LibrarySearch searchLibrary(const SearchCriteria& criteria, std::size_t limit);
    std::vector<std::vector<std::size_t>> libraryDuplicates();
    /// "Load All Presets" of the library's set number `set`: one undo step.
    LoadResult openLibrarySet(std::size_t set);
    /// Preset presetIndex (0..127) of set number `set`, as its file holds it
    /// now, whole into preset target (0..127): one undo step.
    LoadResult copyLibraryPreset(std::size_t set, int presetIndex, int target);

private:
    /// The port part of applySettings: chooses, opens and asks the device.
    void applyPortSettings(const std::string& output, const std::string& input);
    /// Lists the saved ports that are not there now, so they stay chosen.
    void keepSavedPorts(const std::string& output, const std::string& input);
    /// The output list's entry named exactly `name`, else its "no device" entry.
    int outputEntry(const std::string& name) const;
    // ProtocolHost: the port watch's part here, the rest goes on to the
    // window once there is one.
    void scheduleChanged() override;
    void setCaption(const std::string& caption) override;
    void refreshKnobTable(int presetIndex) override;
    void deviceSettingsChanged() override;
    void showStatus(const std::string& text) override;
    void portsOpened() override;
    bool outputWanted() override;

    void keepUnreadableAutosave(StartupReport& report);
    /// The library's own file reader, made on first use.
    TMidiSMF& librarySmf();
    void loadSets(StartupReport& report);
    /// Reads the journal and asks; the contents to restore, if chosen (else null).
    std::unique_ptr<RecoveryContents> takeRecovery(
        const RecoveryChooser& choose, StartupReport& report);
    void restore(const RecoveryContents& contents);
    RecoveryContents journalContents() const;
    std::optional<HistoryChange> showStep(std::optional<HistoryChange> change, const char* done);
    void tickDeviceWork(PaceClock::time_point now);
    /// A Get All or Verify the sync began: titled, reported when it ends.
    SyncStart startDeviceWork(SyncStart start, const char* title);
    /// Takes the presets a Get All fetched into the working set as one edit;
    /// the edit history records it here as one step.
    void takeFetchedPresets(const SyncReport& report);

    EditorPaths m_paths;
    PresetBank m_bank;
    Catalogue m_catalogue;
    DeviceSettingsModel m_model;
    EditHistory m_history;
    EditorState m_editorState;
    std::unique_ptr<LateMidiPorts> m_ports;
    TrafficTap m_tap; ///< the protocol reaches the ports through it
    SessionHost* m_host = nullptr;
    DeviceProtocol m_protocol;
    DeviceSync m_sync;
    PortWatch m_watch;
    TMidiSMF m_smf;
    PresetFiles m_files;
    std::string m_dumpFilesUnavailable;
    bool m_started = false;
    bool m_startedUp = false; ///< the sets were read: a close may save
    bool m_midiAwaited = false; ///< ports come with attachMidi
    /// The saved output and input, applied when the ports come.
    std::optional<std::pair<std::string, std::string>> m_savedPorts;
    bool m_factoryLoaded = false;
    bool m_autoSend = false; ///< "&AutoSend" starts off; a saved setting turns it on
    bool m_suppressAutoSend = false;
    std::vector<std::string> m_recentFiles;
    std::string m_presetFolder;
    std::string m_sysExFolder;

    std::vector<std::string> m_libraryFolders;
    std::optional<LibraryIndex> m_library; ///< read on first use
    LibraryScan m_libraryScan;
    bool m_libraryChanged = false; ///< by the running refresh
    FileResult m_libraryWrite = FileResult::success();
    /// The library reads files with the built-in file code of its own, so a
    /// scan never meets the run's driver or its SMF object mid-command.
    std::unique_ptr<TMidiDriver> m_libraryDriver;
    std::unique_ptr<TMidiSMF> m_librarySmf;

    RecoveryJournal m_journal;
    bool m_journalFailing = false; ///< the last journal write failed
    bool m_held = false;
    std::optional<PaceClock::time_point> m_portsSettleAt;
    std::optional<PaceClock::time_point> m_nextSyncStep;
    std::string m_status;
    bool m_statusKept = false; ///< m_status is an outcome, kept until the next command
    std::string m_workTitle; ///< "Get All Presets" or "Verify Device" while one runs
    bool m_workQuiet = false; ///< a verify after a send reports only a difference
};

} // namespace kestrow
