#include "editor_session.h"

#include "device_memory_file.h"
#include "program_directory.h"
#include "set_writer.h"
#include "settings_keys.h"
#include "side_files.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <utility>

namespace kestrow {

namespace {

    constexpr const char* kAutosaveDump = "Config.MID";
    constexpr const char* kAutosaveBase = "Config";

} // namespace

EditorSession::EditorSession(EditorPaths paths, std::unique_ptr<MidiPorts> ports,
    TMidiDriver* driver, std::string driverError)
    : m_paths(std::move(paths))
    , m_editorState(m_bank, m_catalogue, m_model.deviceVariant)
    , m_ports(ports ? std::move(ports) : std::make_unique<NoMidiPorts>())
    , m_tap(*m_ports)
    , m_protocol(m_bank, m_model, m_tap, m_relay)
    , m_sync(m_protocol, m_bank, m_model, m_catalogue, m_relay)
    , m_smf(driver)
    , m_files(m_bank, m_smf, m_model.deviceVariant)
{
    if (driver == nullptr)
        m_dumpFilesUnavailable = driverError.empty() ? "the MIDI driver library is not loaded"
                                                     : std::move(driverError);
    m_model.setPortNames(m_ports->outputNames(), m_ports->inputNames());
    m_ports->onInput = [this](const MidiEvent& event) {
        m_tap.incoming(event);
        m_protocol.replyCollector(event);
    };
    m_protocol.setObserver(&m_sync);
}

EditorSession::~EditorSession()
{
    m_protocol.setObserver(nullptr);
    m_ports->onInput = nullptr;
    m_relay.target = nullptr;
}

// --- start and end of a run ---

StartupReport EditorSession::startUp()
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
    // Without the driver library nothing can be read; the autosave dump is
    // not damaged for that and stays where it is.
    if (!m_dumpFilesUnavailable.empty())
        return report;

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
        applySettings(*settings);
        report.settingsApplied = true;
        // Beside the set only when an earlier run wrote it; without it every
        // preset counts as not known to be on the device.
        m_sync.memory() = readDeviceMemoryFile(
            sideFile(m_paths.autosaveDirectory + kAutosaveBase + kDeviceMemoryExtension));
    } else {
        keepUnreadableAutosave(report);
    }
    return report;
}

void EditorSession::keepUnreadableAutosave(StartupReport& report)
{
    // The close sequence would replace an autosave dump that exists but cannot
    // be read; it may hold the user's only copy, so it moves aside first.
    namespace fs = std::filesystem;
    const std::string path = m_paths.autosaveDirectory + kAutosaveDump;
    std::error_code error;
    if (m_files.lastReadError().empty() || !fs::is_regular_file(path, error))
        return;
    const std::string kept = path + ".damaged";
    fs::remove(kept, error);
    error.clear();
    fs::rename(path, kept, error);
    report.warnings.push_back("The autosaved presets could not be read:\n" + m_files.lastReadError()
        + "\n\n"
        + (error
                ? std::string("The file could not be moved aside and will be replaced when the "
                              "editor closes.")
                : "The file is kept as " + kept + ". The editor starts with the factory presets."));
}

SaveResult EditorSession::saveAutosaveSet()
{
    const std::string& folder = m_paths.autosaveDirectory;
    m_bank.presetMask.fill(1);
    SaveResult result;
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
    s.deviceType = m_model.deviceVariant;
    s.optionsShowBankGroups = m_model.showBankGroups;
    s.optionsFixed = !m_model.bankGroupsVariable;
    s.verifyAfterSend = m_sync.verifyAfterSend;
    s.recentFiles = m_recentFiles;
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
    selectOutputByName(settings.midiDevice);
    selectInputByName(settings.midiInDevice);
    m_protocol.reopenInputAndRequestConfiguration();
    m_bank.selectedPreset = std::clamp(settings.selectedPreset, 0, kPresetCount - 1);
    m_recentFiles = settings.recentFiles;
}

void EditorSession::setNotesRangeLow(int low) { m_catalogue.notesRangeLow = low == 1 ? 1 : 0; }

void EditorSession::setVariant(DeviceVariant variant) { m_protocol.setDeviceVariant(variant); }

bool EditorSession::selectOutputByName(const std::string& name)
{
    const int found = findPortByName(m_model.outputList(), name);
    const bool device = found >= 0 && found < m_model.outputDeviceCount();
    m_protocol.chooseOutput(device ? found : m_model.outputDeviceCount());
    return device;
}

bool EditorSession::selectInputByName(const std::string& name)
{
    const int found = findPortByName(m_model.inputList(), name);
    m_model.selectedInput = found < m_model.inputDeviceCount() ? found : -1;
    return m_model.selectedInput >= 0;
}

std::string EditorSession::selectedOutputName() const
{
    return m_model.outputChosen()
        ? m_model.outputList()[static_cast<std::size_t>(m_model.selectedOutput)]
        : std::string(settings_keys::kNoDevice);
}

std::string EditorSession::selectedInputName() const
{
    return m_model.inputChosen()
        ? m_model.inputList()[static_cast<std::size_t>(m_model.selectedInput)]
        : std::string(settings_keys::kNoDevice);
}

// --- the device ---

std::optional<SyncReport> EditorSession::tickDevice(std::int64_t now)
{
    std::optional<SyncReport> report = m_sync.tick(now);
    if (report && report->job == SyncJob::getAll)
        takeFetchedPresets(*report);
    return report;
}

void EditorSession::takeFetchedPresets(const SyncReport& report)
{
    // One step for the whole fetch: open the history's record scope for all
    // presets here once the working set has one.
    // Names stay, so the tree's texts do too: the selected preset's view is all.
    if (!applyFetched(m_bank.presets, report.fetched).empty())
        m_relay.refreshKnobTable(m_bank.selectedPreset);
}

// --- the working set ---

void EditorSession::presetSelected(int presetIndex)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    m_bank.selectedPreset = presetIndex;
    if (m_autoSend && !m_suppressAutoSend)
        m_protocol.sendPreset(presetIndex, true, true);
    m_suppressAutoSend = false;
}

std::vector<int> EditorSession::dropPreset(int source, int target, DragOperation operation)
{
    return applyPresetDrop(m_bank, source, target, operation);
}

void EditorSession::copyPreset() { m_bank.copyPresetToClipboard(m_bank.selectedPreset); }

void EditorSession::pastePreset() { m_bank.pastePresetFromClipboard(m_bank.selectedPreset); }

void EditorSession::swapPresetWithClipboard()
{
    m_bank.swapPresetWithClipboard(m_bank.selectedPreset);
}

void EditorSession::renamePreset(int presetIndex, const std::string& name)
{
    if (presetIndex >= 0 && presetIndex < kPresetCount)
        m_bank.presets[static_cast<std::size_t>(presetIndex)].name = name;
}

void EditorSession::setDescription(const std::string& description)
{
    m_bank.presets[static_cast<std::size_t>(m_bank.selectedPreset)].description = description;
}

// --- host ---

void EditorSession::HostRelay::setTimerEnabled(ProtocolTimer timer, bool enabled)
{
    if (target != nullptr)
        target->setTimerEnabled(timer, enabled);
}

void EditorSession::HostRelay::setTimerInterval(ProtocolTimer timer, int milliseconds)
{
    if (target != nullptr)
        target->setTimerInterval(timer, milliseconds);
}

void EditorSession::HostRelay::setCaption(const std::string& caption)
{
    if (target != nullptr)
        target->setCaption(caption);
}

void EditorSession::HostRelay::refreshKnobTable(int presetIndex)
{
    if (target != nullptr)
        target->refreshKnobTable(presetIndex);
}

void EditorSession::HostRelay::deviceSettingsChanged()
{
    if (target != nullptr)
        target->deviceSettingsChanged();
}

void EditorSession::HostRelay::showStatus(const std::string& text)
{
    if (target != nullptr)
        target->showStatus(text);
}

} // namespace kestrow
