// End to end over the driver library's emulated device: a preset goes out
// through the paced sender and comes back with "Get Preset".

#include "main_test_support.h"
#include "midi/toolkit_ports.h"
#include "ui/qt_midi_dispatcher.h"

using namespace kestrow;

namespace {

/// An editor with its windows over the driver library's emulated device.
struct EmulatorRun {
    explicit EmulatorRun(QObject* parent)
        : dispatcher(parent)
        , paths(test::pathsIn(dir.path()))
        , dispatcherSet(&dispatcher)
        , session(paths, std::make_unique<ToolkitMidiPorts>(driver, dispatcher), &driver)
        , windows(session)
    {
    }

    /// Shows the window, picks the emulator for both ports and asks for its
    /// configuration; false when it is not listed.
    bool chooseEmulator()
    {
        windows.mainForm().FormShow();
        TConfigForm& config = windows.configForm();
        const bool listed = config.selectOutputByName("zembra Emulator")
            && config.selectInputByName("zembra Emulator");
        config.getDeviceConfiguration();
        return listed;
    }

    /// The dispatcher is the default one from before the driver loads until
    /// after the session is gone.
    struct DefaultDispatcher {
        explicit DefaultDispatcher(MidiDispatcher* d) { setDefaultMidiDispatcher(d); }
        ~DefaultDispatcher() { setDefaultMidiDispatcher(nullptr); }
    };

    QtMidiDispatcher dispatcher;
    QTemporaryDir dir;
    EditorPaths paths;
    DefaultDispatcher dispatcherSet;
    TMidiDriver driver;
    EditorSession session;
    EditorWindows windows;
};

} // namespace

class MainDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void changedPresetsGoOutAreVerifiedAndOneTravelsThereAndBack()
    {
        EmulatorRun editor(this);
        TMainForm& form = editor.windows.mainForm();
        TConfigForm& config = editor.windows.configForm();
        QVERIFY(editor.chooseEmulator());
        config.setDelayFieldText(QStringLiteral("2"));
        // The device answers the two queries.
        QTRY_VERIFY_WITH_TIMEOUT(!config.model().versionText.empty(), 3000);
        QStringList reports; // boxes of either kind
        form.showReport = form.showWarning = [&](const QString& title, const QString& text) {
            reports << title + QStringLiteral(": ") + text;
        };
        // What goes, the captions and what the report says are the device
        // sync's tests; a send reads itself back and speaks only of a difference.
        form.findAction({ "&Device", "Send Changed Presets" })->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(
            form.statusText(), QStringLiteral("Sent and verified 128 presets"), 20000);
        QVERIFY(reports.isEmpty());
        form.findAction({ "PresetPopupMenu", "Verify Device" })->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(reports.size(), 1, 10000);
        QVERIFY2(reports[0].startsWith(QStringLiteral("Verify Device: Verified 128 of 128")),
            qPrintable(reports[0]));

        // Which bytes carry which field is the protocol's test; here the way there and back.
        Preset& preset = form.editorState().bank.presets[20];
        preset.fixedParameter.fill(77);
        form.selectPreset(20);
        form.SendButtonClick();
        QTRY_VERIFY_WITH_TIMEOUT(!form.session().transferring(), 3000);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA CONTROL"));
        // Forget the knob data here, then ask the device for it.
        preset.fixedParameter.fill(0);
        form.GetPreset1Click();
        QTRY_COMPARE_WITH_TIMEOUT(preset.fixedParameter[15], 77, 3000);
        QCOMPARE(preset.fixedParameter[0], 77);
        QCOMPARE(form.windowTitle(), QStringLiteral("Getting Preset:21"));
        QCOMPARE(reports.size(), 1);
    }
};

QTEST_MAIN(MainDeviceTest)
#include "main_device_test.moc"
