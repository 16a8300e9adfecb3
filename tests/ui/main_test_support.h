#pragma once

#include "../storage/fake_ports.h"
#include "editor/editor_session.h"
#include "midi/midi_driver.h"
#include "ui/config_form.h"
#include "ui/editor_windows.h"
#include "ui/main_form.h"

// The widgets the window tests reach, for all of them.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace kestrow::test {

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

/// Replaces a file with the bytes; false when it cannot be written.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
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
        // A run of an earlier test case in the same folder may leave a
        // journal; no box may wait for an answer.
        main().askRecovery = [](const QString&) { return RecoveryChoice::discard; };
    }

    TMainForm& main() { return windows->mainForm(); }
    TConfigForm& config() { return windows->configForm(); }
    PresetBank& bank() { return main().editorState().bank; }

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
