// The device settings dialog: ports, delay, thru configuration, replies,
// notes range, variant and tree options.

#include "main_test_support.h"

#include "knob_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kestrow;
using namespace kestrow::test;

namespace {

std::vector<std::uint8_t> bytesOf(const PutMessage& m)
{
    return m.bytes;
}

void feed(TConfigForm& config, std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t b : bytes) {
        MidiEvent e;
        e.status = 0xF0;
        e.data1 = b;
        config.MidiIn1MidiData(e);
    }
}

} // namespace

class MainConfigTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_run;
    TConfigForm& config() { return m_run->config(); }
    FakePorts& ports() { return *m_run->ports; }

private slots:
    void init()
    {
        m_run = std::make_unique<Session>(m_dir.path(), false);
        m_run->main().FormShow();
    }
    void cleanup() { m_run.reset(); }

    void controlsStartAsDocumented()
    {
        QCOMPARE(config().windowTitle(), QStringLiteral("ConfigForm"));
        QCOMPARE(config().outputList()->count(), 3);
        QCOMPARE(config().outputList()->itemText(2), QStringLiteral("no device"));
        QCOMPARE(config().outputList()->currentIndex(), 2);
        QCOMPARE(config().inputList()->currentText(), QStringLiteral("no device"));
        QCOMPARE(config().model().selectedInput, -1);
        QVERIFY(config().notesMinus1()->isChecked());
        QVERIFY(config().channelThru()->isChecked() && config().sysexThru()->isChecked()
                && config().realtimeThru()->isChecked());
        QCOMPARE(config().masterChannel()->value(), 1);
        QCOMPARE(config().masterChannel()->minimum(), 1);
        QCOMPARE(config().masterChannel()->maximum(), 16);
        QVERIFY(!config().masterChannel()->wrapping());
        QVERIFY(!config().configureButton()->isEnabled());
        QVERIFY(!config().getConfigurationButton()->isEnabled());
        QVERIFY(config().variantRadio(DeviceVariant::zembraControl)->isChecked());
        QVERIFY(config().showBankGroups()->isChecked());
        QVERIFY(config().fixedRadio()->isChecked());
        QVERIFY(!config().dragDropGroup()->isVisibleTo(&config()));
    }

    void delayField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("interval");
        QTest::newRow("leading zero") << QStringLiteral("0350") << QStringLiteral("350") << 350;
        QTest::newRow("deleted") << QString() << QStringLiteral("200") << 200;
        QTest::newRow("letters") << QStringLiteral("fast") << QStringLiteral("200") << 200;
        QTest::newRow("slow") << QStringLiteral("500") << QStringLiteral("500") << 500;
    }
    void delayField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, interval);
        config().delayField()->setText(QStringLiteral("123"));
        config().delayField()->setText(typed);
        QCOMPARE(config().delayField()->text(), shown);
        QCOMPARE(m_run->main().timer(ProtocolTimer::Timer1)->interval(), interval);
        QCOMPARE(m_run->main().timer(ProtocolTimer::Timer4)->interval(), interval);
        QCOMPARE(config().model().delay, interval);
    }

    void inputBeforeOutputLeavesGetDisabled()
    {
        config().chooseInputEntry(0);
        QCOMPARE(ports().inputOpened, 0);
        QVERIFY(!config().getConfigurationButton()->isEnabled());
        QVERIFY(ports().puts.empty()); // no output: no query
        config().chooseOutputEntry(1);
        QVERIFY(ports().openedOutputs.count(1));
        QVERIFY(config().getConfigurationButton()->isEnabled());
        QVERIFY(config().configureButton()->isEnabled());
        config().getDeviceConfiguration();
        QCOMPARE(ports().sysex(10).size(), std::size_t { 2 });
        QCOMPARE(bytesOf(ports().sysex(10)[0]),
                 (std::vector<std::uint8_t> { 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x06, 0, 0, 0xF7 }));
        QCOMPARE(ports().sysex(10)[1].bytes[6], std::uint8_t { 0x56 });
        QCOMPARE(ports().sysex(10)[1].device, 1);

        config().chooseOutputEntry(2); // "no device"
        QVERIFY(!config().configureButton()->isEnabled());
        QVERIFY(!config().getConfigurationButton()->isEnabled());
        QVERIFY(ports().openedOutputs.count(1)); // stays open
        config().chooseInputEntry(1); // "no device"
        QCOMPARE(config().model().selectedInput, -1);
        QCOMPARE(ports().inputOpened, -1);
    }

    void thruConfiguration()
    {
        config().chooseOutputEntry(0);
        config().sysexThru()->setChecked(false);
        config().masterChannel()->setValue(10);
        int asked = 0;
        bool answer = false;
        config().confirmConfigure = [&] {
            ++asked;
            return answer;
        };
        config().configureButton()->click();
        QCOMPARE(asked, 1);
        QVERIFY(ports().puts.empty()); // Cancel sends nothing
        answer = true;
        config().configureDevice();
        QCOMPARE(ports().puts.size(), std::size_t { 1 });
        QCOMPARE(bytesOf(ports().puts[0]),
                 (std::vector<std::uint8_t> { 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x50, 0x05, 0x09, 0xF7 }));

        config().channelThru()->setChecked(false);
        config().realtimeThru()->setChecked(false);
        config().masterChannel()->setValue(1);
        config().configureDevice();
        QCOMPARE(ports().puts.back().bytes[7], std::uint8_t { 0 });
        QCOMPARE(ports().puts.back().bytes[8], std::uint8_t { 0 });
    }

    void configureWithoutOutputSendsNothing()
    {
        int asked = 0;
        config().confirmConfigure = [&] {
            ++asked;
            return true;
        };
        config().configureDevice();
        QCOMPARE(asked, 0);
        QVERIFY(ports().puts.empty());
    }

    void deviceRepliesFillTheDialog()
    {
        feed(config(), { 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x50, 0x05, 0x09, 0xF7 });
        QVERIFY(config().channelThru()->isChecked());
        QVERIFY(!config().sysexThru()->isChecked());
        QVERIFY(config().realtimeThru()->isChecked());
        QCOMPARE(config().masterChannel()->value(), 10);
        feed(config(), { 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x00, 1, 12, 0xF7 });
        QCOMPARE(config().versionLabel()->text(), QStringLiteral("1.12"));
        // The reply's master channel reaches the Program Change.
        config().chooseOutputEntry(0);
        m_run->main().protocol()->sendProgramChange(3);
        QCOMPARE(ports().programChanges().back().bytes, (std::vector<std::uint8_t> { 0xC9, 3 }));
    }

    void presetReplyIsShownInTheTreeAndCaption()
    {
        PresetBank& bank = m_run->bank();
        bank.presets[3].name = "Keep";
        std::vector<std::uint8_t> reply { 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x20, 3, 0 };
        for (int i = 0; i < 48; ++i)
            reply.push_back(static_cast<std::uint8_t>(0x80 | i));
        reply.push_back(0xF7);
        for (std::uint8_t b : reply) {
            MidiEvent e;
            e.status = 0xF0;
            e.data1 = b;
            config().MidiIn1MidiData(e);
        }
        QCOMPARE(bank.presets[3].channel[0], 0);
        QCOMPARE(bank.presets[3].eventType[0], 16);
        QCOMPARE(bank.presets[3].fixedParameter[15], 47);
        QCOMPARE(bank.presets[3].name, std::string("Keep"));
        QCOMPARE(m_run->main().windowTitle(), QStringLiteral("Getting Preset:4"));
    }

    void notesRange()
    {
        PresetBank& bank = m_run->bank();
        bank.presets[0].eventType[0] = 5;
        bank.presets[0].fixedParameter[0] = 60;
        m_run->main().refreshKnobTable(0);
        QCOMPARE(m_run->main().knobTable()->item(1, 4)->text(), QStringLiteral(" 60:  C  4"));
        config().notesMinus2()->setChecked(true);
        QCOMPARE(m_run->main().catalogue().notesRangeLow, 1);
        QCOMPARE(m_run->main().knobTable()->item(1, 4)->text(), QStringLiteral(" 60:  C  3"));
        config().notesMinus1()->setChecked(true);
        QCOMPARE(m_run->main().catalogue().notesRangeLow, 0);
    }

    void variantRadios()
    {
        config().variantRadio(DeviceVariant::zembraDial)->setChecked(true);
        QCOMPARE(m_run->main().windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA DIAL"));
        QCOMPARE(config().model().deviceVariant, DeviceVariant::zembraDial);
        QVERIFY(m_run->main().findAction({ "&File", "Send", "Send Banks 1-4" })->isVisible());
        QVERIFY(config().showBankGroups()->isEnabled());
        QVERIFY(config().fixedRadio()->isEnabled());
        config().showBankGroups()->setChecked(false);
        QVERIFY(!config().fixedRadio()->isEnabled());
        QVERIFY(!config().variableRadio()->isEnabled());
        config().variantRadio(DeviceVariant::zembraFader)->setChecked(true);
        QCOMPARE(m_run->main().windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA FADER"));
        QVERIFY(!config().showBankGroups()->isEnabled());
        QVERIFY(!m_run->main().findAction({ "&File", "Send", "Send Banks 1-4" })->isVisible());
    }

    void dragKeyRows()
    {
        const std::array<std::array<DragOperation, 3>, 6> rows { {
            { DragOperation::move, DragOperation::copy, DragOperation::swap },
            { DragOperation::move, DragOperation::swap, DragOperation::copy },
            { DragOperation::copy, DragOperation::move, DragOperation::swap },
            { DragOperation::copy, DragOperation::swap, DragOperation::move },
            { DragOperation::swap, DragOperation::move, DragOperation::copy },
            { DragOperation::swap, DragOperation::copy, DragOperation::move },
        } };
        for (int row = 1; row <= 6; ++row) {
            config().chooseDragKeyRow(row);
            const auto& want = rows[static_cast<std::size_t>(row - 1)];
            QCOMPARE(m_run->main().dragKeyMap(), want);
            QCOMPARE(m_run->main().operationFor(Qt::NoModifier), want[0]);
            QCOMPARE(m_run->main().operationFor(Qt::ShiftModifier), want[1]);
            QCOMPARE(m_run->main().operationFor(Qt::ControlModifier), want[2]);
        }
    }

    void settingsRoundTripThroughTheControls()
    {
        EditorSettings s;
        s.deviceType = DeviceVariant::zembraDial;
        s.optionsShowBankGroups = false;
        s.optionsFixed = false;
        s.autoSend = false;
        s.delay = 75;
        s.midiDevice = "Test Out B";
        s.midiNotesRange = true;
        s.midiInDevice = "Test In";
        s.selectedPreset = 99;
        m_run->main().applySettings(s);
        QCOMPARE(m_run->main().currentSettings(), s);
        QVERIFY(ports().openedOutputs.count(1));
        QCOMPARE(ports().inputOpened, 0);
        QVERIFY(config().getConfigurationButton()->isEnabled());

        s.midiDevice = "test out b"; // letter case differs: not found
        m_run->main().applySettings(s);
        QCOMPARE(m_run->main().currentSettings().midiDevice, std::string("no device"));
        QVERIFY(!config().getConfigurationButton()->isEnabled());
    }
};

QTEST_MAIN(MainConfigTest)
#include "main_config_test.moc"
