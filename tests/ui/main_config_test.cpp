// The device settings dialog: ports, delay, thru configuration, replies,
// notes range, variant and tree options.

#include "main_test_support.h"
#include "ui/knob_table.h"

#include <QRadioButton>
#include <QSpinBox>

using namespace kestrow;
using namespace kestrow::test;

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

    void captionsAreWholeEvenInLargerFonts()
    {
        for (const int points : { 0, 14 }) { // the desktop's font, then a larger one
            QFont font = QApplication::font();
            if (points > 0)
                font.setPointSize(points);
            const QFont before = QApplication::font();
            QApplication::setFont(font);
            cleanup();
            init();
            config().delayField(); // builds the controls
            QApplication::setFont(before);
            for (const QWidget* w : config().findChildren<QWidget*>()) {
                const bool caption = qobject_cast<const QAbstractButton*>(w) != nullptr
                    || (qobject_cast<const QLabel*>(w) != nullptr
                        && !qobject_cast<const QLabel*>(w)->wordWrap());
                if (!caption || !w->isVisibleTo(&config()))
                    continue;
                const QString what = w->metaObject()->className() + QStringLiteral(" ")
                    + (qobject_cast<const QLabel*>(w)
                            ? qobject_cast<const QLabel*>(w)->text()
                            : qobject_cast<const QAbstractButton*>(w)->text());
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(what));
                QVERIFY2(w->parentWidget()->rect().contains(w->geometry()), qPrintable(what));
            }
        }
    }

    void delayField()
    {
        // The rule itself is the protocol's; here that the field shows what it made.
        for (const auto& [typed, shown] : { std::pair { "0350", "350" }, { "fast", "200" } }) {
            config().delayField()->setText(QStringLiteral("123"));
            config().delayField()->setText(QString::fromLatin1(typed));
            QCOMPARE(config().delayField()->text(), QString::fromLatin1(shown));
            QCOMPARE(config().model().delay, QString::fromLatin1(shown).toInt());
        }
    }

    void portChoicesEnableTheDeviceButtons()
    {
        // Which ports open and when the device is asked is the session's test;
        // that the button asks, the monitor's and the emulator's.
        config().chooseInputEntry(0);
        QVERIFY(!config().getConfigurationButton()->isEnabled());
        config().chooseOutputEntry(1);
        QVERIFY(config().getConfigurationButton()->isEnabled());
        QVERIFY(config().configureButton()->isEnabled());
        config().chooseOutputEntry(2); // "no device"
        QVERIFY(!config().configureButton()->isEnabled());
        QVERIFY(!config().getConfigurationButton()->isEnabled());
    }

    void portChangesRefreshTheListsKeepingTheChoicesByName()
    {
        config().chooseOutputEntry(1);
        config().chooseInputEntry(0);
        config().show();
        ports().outputs = { "Test Out C", "Test Out B" };
        ports().inputs = { "Test In 2", "Test In" };
        const std::uint64_t one = 1;
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(config().outputList()->itemText(0), QStringLiteral("Test Out C"));
        QCOMPARE(config().outputList()->currentText(), QStringLiteral("Test Out B"));
        QCOMPARE(config().inputList()->currentText(), QStringLiteral("Test In"));
        QCOMPARE(config().systemsLabel()->text(), QStringLiteral("Test MIDI: ready"));

        // Unplugged, the chosen output stays chosen and says so.
        ports().outputs = { "Test Out C" };
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(
            config().outputList()->currentText(), QStringLiteral("Test Out B (not connected)"));
        ports().outputs = { "Test Out C", "Test Out B" };
        QCOMPARE(::write(ports().changes, &one, sizeof one), ssize_t { sizeof one });
        QTRY_COMPARE(config().outputList()->currentText(), QStringLiteral("Test Out B"));
    }

    void thruConfigurationAsksFirst()
    {
        int asked = 0;
        bool answer = false;
        config().confirmConfigure = [&] {
            ++asked;
            return answer;
        };
        config().configureDevice(); // no output: not even asked
        QCOMPARE(asked, 0);
        config().chooseOutputEntry(0);
        config().masterChannel()->setValue(10);
        config().configureButton()->click();
        QCOMPARE(asked, 1);
        QVERIFY(ports().puts.empty()); // Cancel sends nothing
        answer = true;
        config().configureDevice();
        QCOMPARE(ports().sysex(10).size(), std::size_t { 1 });
        QCOMPARE(ports().puts[0].bytes[8], 9); // the master channel from the dialog
    }

    void deviceRepliesFillTheDialog()
    {
        // Before the controls exist (they are built when first needed), and after.
        QVERIFY(config().findChildren<QComboBox*>().isEmpty());
        ports().reply({ 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x50, 0x05, 0x09, 0xF7 });
        QVERIFY(config().channelThru()->isChecked() && config().realtimeThru()->isChecked());
        QVERIFY(!config().sysexThru()->isChecked());
        QCOMPARE(config().masterChannel()->value(), 10);
        ports().reply({ 0xF0, 0, 0x20, 0x20, 0x14, 0, 0x00, 1, 12, 0xF7 });
        QCOMPARE(config().versionLabel()->text(), QStringLiteral("1.12"));
    }

    void notesRange()
    {
        PresetBank& bank = m_run->bank();
        bank.presets[0].eventType[0] = 5;
        bank.presets[0].fixedParameter[0] = 60;
        m_run->main().refreshKnobTable(0); // how each range names a note is the catalogue's
        config().notesMinus2()->setChecked(true);
        QCOMPARE(m_run->main().knobTable()->item(1, 4)->text(), QStringLiteral(" 60:  C  3"));
    }

    void variantAndBankGroupControls()
    {
        TMainForm& form = m_run->main();
        config().variantRadio(DeviceVariant::zembraDial)->setChecked(true);
        QCOMPARE(form.deviceVariant(), DeviceVariant::zembraDial);
        QVERIFY(config().showBankGroups()->isEnabled() && config().fixedRadio()->isEnabled());
        // Unticking the groups greys both group kinds and drops the shading at once.
        config().showBankGroups()->setChecked(false);
        QVERIFY(!config().fixedRadio()->isEnabled());
        QVERIFY(!config().variableRadio()->isEnabled());
        QVERIFY(!form.bankGroupOptions().showBankGroups);
        config().showBankGroups()->setChecked(true);
        config().variableRadio()->setChecked(true);
        QVERIFY(form.bankGroupOptions().showBankGroups && form.bankGroupOptions().variable);
        config().variantRadio(DeviceVariant::zembraFader)->setChecked(true);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kestrow Editor:   ZEMBRA FADER"));
        QVERIFY(!config().showBankGroups()->isEnabled());
    }

    void dragKeyRows()
    {
        // Per row the operation with no key, Shift and Ctrl: Copy, Move or Swap.
        const std::array<const char*, 6> rows { "MCS", "MSC", "CMS", "CSM", "SMC", "SCM" };
        const auto op = [](char c) {
            return c == 'C' ? DragOperation::copy
                : c == 'M'  ? DragOperation::move
                            : DragOperation::swap;
        };
        for (int row = 1; row <= 6; ++row) {
            config().chooseDragKeyRow(row);
            const char* want = rows[static_cast<std::size_t>(row - 1)];
            QCOMPARE(m_run->main().operationFor(Qt::NoModifier), op(want[0]));
            QCOMPARE(m_run->main().operationFor(Qt::ShiftModifier), op(want[1]));
            QCOMPARE(m_run->main().operationFor(Qt::ControlModifier), op(want[2]));
        }
    }
};

QTEST_MAIN(MainConfigTest)
#include "main_config_test.moc"
