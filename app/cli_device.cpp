#include "app/cli_device.h"

#include "app/cli_args.h"
#include "app/cli_folder.h"
#include "core/catalogue.h"
#include "core/text_codec.h"
#include "editor/port_watch.h"
#include "midi/midi_driver.h"
#include "midi/midi_smf.h"
#include "midi/toolkit_ports.h"
#include "protocol/device_protocol.h"
#include "protocol/device_sync.h"
#include "storage/dump_scan.h"
#include "storage/preset_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <unistd.h>

namespace kestrow::cli {

namespace {

    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;

    constexpr int kFailed = 1;
    /// How long to wait for the device's configuration before sending anyway.
    constexpr auto kConfigurationWait = 1000ms;
    constexpr std::int32_t kMaxDelay = 10000;

    std::string lower(std::string text)
    {
        std::ranges::transform(text, text.begin(),
            [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
        return text;
    }

    /// The one port whose name contains `part` (letter case aside; an exact
    /// name wins), or a Failure saying why there is none.
    int matchPort(const std::vector<std::string>& names, const std::string& part,
        const std::string& option, const char* kind)
    {
        if (part.empty())
            throw Failure { option + " needs part of a port name" };
        std::vector<int> found;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == part)
                return static_cast<int>(i);
            if (lower(names[i]).find(lower(part)) != std::string::npos)
                found.push_back(static_cast<int>(i));
        }
        if (found.size() == 1)
            return found.front();
        if (found.empty())
            throw Failure { option + " " + part + ": no " + kind
                + " port has that in its name (kestrow-cli ports lists them)" };
        std::string list;
        for (int i : found)
            list += (list.empty() ? "" : ", ") + names[static_cast<std::size_t>(i)];
        throw Failure { option + " " + part + " matches " + std::to_string(found.size()) + " "
            + kind + " ports: " + list };
    }

    /// "1-4,9" as preset indices 0..127, ascending, each once.
    std::vector<int> parsePresetList(const std::string& text)
    {
        std::vector<int> out;
        const auto bad = [&text] {
            return Failure { "--presets takes numbers 1..128 and ranges like 1-4,9, not " + text };
        };
        std::size_t at = 0;
        while (at <= text.size()) {
            const std::size_t comma = std::min(text.find(',', at), text.size());
            const std::string item = text.substr(at, comma - at);
            const std::size_t dash = item.find('-');
            int first = 0;
            int last = 0;
            try {
                std::size_t used = 0;
                first = std::stoi(item.substr(0, dash), &used);
                if (used != (dash == std::string::npos ? item.size() : dash) || item[0] == '-'
                    || item[0] == '+')
                    throw bad();
                last = first;
                if (dash != std::string::npos) {
                    const std::string tail = item.substr(dash + 1);
                    last = std::stoi(tail, &used);
                    if (used != tail.size() || tail[0] == '-' || tail[0] == '+')
                        throw bad();
                }
            } catch (const std::logic_error&) {
                throw bad();
            }
            if (first < 1 || last > kPresetCount || first > last)
                throw bad();
            for (int p = first; p <= last; ++p)
                out.push_back(p - 1);
            at = comma + 1;
        }
        std::ranges::sort(out);
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    /// The editor's protocol over the toolkit's ports, in a console: the
    /// window's timers become waits, its caption the progress on stderr.
    class DeviceConsole : public ProtocolHost {
    public:
        DeviceConsole()
            : m_driver(programDirectory() + "libmididrv.so")
            , m_ports(m_driver, m_dispatcher)
            , m_smf(&m_driver)
            , m_files(m_bank, m_smf, m_settings.deviceVariant)
        {
            setDefaultMidiDispatcher(&m_dispatcher);
            m_settings.setPortNames(m_ports.outputNames(), m_ports.inputNames());
            m_ports.onInput = [this](const MidiEvent& e) { m_protocol.replyCollector(e); };
            m_protocol.setObserver(&m_sync);
        }
        ~DeviceConsole() override
        {
            m_ports.onInput = nullptr;
            m_protocol.setObserver(nullptr);
            endProgress();
            setDefaultMidiDispatcher(nullptr);
        }

        MidiPorts& ports() { return m_ports; }
        PresetBank& bank() { return m_bank; }
        PresetFiles& files() { return m_files; }
        DeviceProtocol& protocol() { return m_protocol; }
        DeviceSync& sync() { return m_sync; }
        void setVariant(DeviceVariant variant) { m_protocol.setDeviceVariant(variant); }
        void setDelay(int delay) { (void)m_protocol.setDelayText(std::to_string(delay)); }

        /// Opens the ports named by --port (and --in); the input only when
        /// `needInput` or --in is given. Asks for the device's configuration
        /// so the Program Change goes on its master channel.
        void connect(const Arguments& args, bool needInput)
        {
            const std::optional<std::string> port = optionValue(args, "--port");
            if (!port)
                throw Failure { "--port NAME is needed (kestrow-cli ports lists the names)" };
            const std::optional<std::string> in = optionValue(args, "--in");
            const int output = matchPort(m_settings.outputList(), *port, "--port", "output");
            int input = -1;
            if (in)
                input = matchPort(m_settings.inputList(), *in, "--in", "input");
            else if (needInput)
                input = matchPort(m_settings.inputList(), *port, "--port", "input");
            else
                try {
                    input = matchPort(m_settings.inputList(), *port, "--port", "input");
                } catch (const Failure&) {
                    input = -1; // sending needs no input
                }
            m_protocol.chooseOutput(output);
            if (!m_ports.outputIsOpen(output))
                throw Failure { m_lastStatus.empty()
                        ? m_settings.outputList()[static_cast<std::size_t>(output)]
                            + " cannot be opened"
                        : m_lastStatus };
            if (input >= 0) {
                m_protocol.chooseInput(input);
                // The second query goes one Delay after the first.
                wait(kConfigurationWait + delay(), [this] { return m_settingsChanges >= 2; });
            }
        }

        /// Runs the paced transfer of `presets` queued in the protocol to its
        /// end, then its Program Change for the first of them; a transfer
        /// that stopped short is a Failure.
        void runTransfer(const std::vector<int>& presets)
        {
            const int programChange = presets.front();
            while (m_protocol.timerEnabled(ProtocolTimer::Timer1)) {
                m_protocol.Timer1Timer();
                wait(delay());
            }
            m_bank.selectedPreset = programChange;
            if (m_protocol.timerEnabled(ProtocolTimer::Timer4)) {
                wait(delay());
                m_protocol.Timer4Timer();
            }
            endProgress();
            for (int p : presets)
                if (m_sync.differsFromDevice(p)) // its messages did not all go
                    throw Failure { "the transfer stopped at preset " + std::to_string(p + 1)
                            + ": the output port took no more messages (the device, its cable or "
                              "its MIDI system went away); check them and send again",
                        kFailed };
        }

        /// Runs a fetch, a verify or a send's read-back to its end, with the
        /// presets a read-back sends again and their Program Change.
        SyncReport runFetch(const SyncStart& started)
        {
            if (started.ports.abandon())
                throw Failure { "the device needs both an output and an input port" };
            if (!started.note.empty())
                throw Failure { started.note, kFailed };
            const auto origin = Clock::now();
            bool sent = false; // the Program Change follows a transfer of this job's own
            for (;;) {
                const auto now
                    = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - origin);
                if (std::optional<SyncReport> report = m_sync.tick(now.count())) {
                    endProgress();
                    return *report;
                }
                if (m_sync.drivesTransfers() && m_protocol.timerEnabled(ProtocolTimer::Timer1)) {
                    // One Delay after what went before, as the window's timer
                    // would: a busy device loses a message that comes sooner.
                    wait(delay());
                    m_protocol.Timer1Timer();
                    sent = true;
                    continue;
                }
                // The Program Change after a resend or a probe; the one at
                // creation never goes.
                if (sent && m_sync.drivesTransfers()
                    && m_protocol.timerEnabled(ProtocolTimer::Timer4)) {
                    wait(delay());
                    m_protocol.Timer4Timer();
                }
                wait(2ms);
            }
        }

        // ProtocolHost
        void setCaption(const std::string& caption) override
        {
            if (!m_terminal || caption == variantTitle(m_settings.deviceVariant))
                return;
            std::cerr << '\r' << caption << "   " << std::flush;
            m_progressShown = true;
        }
        void refreshKnobTable(int) override { }
        void deviceSettingsChanged() override { ++m_settingsChanges; }
        void showStatus(const std::string& text) override { m_lastStatus = text; }
        void portsOpened() override { m_watch.portsOpened(); }
        bool outputWanted() override { return m_watch.outputWanted(Clock::now()); }

    private:
        /// Runs the input and, as the window's Timer5 would, the protocol's
        /// watch, for `time` or until `done`.
        void wait(std::chrono::milliseconds time, const std::function<bool()>& done = nullptr)
        {
            const std::function<bool()> stop = done ? done : [] { return false; };
            // Only the watch runs on its own: the transfer's messages and its
            // Program Change are the caller's steps.
            const auto end = Clock::now() + time;
            for (auto now = Clock::now(); now < end && !stop(); now = Clock::now()) {
                m_watch.tick(now); // first: the protocol's watch moves the deadline they share
                const std::optional<PaceClock::time_point> watch
                    = m_protocol.deadline(ProtocolTimer::Timer5);
                if (watch && now >= *watch)
                    m_protocol.Timer5Timer();
                std::optional<PaceClock::time_point> next
                    = m_protocol.deadline(ProtocolTimer::Timer5);
                if (const auto look = m_watch.deadline(); look && (!next || *look < *next))
                    next = look;
                const auto until = next ? std::min(end, *next) : end;
                m_dispatcher.pumpUntil(
                    stop, std::chrono::duration_cast<std::chrono::milliseconds>(until - now));
            }
        }
        std::chrono::milliseconds delay() const
        {
            return std::chrono::milliseconds(std::max(1, m_settings.delay));
        }
        void endProgress()
        {
            if (m_progressShown)
                std::cerr << '\n';
            m_progressShown = false;
        }

        TMidiDriver m_driver;
        ManualDispatcher m_dispatcher;
        ToolkitMidiPorts m_ports;
        TMidiSMF m_smf;
        PresetBank m_bank;
        DeviceSettingsModel m_settings;
        Catalogue m_catalogue;
        PresetFiles m_files;
        DeviceProtocol m_protocol { m_bank, m_settings, m_ports, *this };
        DeviceSync m_sync { m_protocol, m_bank, m_settings, m_catalogue, *this };
        PortWatch m_watch { m_protocol, m_settings, m_ports, *this };
        int m_settingsChanges = 0;
        std::string m_lastStatus;
        bool m_terminal = ::isatty(2) == 1;
        bool m_progressShown = false;
    };

    /// Prints the report's lines as UTF-8; its exit code: 0 when all went well.
    int finishReport(const SyncReport& report)
    {
        std::string text;
        for (const std::string& line : report.lines())
            text += line + '\n';
        std::cout << cp1252ToUtf8(text) << std::flush;
        return report.ok() ? 0 : kFailed;
    }

    /// The presets FILE holds and the file loaded as "Load All Presets" does;
    /// a file with init values is a zembraDial's.
    struct LoadedFile {
        std::vector<int> presets;
        bool dial = false;
    };

    LoadedFile loadFile(DeviceConsole& console, const std::string& path)
    {
        checkName(path);
        LoadedFile loaded;
        PresetFiles& files = console.files();
        const int count = files.readDumpFile(path);
        if (count < 0)
            throw Failure { files.lastReadError() };
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < count; ++i)
            bytes.push_back(
                static_cast<std::uint8_t>(files.dumpBytes[static_cast<std::size_t>(i)] & 0xFF));
        const DumpScan scan = scanDump(bytes);
        for (const DumpAssignment& a : assignDump(scan, -1)) {
            loaded.presets.push_back(a.preset);
            loaded.dial = loaded.dial || scan.messages[a.message].kind == FrameKind::initValues;
        }
        std::ranges::sort(loaded.presets);
        loaded.presets.erase(
            std::unique(loaded.presets.begin(), loaded.presets.end()), loaded.presets.end());
        const LoadResult result = files.loadAllPresets(path);
        if (!result)
            throw Failure { result.reason };
        if (!result.note.empty())
            std::cerr << result.note << "\n";
        return loaded;
    }

    /// --presets, which must all be in the file; else every preset of the file.
    std::vector<int> chosenPresets(
        const Arguments& args, const LoadedFile& file, const std::string& path)
    {
        const std::optional<std::string> list = optionValue(args, "--presets");
        if (!list)
            return file.presets;
        std::vector<int> chosen = parsePresetList(*list);
        std::vector<int> absent;
        std::ranges::set_difference(chosen, file.presets, std::back_inserter(absent));
        if (!absent.empty())
            throw Failure { path + " holds no preset " + presetListText(absent) };
        return chosen;
    }

    /// Loads the file named first into the console, sets its variant and
    /// delay, and returns the presets to work on (--presets or the file's).
    std::vector<int> prepareFromFile(DeviceConsole& console, const Arguments& args)
    {
        const std::string& path = args.positional[0];
        // "--delay auto" starts at the default and is found once connected.
        const bool automatic = optionValue(args, "--delay") == std::optional<std::string>("auto");
        const int delay
            = automatic ? 200 : numberOption(args, "--delay", 1, kMaxDelay).value_or(200);
        const LoadedFile file = loadFile(console, path);
        std::vector<int> presets = chosenPresets(args, file, path);
        console.setVariant(hasOption(args, "--dial") || file.dial ? DeviceVariant::zembraDial
                                                                  : DeviceVariant::zembraControl);
        console.setDelay(delay);
        return presets;
    }

} // namespace

int listPorts(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, {});
    expectCount(args, 0, "ports");
    TMidiDriver driver(programDirectory() + "libmididrv.so");
    ManualDispatcher dispatcher;
    ToolkitMidiPorts ports(driver, dispatcher);
    // The MIDI systems first: an empty list says nothing of why it is empty.
    std::string text;
    for (const std::string& line : ports.systemStatus())
        text += "system  " + line + "\n";
    for (const std::string& name : ports.outputNames())
        text += "output  " + name + "\n";
    for (const std::string& name : ports.inputNames())
        text += "input   " + name + "\n";
    std::cout << text << std::flush;
    return std::cout ? 0 : kBadInput;
}

int backupDevice(std::span<char* const> rest)
{
    const Arguments args = splitArguments(rest, { "--dial" }, { "--port", "--in", "--delay" });
    expectCount(args, 1, "backup");
    const int delay = numberOption(args, "--delay", 1, kMaxDelay).value_or(200);
    const std::string& out = args.positional[0];
    if (!hasMidExtension(out))
        throw Failure { out + ": a preset file name must end in .MID" };
    // Found out before the fetch, not after it.
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::absolute(out, error).parent_path();
    if (error || !std::filesystem::is_directory(folder, error))
        throw Failure { out + ": there is no folder " + folder.string() };
    prepareFolderOf(out, true);
    DeviceConsole console;
    console.setVariant(
        hasOption(args, "--dial") ? DeviceVariant::zembraDial : DeviceVariant::zembraControl);
    console.setDelay(delay);
    console.connect(args, true);
    const SyncReport report = console.runFetch(console.sync().getAllPresets());
    if (!report.noReply.empty()) {
        finishReport(report);
        throw Failure { out + " was not written: the backup would be incomplete", kFailed };
    }
    PresetBank& bank = console.bank();
    applyFetched(bank.presets, report.fetched);
    // The names a loader gives presets without any.
    for (int p = 0; p < kPresetCount; ++p) {
        Preset& preset = bank.presets[static_cast<std::size_t>(p)];
        preset.name = "Preset " + std::to_string(p + 1);
        for (int k = 0; k < kKnobCount; ++k)
            preset.knobName[k] = "Knob " + std::to_string(k + 1);
    }
    const SaveResult saved = console.files().saveAllPresets(out);
    if (!saved.ok())
        throw Failure { saved.message(), kFailed };
    return finishReport(report);
}

int sendToDevice(std::span<char* const> rest)
{
    const Arguments args = splitArguments(
        rest, { "--verify", "--dial" }, { "--port", "--in", "--delay", "--presets" });
    expectCount(args, 1, "send");
    DeviceConsole console;
    const std::vector<int> presets = prepareFromFile(console, args);
    const bool verify = hasOption(args, "--verify");
    const bool automatic = optionValue(args, "--delay") == std::optional<std::string>("auto");
    console.sync().verifyAfterSend = verify; // a single preset proves itself too
    console.connect(args, verify || automatic);
    if (automatic) {
        // Found with the first preset to send, which goes back as it was.
        const SyncReport found = console.runFetch(console.sync().findFastestDelay(presets.front()));
        std::cout << found.lines().front() << "\n" << std::flush;
        if (found.delayFound == 0)
            throw Failure { "nothing was sent", kFailed };
    }
    if (console.protocol().sendPresets(presets).abandon())
        throw Failure { "no output port to send to" };
    console.runTransfer(presets);
    std::cout << "Sent presets " << presetListText(presets) << "\n" << std::flush;
    if (!verify)
        return 0;
    // The send reads itself back (and sends again what differs) on its own.
    SyncStart proving;
    if (!console.sync().proving())
        proving.note = "nothing was sent to read back";
    return finishReport(console.runFetch(proving));
}

int verifyDevice(std::span<char* const> rest)
{
    const Arguments args
        = splitArguments(rest, { "--dial" }, { "--port", "--in", "--delay", "--presets" });
    expectCount(args, 1, "verify");
    DeviceConsole console;
    const std::vector<int> presets = prepareFromFile(console, args);
    console.connect(args, true);
    return finishReport(console.runFetch(console.sync().verifyPresets(presets)));
}

} // namespace kestrow::cli
