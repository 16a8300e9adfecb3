// kestrow-editor: the editor window and its fifteen secondary windows.

#include "core/program_directory.h"
#include "editor/instance_lock.h"
#include "ui/build_info.h"
#include "ui/editor_style.h"
#include "ui/editor_windows.h"
#include "ui/first_paint_probe.h"
#include "ui/main_form.h"
#include "ui/qt_midi_dispatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace kestrow;

/// Errors that escape an event handler end up in one message box, with their text.
class EditorApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            showError(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            showError(QStringLiteral("Unknown error"));
        }
        return false;
    }

    static void showError(const QString& text)
    {
        QMessageBox::critical(nullptr, QStringLiteral("Kestrow Editor"), text);
    }
};

// SIGTERM and SIGINT go through the window's own close path, so the working
// set is saved as on "Exit": the handler only writes a byte into a pipe.
int g_signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    struct sigaction action { };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // A file-size limit makes the write fail (EFBIG) and is reported like a
    // full disk, instead of ending the run with the edits unsaved; a JACK
    // server that died makes libjack write to a closed socket (EPIPE).
    ::signal(SIGXFSZ, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
}

/// The program's folder (build tree), else the data folder relative to the
/// installed program (any --prefix), else the data folder of the configured prefix.
std::string dataDirectoryFor(const char* fileName, const std::string& programDirectory)
{
    const std::string found
        = dataFileDirectory(fileName, programDirectory, installedDataDirectory(programDirectory));
    if (found != programDirectory)
        return found;
    return dataFileDirectory(fileName, programDirectory, KESTROW_DATA_DIR);
}

EditorPaths editorPaths()
{
    EditorPaths paths;
    paths.programDirectory = programDirectoryFromCommandLine(currentCommandLine());
    paths.factoryDirectory = dataDirectoryFor("FactoryPresets.MID", paths.programDirectory);
    paths.infoDirectory = dataDirectoryFor("Info.txt", paths.programDirectory);
    // An installed editor, whose factory set lies in the shared data folder,
    // keeps the autosave set in the user's folder even when run by root, so
    // the installed tree stays as the package left it.
    const bool installed = paths.factoryDirectory != paths.programDirectory;
    paths.autosaveDirectory
        = installed ? userDataDirectory() : autosaveDirectory(paths.programDirectory);
    return paths;
}

int run(EditorApplication& app)
{
    const EditorPaths paths = editorPaths();
    // One editor per autosave folder: two would each save over the other's set.
    InstanceLock instance(paths.autosaveDirectory);
    switch (instance.outcome()) {
    case InstanceLock::Outcome::acquired:
    case InstanceLock::Outcome::unavailable: // no guard to be had; the run goes on
        break;
    case InstanceLock::Outcome::forwarded:
        std::fprintf(stderr,
            "kestrow-editor: Kestrow Editor is already running with the presets in %s; its "
            "window was brought to the front.\n",
            paths.autosaveDirectory.c_str());
        return EXIT_SUCCESS;
    case InstanceLock::Outcome::held:
        EditorApplication::showError(QStringLiteral(
            "Another Kestrow Editor is working with the presets in %1 and does not answer.\n\n"
            "Switch to it, or close it (end it if it hangs), then start the editor again.")
                                         .arg(QString::fromStdString(paths.autosaveDirectory)));
        return EXIT_FAILURE;
    }

    QtMidiDispatcher dispatcher(&app);
    setDefaultMidiDispatcher(&dispatcher);

    // Without the driver library the editor still runs, without ports and
    // without dump files; the user is told why. The library is loaded once
    // the window has been painted.
    EditorRun editorRun(paths);
    TMainForm& mainForm = editorRun.mainForm();

    // A second editor started on this folder asks this one to come forward.
    QSocketNotifier raiseNotifier(instance.requestDescriptor(), QSocketNotifier::Read);
    raiseNotifier.setEnabled(instance.requestDescriptor() >= 0);
    QObject::connect(&raiseNotifier, &QSocketNotifier::activated, &mainForm, [&] {
        if (!instance.takeRequest())
            return;
        if (mainForm.isMinimized())
            mainForm.showNormal();
        mainForm.raise();
        mainForm.activateWindow();
    });

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    signalNotifier.setEnabled(g_signalPipe[0] >= 0);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &mainForm, [&mainForm] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(g_signalPipe[0], &byte, 1);
        mainForm.terminate();
    });

    // Closing the main window ends the run even with other windows open.
    bool ended = false;
    QObject::connect(&mainForm, &TMainForm::runEnded, &app, [&ended] { ended = true; });
    QObject::connect(
        &mainForm, &TMainForm::runEnded, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    // Shown once the window is up, over it, from the loop, so that a signal
    // during the box still ends the run through the close path.
    editorRun.onDriverMissing
        = [](const QString& message) { EditorApplication::showError(message); };
    FirstPaintProbe::installFromEnvironment(mainForm);
    mainForm.show();
    // A close while start-up asked its question may end the run inside show().
    const int result = ended ? EXIT_SUCCESS : app.exec();
    setDefaultMidiDispatcher(nullptr);
    // A run that could not save its working set at close did not end well.
    if (result == EXIT_SUCCESS && !mainForm.savedAtClose())
        return EXIT_FAILURE;
    return result;
}

/// --help and --version are answered before QApplication exists, so they
/// work without a display; true when one was answered.
bool answeredInfoOption(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: kestrow-editor [--help] [--version] [Qt options]\n"
                        "\n"
                        "Edits the 128 presets of a zembra MIDI controller, sends them to the\n"
                        "device, reads them back, keeps them in preset files and prints knob\n"
                        "tables. Other arguments are ignored, except Qt's own options such as\n"
                        "-platform NAME. See kestrow-editor(1).\n"
                        "\n"
                        "  -h, --help  show this help and exit\n"
                        "  --version   show the version and exit\n");
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrow-editor %s\n", buildVersion());
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (answeredInfoOption(argc, argv))
        return 0;
    installSignalHandlers();
    EditorApplication app(argc, argv);
    EditorApplication::setApplicationName(QStringLiteral("Kestrow Editor"));
    EditorApplication::setStyle(new EditorStyle(EditorApplication::style()));
    try {
        return run(app);
    } catch (const std::exception& error) {
        EditorApplication::showError(QString::fromLocal8Bit(error.what()));
    }
    return EXIT_FAILURE;
}
