#pragma once

#include "config_form.h"
#include "editor_session.h"
#include "editor_windows.h"
#include "main_form.h"
#include "midi_driver.h"
#include "midi_ports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <memory>
#include <set>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace kestrow::test {

/// One message put to an output: the device and its bytes (data1 of each
/// SysEx event, or status and data1 of a channel message).
struct PutMessage {
    int device = -1;
    std::vector<std::uint8_t> bytes;
};

/// Ports without hardware: two outputs and one input that record what the
/// protocol does with them.
class FakePorts : public MidiPorts {
public:
    std::vector<std::string> outputs { "Test Out A", "Test Out B" };
    std::vector<std::string> inputs { "Test In" };
    std::vector<PutMessage> puts;
    std::set<int> openedOutputs;
    int inputOpened = -1;
    int inputCloses = 0;
    /// Written to, it tells the window that the ports changed.
    int changes = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    ~FakePorts() override { ::close(changes); }
    int changeDescriptor() override { return changes; }
    std::uint32_t changeCount() override
    {
        std::uint64_t count = 0;
        return ::read(changes, &count, sizeof count) > 0 ? static_cast<std::uint32_t>(count) : 0;
    }

    std::vector<std::string> outputNames() const override { return outputs; }
    std::vector<std::string> inputNames() const override { return inputs; }
    bool outputIsOpen(int device) const override { return openedOutputs.count(device) > 0; }
    PortResult openOutput(int device) override
    {
        openedOutputs.insert(device);
        return PortResult::success();
    }
    PortResult put(int device, std::span<const MidiEvent> events) override
    {
        PutMessage message { device, {} };
        for (const MidiEvent& e : events) {
            if (e.status == 0xF0) {
                message.bytes.push_back(e.data1);
            } else {
                message.bytes.push_back(e.status);
                message.bytes.push_back(e.data1);
            }
        }
        puts.push_back(message);
        return PortResult::success();
    }
    void closeInput() override
    {
        ++inputCloses;
        inputOpened = -1;
    }
    PortResult openInput(int device) override
    {
        inputOpened = device;
        return PortResult::success();
    }

    /// Messages of a given length (10 = requests and queries, 58/26/10 = dump parts).
    std::vector<PutMessage> sysex(std::size_t length) const
    {
        std::vector<PutMessage> found;
        for (const PutMessage& m : puts) {
            if (m.bytes.size() == length && m.bytes.front() == 0xF0)
                found.push_back(m);
        }
        return found;
    }
    std::vector<PutMessage> programChanges() const
    {
        std::vector<PutMessage> found;
        for (const PutMessage& m : puts) {
            if (!m.bytes.empty() && (m.bytes.front() & 0xF0) == 0xC0)
                found.push_back(m);
        }
        return found;
    }
};

/// Every folder of a run in `folder`, or Config.* in `autosaveFolder` when given.
inline EditorPaths pathsIn(const QString& folder, const QString& autosaveFolder = {})
{
    const auto path = [](const QString& f) { return QDir(f).absolutePath().toStdString() + "/"; };
    const std::string program = path(folder);
    return { program, autosaveFolder.isEmpty() ? program : path(autosaveFolder), program, program };
}

/// The bytes of a file; empty when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// One run of the editor in a folder: the session over fake ports and, with
/// withFiles, the real driver library for the preset files; the windows over it.
class Session {
public:
    /// autosaveFolder: where Config.* go when not the program folder.
    explicit Session(
        const QString& folder, bool withFiles = true, const QString& autosaveFolder = {})
        : paths(pathsIn(folder, autosaveFolder))
    {
        auto fake = std::make_unique<FakePorts>();
        ports = fake.get();
        if (withFiles)
            driver = std::make_unique<TMidiDriver>();
        editor = std::make_unique<EditorSession>(paths, std::move(fake), driver.get());
        windows = std::make_unique<EditorWindows>(*editor);
        main().showWarning = [this](const QString& title, const QString& text) {
            warnings << title + QStringLiteral(": ") + text;
        };
    }

    TMainForm& main() { return windows->mainForm(); }
    TConfigForm& config() { return windows->configForm(); }
    PresetBank& bank() { return main().bank(); }

    EditorPaths paths;
    FakePorts* ports = nullptr;
    std::unique_ptr<TMidiDriver> driver;
    std::unique_ptr<EditorSession> editor;
    std::unique_ptr<EditorWindows> windows;
    QStringList warnings;
};

/// Copies the factory set built beside the test program into a folder.
inline bool copyFactorySet(const QString& folder)
{
    const QDir from(QCoreApplication::applicationDirPath());
    bool ok = true;
    for (const char* name : { "FactoryPresets.MID", "FactoryPresets.CFG", "FactoryPresets.NTS" })
        ok = QFile::copy(from.filePath(QString::fromLatin1(name)),
                 QDir(folder).filePath(QString::fromLatin1(name)))
            && ok;
    return ok;
}

} // namespace kestrow::test
