#include "editor/editor_session.h"

#include "core/duplicate_assignments.h"
#include "core/program_directory.h"
#include "midi/midi_driver.h"
#include "storage/device_memory_file.h"
#include "storage/set_writer.h"
#include "storage/settings_keys.h"
#include "storage/side_files.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

namespace kestrow {

namespace {

    constexpr const char* kAutosaveDump = "Config.MID";
    constexpr const char* kAutosaveBase = "Config";

    std::string variantName(DeviceVariant variant)
    {
        switch (variant) {
        case DeviceVariant::zembraFader:
            return "zembraFader";
        case DeviceVariant::zembraDial:
            return "zembraDial";
        case DeviceVariant::zembraControl:
            break;
        }
        return "zembraControl";
    }

} // namespace

EditorSession::EditorSession(EditorPaths paths, std::unique_ptr<MidiPorts> ports,
    TMidiDriver* driver, std::string driverError)
    : m_paths(std::move(paths))
    , m_history(m_bank, m_model.deviceVariant)
    , m_editorState(m_bank, m_catalogue, m_model.deviceVariant, m_history)
    , m_ports(std::make_unique<LateMidiPorts>(std::move(ports)))
    , m_tap(*m_ports)
    , m_protocol(m_bank, m_model, m_tap, *this)
    , m_sync(m_protocol, m_bank, m_model, m_catalogue, *this)
    , m_watch(m_protocol, m_model, m_tap, *this)
    , m_smf(driver)
    , m_files(m_bank, m_smf, m_model.deviceVariant)
    , m_journal(m_paths.autosaveDirectory)
{
    if (driver == nullptr)
        m_dumpFilesUnavailable = driverError.empty() ? "the MIDI driver library is not loaded"
                                                     : std::move(driverError);
    m_model.setPortNames(m_ports->outputNames(), m_ports->inputNames());
    m_ports->onInput = [this](const MidiEvent& event) {
        m_tap.incoming(event);
        m_protocol.replyCollector(event);
    };
    m_protocol.storeReply = [this](const DecodedFrame& reply) {
        const int presetIndex = reply.frame.firstParam;
        EditHistory::Scope step = m_history.record(
            (reply.kind == FrameKind::initValues ? "Receive Init Values " : "Receive Preset ")
                + std::to_string(presetIndex + 1),
            presetIndex);
        step.preset(presetIndex);
        return storeFrame(reply, m_bank.presets[static_cast<std::size_t>(presetIndex)]);
    };
    m_protocol.setObserver(&m_sync);
    m_editorState.knownMasterChannel = [this] {
        return m_model.masterChannelKnown ? m_model.masterChannel() : kMasterChannelUnknown;
    };
    m_history.onChanged = [this] {
        m_journal.changed(PaceClock::now());
        if (m_host != nullptr)
            m_host->historyChanged();
        scheduleChanged();
    };
}

EditorSession::~EditorSession()
{
    m_protocol.setObserver(nullptr);
    m_ports->onInput = nullptr;
    m_host = nullptr;
}

// --- start and end of a run ---

StartupReport EditorSession::startUp(const RecoveryChooser& choose)
{
    StartupReport report;
    if (m_started)
        return report;
    m_started = true;
    // A save cut short by a crash is finished (or undone) before any set of
    // the folder is read, and its temporary files go.
    const SaveRecovery recovered = recoverInterruptedSaves(m_paths.autosaveDirectory);
    for (const FileResult& problem : recovered.problems)
        report.warnings.push_back(problem.file + ": " + problem.reason);
    // Asked before the settings open the ports and query the device.
    const std::unique_ptr<RecoveryContents> journal = m_journal.take(choose, report.warnings);
    if (m_journal.postponed()) {
        // The run ends while asking: nothing is read, so nothing may be saved.
        report.abandoned = true;
        return report;
    }
    loadSets(report);
    // What start-up read is where the run begins: nothing to take back.
    m_history.clear();
    m_journal.startAt(m_history.revision());
    if (journal) {
        restore(*journal);
        report.restored = true;
    }
    m_startedUp = true;
    return report;
}

void EditorSession::loadSets(StartupReport& report)
{
    // Without the driver library nothing can be read; the autosave dump is
    // not damaged for that and stays where it is.
    if (!m_dumpFilesUnavailable.empty())
        return;

    // Errors of the MIDI file layer end that step and are reported with their text.
    try {
        m_factoryLoaded = m_files.loadFactorySet(m_paths.factoryDirectory);
    } catch (const std::exception& error) {
        report.warnings.emplace_back(error.what());
    }
    report.factoryLoaded = m_factoryLoaded;

    std::optional<EditorSettings> settings;
    try {
        settings = m_files.loadAutosaveSet(m_paths.autosaveDirectory);
    } catch (const std::exception& error) {
        report.warnings.emplace_back(error.what());
    }
    if (settings) {
        for (const FileResult& side : m_files.setAsideFiles())
            report.warnings.push_back(
                "Part of the autosaved presets could not be read; the rest is loaded.\n\n"
                + side.reason + " Its names or descriptions start from their defaults.");
        applySettings(*settings);
        report.settingsApplied = true;
        // Beside the set only when an earlier run wrote it; without it every
        // preset counts as not known to be on the device.
        const std::filesystem::path memory
            = sideFile(m_paths.autosaveDirectory + kAutosaveBase + kDeviceMemoryExtension);
        if (const std::string problem = deviceMemoryFileProblem(memory); !problem.empty()) {
            const FileResult kept = keepAsDamaged(memory);
            report.warnings.push_back(memory.string() + ": " + problem + ". "
                + (kept ? "It is kept as " + damagedPathOf(memory).string() + "; "
                        : "It could not be kept aside (" + kept.reason + "); ")
                + "what the device holds counts as unknown until the next Verify Device.");
        }
        m_sync.memory() = readDeviceMemoryFile(memory);
    } else {
        keepUnreadableAutosave(report);
    }
}

void EditorSession::keepUnreadableAutosave(StartupReport& report)
{
    // The close sequence would replace an autosave dump that exists but cannot
    // be read; it may hold the user's only copy, so it moves aside first.
    const std::string path = m_paths.autosaveDirectory + kAutosaveDump;
    std::error_code error;
    if (m_files.lastReadError().empty() || !std::filesystem::is_regular_file(path, error))
        return;
    const FileResult kept = keepAsDamaged(path);
    report.warnings.push_back("The autosaved presets could not be read:\n" + m_files.lastReadError()
        + "\n\n"
        + (kept ? "The file is kept as " + damagedPathOf(path).string()
                    + ". The editor starts with the factory presets."
                : "The file could not be moved aside (" + kept.reason
                    + ") and will be replaced when the editor closes: copy it elsewhere now "
                      "if it matters."));
}

SaveResult EditorSession::saveAutosaveSet()
{
    const std::string& folder = m_paths.autosaveDirectory;
    SaveResult result;
    if (!m_startedUp) {
        // Before the sets are read the working set holds creation values:
        // saving them would replace the user's set, and the journal is the
        // next run's to offer.
        result.problems.push_back(FileResult::failure(folder + kAutosaveDump,
            "the editor was closed before it had finished starting, so nothing was saved; "
            "the autosave files stay as they were and the next start reads them"));
        return result;
    }
    m_bank.presetMask.fill(1);
    if (!m_dumpFilesUnavailable.empty()) {
        // Writing only the settings would put this run's defaults over the
        // saved ones; the previous autosave files stay as they are.
        result.problems.push_back(FileResult::failure(folder + kAutosaveDump,
            m_dumpFilesUnavailable
                + "; without the MIDI driver library the presets and settings of this run "
                  "cannot be saved"));
    } else if (!ensureDirectory(folder)) {
        result.problems.push_back(
            FileResult::failure(folder, "the folder for the autosave files cannot be created"));
    } else {
        try {
            result = m_files.saveAutosaveSet(folder, currentSettings(),
                { { kDeviceMemoryExtension, encodeDeviceMemory(m_sync.memory()) } });
        } catch (const std::exception& error) {
            result.problems.push_back(FileResult::failure(folder + kAutosaveDump, error.what()));
        }
    }
    if (result.ok()) {
        if (const FileResult removed = m_journal.remove(m_history.revision()); !removed)
            result.problems.push_back(FileResult::failure(removed.file,
                removed.reason
                    + "; the set was saved, so remove this file by hand or the next start "
                      "offers these changes again"));
    } else if (m_journal.behind(m_history.revision())) {
        // What could not be saved stays in the journal for the next start.
        if (const FileResult journaled = m_journal.write(m_history.revision(), journalContents());
            !journaled)
            result.problems.push_back(journaled);
    }
    return result;
}

// --- settings ---

EditorSettings EditorSession::currentSettings() const
{
    EditorSettings s;
    s.autoSend = m_autoSend;
    s.delay = m_model.delay;
    s.midiDevice = selectedOutputName();
    s.selectedPreset = m_bank.selectedPreset;
    s.midiNotesRange = m_catalogue.notesRangeLow == 1;
    s.midiInDevice = selectedInputName();
    if (m_savedPorts) { // a close before the ports came keeps the saved ones
        s.midiDevice = m_savedPorts->first;
        s.midiInDevice = m_savedPorts->second;
    }
    s.deviceType = m_model.deviceVariant;
    s.optionsShowBankGroups = m_model.showBankGroups;
    s.optionsFixed = !m_model.bankGroupsVariable;
    s.verifyAfterSend = m_sync.verifyAfterSend;
    s.recentFiles = m_recentFiles;
    s.presetFolder = m_presetFolder;
    s.sysExFolder = m_sysExFolder;
    s.libraryFolders = m_libraryFolders;
    return s;
}

void EditorSession::applySettings(const EditorSettings& settings)
{
    setVariant(settings.deviceType);
    m_model.showBankGroups = settings.optionsShowBankGroups;
    m_model.bankGroupsVariable = !settings.optionsFixed;
    m_autoSend = settings.autoSend;
    m_sync.verifyAfterSend = settings.verifyAfterSend;
    m_protocol.setDelayText(std::to_string(settings.delay));
    selectOutputByName(settings_keys::kNoDevice);
    setNotesRangeLow(settings.midiNotesRange ? 1 : 0);
    selectInputByName(settings_keys::kNoDevice);
    if (m_midiAwaited)
        m_savedPorts.emplace(settings.midiDevice, settings.midiInDevice);
    else
        applyPortSettings(settings.midiDevice, settings.midiInDevice);
    m_bank.selectedPreset = std::clamp(settings.selectedPreset, 0, kPresetCount - 1);
    m_recentFiles = settings.recentFiles;
    m_presetFolder = settings.presetFolder;
    m_sysExFolder = settings.sysExFolder;
    m_libraryFolders = settings.libraryFolders;
}

void EditorSession::applyPortSettings(const std::string& output, const std::string& input)
{
    keepSavedPorts(output, input);
    // Opened by the reopen just below: an open here as well would open the
    // port twice in a row, which for a JACK port costs tens of milliseconds.
    m_protocol.selectOutput(outputEntry(output));
    selectInputByName(input);
    m_protocol.reopenInputAndRequestConfiguration();
}

void EditorSession::awaitMidi()
{
    m_midiAwaited = true;
    m_protocol.holdProgramChange(true);
}

void EditorSession::attachMidi(
    std::unique_ptr<MidiPorts> ports, TMidiDriver* driver, std::string error)
{
    m_midiAwaited = false;
    if (ports) {
        m_ports->attach(std::move(ports));
        m_smf.Driver = driver;
    } else {
        m_smf.Driver = nullptr;
        m_dumpFilesUnavailable = error.empty() ? kNoDriverReason : std::move(error);
    }
    m_model.setPortNames(m_ports->outputNames(), m_ports->inputNames());
    if (m_savedPorts) {
        const auto [output, input] = *m_savedPorts;
        m_savedPorts.reset();
        applyPortSettings(output, input);
    }
    m_protocol.holdProgramChange(false);
}

void EditorSession::keepSavedPorts(const std::string& output, const std::string& input)
{
    // A saved port that is not there now (the device unplugged, its JACK
    // server not up yet) stays the choice, listed as not connected, and is
    // opened when it appears; choosing "no device" for it would lose it.
    const auto missing = [](const std::string& name, const std::vector<std::string>& listed) {
        return name.empty() || name == settings_keys::kNoDevice
                || std::ranges::find(listed, name) != listed.end()
            ? std::string()
            : name;
    };
    const std::string keepOutput = missing(output, m_ports->outputNames());
    const std::string keepInput = missing(input, m_ports->inputNames());
    if (keepOutput.empty() && keepInput.empty())
        return;
    m_ports->refreshNames(keepOutput, keepInput);
    m_model.updatePortNames(m_ports->outputNames(), m_ports->inputNames());
}

void EditorSession::setNotesRangeLow(int low) { m_catalogue.notesRangeLow = low == 1 ? 1 : 0; }

void EditorSession::setVariant(DeviceVariant variant) { m_protocol.setDeviceVariant(variant); }

void EditorSession::switchVariant(DeviceVariant variant)
{
    const EditHistory::Scope step
        = m_history.record("Switch to " + variantName(variant), m_bank.selectedPreset);
    setVariant(variant);
}

int EditorSession::outputEntry(const std::string& name) const
{
    const int found = findPortByName(m_model.outputList(), name);
    return found >= 0 && found < m_model.outputDeviceCount() ? found : m_model.outputDeviceCount();
}

bool EditorSession::selectOutputByName(const std::string& name)
{
    const int entry = outputEntry(name);
    m_protocol.chooseOutput(entry);
    return entry < m_model.outputDeviceCount();
}

bool EditorSession::selectInputByName(const std::string& name)
{
    const int found = findPortByName(m_model.inputList(), name);
    m_model.selectedInput = found < m_model.inputDeviceCount() ? found : -1;
    return m_model.selectedInput >= 0;
}

std::string EditorSession::selectedOutputName() const { return m_model.chosenOutputName(); }

std::string EditorSession::selectedInputName() const { return m_model.chosenInputName(); }

// --- the device ---

void EditorSession::takeFetchedPresets(const SyncReport& report)
{
    // Names stay, so the tree's texts do too: the selected preset's view is all.
    bool changed = false;
    {
        EditHistory::Scope step = m_history.record("Get All Presets", m_bank.selectedPreset);
        step.allPresets();
        changed = !applyFetched(m_bank.presets, report.fetched).empty();
    }
    if (changed)
        refreshKnobTable(m_bank.selectedPreset);
}

// --- the working set ---

void EditorSession::presetSelected(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_bank.selectedPreset = presetIndex;
    m_history.closeBurst(); // typing into another preset is another step
    if (m_autoSend && !m_suppressAutoSend)
        m_protocol.sendPreset(presetIndex, true, true);
    m_suppressAutoSend = false;
}

std::vector<int> EditorSession::dropPreset(int source, int target, DragOperation operation)
{
    // The caption names both places: "Copy Preset 5 to 2", "Swap Preset 5 with 2".
    static const char* const kOperations[] = { "Copy", "Swap", "Move", "Drop" };
    static const char* const kJoins[] = { " to ", " with ", " to ", " on " };
    const auto op = static_cast<std::size_t>(std::clamp(static_cast<int>(operation), 0, 3));
    EditHistory::Scope step = m_history.record(std::string(kOperations[op]) + " Preset "
            + std::to_string(source + 1) + kJoins[op] + std::to_string(target + 1),
        target);
    for (int p = std::min(source, target); p <= std::max(source, target); ++p)
        step.preset(p);
    return applyPresetDrop(m_bank, source, target, operation);
}

// Copying only fills the clipboard: no change of the working set to take back.
void EditorSession::copyPreset() { m_bank.copyPresetToClipboard(m_bank.selectedPreset); }

void EditorSession::pastePreset()
{
    EditHistory::Scope step = m_history.record("Paste Preset", m_bank.selectedPreset);
    step.preset(m_bank.selectedPreset);
    m_bank.pastePresetFromClipboard(m_bank.selectedPreset);
}

void EditorSession::swapPresetWithClipboard()
{
    EditHistory::Scope step = m_history.record("Paste Preset w/Clipboard", m_bank.selectedPreset);
    step.preset(m_bank.selectedPreset).clipboard();
    m_bank.swapPresetWithClipboard(m_bank.selectedPreset);
}

void EditorSession::renamePreset(int presetIndex, const std::string& name)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    EditHistory::Scope step
        = m_history.record("Rename Preset " + std::to_string(presetIndex + 1), presetIndex);
    step.preset(presetIndex);
    m_bank.presets[static_cast<std::size_t>(presetIndex)].name = name;
}

void EditorSession::setDescription(const std::string& description)
{
    const int p = m_bank.selectedPreset;
    EditHistory::Scope step
        = m_history.record("Edit Description", p, "description " + std::to_string(p));
    step.preset(p);
    m_bank.presets[static_cast<std::size_t>(p)].description = description;
}

LoadResult EditorSession::loadAllPresets(const std::string& path)
{
    EditHistory::Scope step = m_history.record("Load All Presets", m_bank.selectedPreset);
    step.allPresets();
    return m_files.loadAllPresets(path);
}

LoadResult EditorSession::loadSinglePreset(const std::string& path, int target)
{
    EditHistory::Scope step = m_history.record("Load Single Preset", target);
    step.preset(target);
    return m_files.loadSinglePreset(path, target);
}

LoadResult EditorSession::loadBanks(const std::string& path, int start)
{
    EditHistory::Scope step = m_history.record("Load Banks 1-4", start);
    step.allPresets(); // the four wrap around after preset 128
    return m_files.loadBanks(path, start);
}

SaveResult EditorSession::saveAllPresets(const std::string& path)
{
    maskAllPresets(m_bank);
    return m_files.saveAllPresets(path);
}

SaveResult EditorSession::saveSinglePreset(const std::string& path, int presetIndex)
{
    maskSinglePreset(m_bank, presetIndex);
    return m_files.saveSinglePreset(path, presetIndex);
}

SaveResult EditorSession::saveBanks(const std::string& path, int start)
{
    maskBanks(m_bank, start);
    return m_files.saveBanks(path, start);
}

void EditorSession::setThruFlags(bool channelEvents, bool sysexEvents, bool realtimeEvents)
{
    m_model.channelEventsThru = channelEvents;
    m_model.sysexEventsThru = sysexEvents;
    m_model.realtimeEventsThru = realtimeEvents;
}

// --- crash recovery ---

void EditorSession::restore(const RecoveryContents& contents)
{
    const int selected = std::clamp(contents.selectedPreset, 0, kPresetCount - 1);
    {
        EditHistory::Scope step = m_history.record("Restore Unsaved Changes", selected);
        step.allPresets();
        m_bank.presets = contents.presets;
        setVariant(contents.variant);
    }
    m_bank.selectedPreset = selected;
}

RecoveryContents EditorSession::journalContents() const
{
    RecoveryContents contents;
    contents.presets = m_bank.presets;
    contents.selectedPreset = m_bank.selectedPreset;
    contents.variant = m_model.deviceVariant;
    contents.savedAt = static_cast<std::int64_t>(std::time(nullptr));
    return contents;
}

FileResult EditorSession::journalTick(PaceClock::time_point now)
{
    return m_journal.tick(now, m_history.revision(), [this] { return journalContents(); });
}

// --- host ---

void EditorSession::portsOpened() { m_watch.portsOpened(); }

bool EditorSession::outputWanted() { return m_watch.outputWanted(PaceClock::now()); }

void EditorSession::scheduleChanged()
{
    if (m_host != nullptr)
        m_host->scheduleChanged();
}

void EditorSession::setCaption(const std::string& caption)
{
    if (m_host != nullptr)
        m_host->setCaption(caption);
}

void EditorSession::refreshKnobTable(int presetIndex)
{
    if (m_host != nullptr)
        m_host->refreshKnobTable(presetIndex);
}

void EditorSession::deviceSettingsChanged()
{
    if (m_host != nullptr)
        m_host->deviceSettingsChanged();
}

namespace {

    bool startsWith(const std::string& text, std::string_view start)
    {
        return text.starts_with(start);
    }

    /// A port went or came back: news that joins an outcome rather than hides it.
    bool portNews(const std::string& text)
    {
        for (std::string_view news : { "\" has gone", "\" have gone", "\" is back", "\" are back" })
            if (text.find(news) != std::string::npos && startsWith(text, "\""))
                return true;
        return false;
    }

    /// How a transfer, a fetch or a verify ended: kept on the status line.
    bool outcome(const std::string& text)
    {
        for (std::string_view start :
            { "Sent", "Sending stopped", "Got ", "Verified ", "No reply" })
            if (startsWith(text, start))
                return true;
        return portNews(text);
    }

} // namespace

void EditorSession::showStatus(const std::string& text)
{
    if (m_statusKept && portNews(text)) {
        if (m_status.find(text) == std::string::npos)
            m_status += "; " + text;
    } else {
        m_status = text;
    }
    m_statusKept = outcome(m_status);
    if (m_host != nullptr)
        m_host->showStatus(m_status);
}

void EditorSession::chooseOutputEntry(int entry)
{
    const std::string before = m_model.chosenOutputName();
    m_protocol.chooseOutput(entry);
    if (m_model.chosenOutputName() != before) {
        m_sync.forgetDevice();
        if (m_host != nullptr)
            m_host->deviceMarksChanged();
    }
}

} // namespace kestrow
