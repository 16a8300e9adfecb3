#include "ui/editor_windows.h"

#include "midi/midi_driver.h"
#include "midi/toolkit_ports.h"
#include "ui/about_form.h"
#include "ui/config_form.h"
#include "ui/description_form.h"
#include "ui/display_form.h"
#include "ui/info_form.h"
#include "ui/pickers/controller_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/long_piano_form.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/parameter_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"

#include <exception>

namespace kestrow {

namespace {

    template <typename T, typename... Args>
    T* adopt(std::vector<std::unique_ptr<QWidget>>& windows, const char* objectName, Args&&... args)
    {
        auto window = std::make_unique<T>(std::forward<Args>(args)...);
        window->setObjectName(QString::fromLatin1(objectName));
        T* raw = window.get();
        windows.push_back(std::move(window));
        return raw;
    }

} // namespace

EditorWindows::EditorWindows(EditorSession& session)
{
    // The main window makes its pickers itself, each when first asked for.
    m_main = std::make_unique<TMainForm>(session);

    SecondaryWindows secondary;
    m_config = adopt<TConfigForm>(m_windows, "ConfigForm", session, *m_main);
    secondary.config = m_config;
    // The windows that only show something on request are made when first asked for.
    secondary.about = onFirstUse<TAboutForm>("AboutForm");
    secondary.info = onFirstUse<TInfoForm>("InfoForm");
    secondary.display = onFirstUse<TDisplayForm>("DisplayForm");
    secondary.description = onFirstUse<TDescriptionForm>("DescriptionForm");
    m_main->setSecondaryWindows(std::move(secondary));
}

template <typename T> std::function<T*()> EditorWindows::onFirstUse(const char* objectName)
{
    return [this, objectName]() -> T* {
        const QString name = QString::fromLatin1(objectName);
        for (const auto& window : m_windows) {
            if (window->objectName() == name)
                return static_cast<T*>(window.get());
        }
        return adopt<T>(m_windows, objectName);
    };
}

EditorWindows::~EditorWindows()
{
    m_main->setSecondaryWindows({});
    m_main->detachConfigForm();
    while (!m_windows.empty())
        m_windows.pop_back();
    m_main.reset();
}

QStringList EditorWindows::creationOrder() const
{
    QStringList names { m_main->objectName() };
    for (const QWidget* picker : m_main->pickers().created())
        names << picker->objectName();
    for (const auto& window : m_windows)
        names << window->objectName();
    return names;
}

QWidget* EditorWindows::window(const QString& objectName) const
{
    if (m_main->objectName() == objectName)
        return m_main.get();
    for (const auto& window : m_windows) {
        if (window->objectName() == objectName)
            return window.get();
    }
    return m_main->findChild<QWidget*>(objectName);
}

EditorRun::EditorRun(const EditorPaths& paths)
{
    try {
        m_driver = std::make_unique<TMidiDriver>();
    } catch (const std::exception& error) {
        m_driverError = QString::fromLocal8Bit(error.what());
    }
    std::unique_ptr<MidiPorts> ports;
    if (m_driver)
        ports = std::make_unique<ToolkitMidiPorts>(*m_driver, defaultMidiDispatcher());
    else
        ports = std::make_unique<NoMidiPorts>();
    m_session = std::make_unique<EditorSession>(
        paths, std::move(ports), m_driver.get(), m_driverError.toStdString());
    m_windows = std::make_unique<EditorWindows>(*m_session);
}

EditorRun::~EditorRun()
{
    m_windows.reset();
    m_session.reset();
}

QString EditorRun::driverErrorMessage() const
{
    if (m_driver)
        return {};
    return QStringLiteral("%1\n\nThe editor runs without MIDI ports. Preset files need the MIDI "
                          "driver library too: in this run they can be neither loaded nor saved.")
        .arg(m_driverError);
}

} // namespace kestrow
