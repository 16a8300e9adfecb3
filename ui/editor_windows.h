#pragma once

#include "editor/editor_session.h"
#include "ui/main_form.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace kestrow {

/// The windows of a run: the main window and the device settings dialog are
/// created at start in that order, the windows that only show something on
/// request (pickers, about box, help, listings, knob table) on first use;
/// all are destroyed in reverse order of creation, all
/// of them views over one session, which must outlive them.
class EditorWindows {
public:
    explicit EditorWindows(EditorSession& session);
    ~EditorWindows();
    EditorWindows(const EditorWindows&) = delete;
    EditorWindows& operator=(const EditorWindows&) = delete;

    TMainForm& mainForm() { return *m_main; }
    TConfigForm& configForm() { return *m_config; }
    /// Object names of the windows created so far: the main window, the
    /// pickers it has made, then the others in creation order.
    QStringList creationOrder() const;
    /// A window by its object name ("ConfigForm", "InfoForm", ...); nullptr
    /// for one not created yet.
    QWidget* window(const QString& objectName) const;

private:
    /// Creates the window named `objectName` when first called, returns it after.
    template <typename T> std::function<T*()> onFirstUse(const char* objectName);

    std::unique_ptr<TMainForm> m_main;
    TConfigForm* m_config = nullptr;
    std::vector<std::unique_ptr<QWidget>> m_windows; ///< the others, in creation order
};

class TMidiDriver;

/// One run of the editor: the driver library, the session over its ports and
/// files, and the windows over the session. Without the driver library the
/// run goes on with no ports; the dump files, which the library reads and
/// writes, are then unavailable and the main window says so instead of losing work.
///
/// The first frame waits for nothing it does not show: start-up reads the
/// autosave set with the file functions built into the program, and the
/// library with its MIDI systems is loaded, the ports opened and the
/// description box given its font once the main window has been painted.
class EditorRun {
public:
    explicit EditorRun(const EditorPaths& paths);
    ~EditorRun();
    EditorRun(const EditorRun&) = delete;
    EditorRun& operator=(const EditorRun&) = delete;

    EditorSession& session() { return *m_session; }
    EditorWindows& windows() { return *m_windows; }
    TMainForm& mainForm() { return m_windows->mainForm(); }
    /// What is left of the start once the window was painted: loads the
    /// driver library (KESTROW_MIDIDRV, else beside the program), attaches
    /// its ports, sets the description box's font. Runs once; called on the
    /// main window's first paint, or by whoever cannot wait for it.
    void finishStart();
    bool started() const { return m_finished; }
    /// Called by finishStart when the driver library could not be loaded,
    /// with the message for the user.
    std::function<void(const QString& message)> onDriverMissing;

    bool hasDriver() const { return m_driver != nullptr; }
    /// The toolkit's text when the driver library could not be loaded.
    const QString& driverError() const { return m_driverError; }
    /// What the user is told at start when the driver library is missing.
    QString driverErrorMessage() const;

private:
    void loadDriver();

    std::unique_ptr<TMidiDriver>
        m_files; ///< the built-in file functions until the library is there
    std::unique_ptr<TMidiDriver> m_driver;
    QString m_driverError;
    bool m_finished = false;
    std::unique_ptr<EditorSession> m_session;
    std::unique_ptr<EditorWindows> m_windows;
};

} // namespace kestrow
