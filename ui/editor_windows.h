#pragma once

#include "main_form.h"
#include "midi_ports.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace kestrow {

/// The sixteen windows of a run, created in their fixed order (the main
/// window first, the device settings dialog fifth) and destroyed in reverse.
class EditorWindows {
public:
    /// Creates every window; the dialog takes the ports. The preset files are
    /// given to the main window afterwards (they work on its bank).
    EditorWindows(const EditorPaths& paths, std::unique_ptr<MidiPorts> ports);
    ~EditorWindows();
    EditorWindows(const EditorWindows&) = delete;
    EditorWindows& operator=(const EditorWindows&) = delete;

    TMainForm& mainForm() { return *m_main; }
    TConfigForm& configForm() { return *m_config; }
    /// Object names of the windows in creation order.
    QStringList creationOrder() const;
    /// A window by its object name ("ConfigForm", "InfoForm", ...).
    QWidget* window(const QString& objectName) const;

private:
    std::unique_ptr<TMainForm> m_main;
    TConfigForm* m_config = nullptr;
    std::vector<std::unique_ptr<QWidget>> m_windows; ///< windows 2..16 in order
};

} // namespace kestrow
