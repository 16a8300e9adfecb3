#include "ui/editor_windows.h"

#include "midi/midi_driver.h"
#include "midi/toolkit_ports.h"
#include "ui/about_form.h"
#include "ui/config_form.h"
#include "ui/description_form.h"
#include "ui/display_form.h"
#include "ui/info_form.h"
#include "ui/main_layout.h"
#include "ui/pickers/controller_form.h"
#include "ui/pickers/events_form.h"
#include "ui/pickers/factory_presets_form.h"
#include "ui/pickers/long_piano_form.h"
#include "ui/pickers/name_edit_form.h"
#include "ui/pickers/parameter_form.h"
#include "ui/pickers/picker_set.h"
#include "ui/pickers/values_form.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTimer>

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

namespace {

    /// Runs `work` once the window's first paint is done: queued behind that
    /// paint (and behind whatever it queued), so the frame is out first.
    class AfterFirstPaint : public QObject {
    public:
        AfterFirstPaint(QWidget& window, std::function<void()> work)
            : QObject(&window)
            , m_work(std::move(work))
        {
            window.installEventFilter(this);
        }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && watched == parent()) {
                watched->removeEventFilter(this);
                QTimer::singleShot(0, this, [this] { m_work(); });
            }
            return false;
        }

    private:
        std::function<void()> m_work;
    };

} // namespace

EditorRun::EditorRun(const EditorPaths& paths)
{
    // Where the library cannot be there at all, the run starts as it goes
    // on: without dump files, and the load fails at once (nothing to link).
    const bool present = TMidiDriver::libraryPresent();
    if (present)
        m_files = TMidiDriver::filesOnly();
    else
        loadDriver();
    m_session = std::make_unique<EditorSession>(paths, std::make_unique<NoMidiPorts>(),
        m_files ? m_files.get() : m_driver.get(), m_driverError.toStdString());
    if (present)
        m_session->awaitMidi();
    m_windows = std::make_unique<EditorWindows>(*m_session);
    new AfterFirstPaint(mainForm(), [this] { finishStart(); });
}

EditorRun::~EditorRun()
{
    m_windows.reset();
    m_session.reset();
}

void EditorRun::loadDriver()
{
    try {
        m_driver = std::make_unique<TMidiDriver>();
    } catch (const std::exception& error) {
        m_driverError = QString::fromLocal8Bit(error.what());
    }
}

void EditorRun::finishStart()
{
    if (m_finished)
        return;
    m_finished = true;
    TMainForm& main = mainForm();
    main.descriptionBox()->setFont(descriptionBoxFont());
    if (m_files) {
        loadDriver();
        if (m_driver)
            m_session->attachMidi(
                std::make_unique<ToolkitMidiPorts>(*m_driver, defaultMidiDispatcher()),
                m_driver.get());
        else
            m_session->attachMidi(nullptr, nullptr, m_driverError.toStdString());
        main.midiAttached();
    }
    if (!m_driver && onDriverMissing)
        onDriverMissing(driverErrorMessage());
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
