// The librarian commands of the main window: .syx import and export against
// files Python's mido writes and reads, files dropped on the preset tree
// (through the load commands' own paths), recent files, Find, Compare with
// File with Take Theirs, and knobs that send the same event.

#include "main_test_support.h"
#include "storage/editor_settings.h"
#include "ui/compare_form.h"
#include "ui/find_form.h"
#include "ui/knob_table.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>

using namespace kestrow;
using namespace kestrow::test;

namespace {

/// Knob values of the generated dump, the same formula as the Python below.
std::int32_t generated(int field, int p, int k)
{
    switch (field) {
    case kFieldChannel:
        return (p + k) % 17;
    case kFieldEventType:
        return (p * 3 + k) % 128;
    case kFieldFixedParameter:
        return (p * 5 + k * 7) % 128;
    default:
        return (p + 2 * k) % 128;
    }
}

constexpr const char* kMidoWriter = R"(
import mido, sys
def msg(cmd, p, payload):
    return mido.Message('sysex', data=[0x00, 0x20, 0x20, 0x14, 0x00, cmd, p, 0] + payload)
v = lambda f, p, k: [(p + k) % 17, (p * 3 + k) % 128, (p * 5 + k * 7) % 128, (p + 2 * k) % 128][f]
out = [mido.Message('sysex', data=[0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41])]
for p in range(128):
    out.append(msg(0x21, p, [v(3, p, k) for k in range(16)]))
    out.append(msg(0x20, p, [v(f, p, k) for f in range(3) for k in range(16)]))
    out.append(msg(0x30, p, []))
mido.write_syx_file(sys.argv[1], out)
)";

QString python(const QStringList& arguments)
{
    QString command = QStringLiteral("/usr/bin/python3");
    for (const QString& a : arguments)
        command += QStringLiteral(" '") + a + QLatin1Char('\'');
    QString output;
    if (FILE* pipe = ::popen(command.toLocal8Bit().constData(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            output += QString::fromLocal8Bit(buffer);
        ::pclose(pipe);
    }
    return output.trimmed();
}

} // namespace

class LibrarianTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Session> m_run;
    QString m_answer; ///< what the file dialogs return

    TMainForm& form() { return m_run->main(); }
    PresetBank& bank() { return m_run->bank(); }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private slots:
    void init()
    {
        m_run = std::make_unique<Session>(m_dir.path());
        form().FormShow();
        form().askFileName = [this](const QString&, const QString&, bool) { return m_answer; };
        for (int p = 0; p < kPresetCount; ++p) {
            Preset& preset = bank().presets[static_cast<std::size_t>(p)];
            preset.name = "Preset " + std::to_string(p + 1);
            preset.description = "about " + std::to_string(p + 1);
        }
    }

    void sysExImportAndExportRoundTripWithMido()
    {
        const QString script = file("write.py");
        QVERIFY(writeBytes(script, kMidoWriter));
        const QString midoFile = file("mido.syx");
        python({ script, midoFile });
        QVERIFY(QFile::exists(midoFile));

        form().applyDeviceVariant(DeviceVariant::zembraDial);
        PresetSet expected = bank().presets;
        for (int p = 0; p < kPresetCount; ++p) {
            Preset& e = expected[static_cast<std::size_t>(p)];
            for (std::size_t k = 0; k < kKnobCount; ++k) {
                const int knob = static_cast<int>(k);
                e.channel[k] = generated(kFieldChannel, p, knob);
                e.eventType[k] = generated(kFieldEventType, p, knob);
                e.fixedParameter[k] = generated(kFieldFixedParameter, p, knob);
                e.initValue[k] = generated(kFieldInitValue, p, knob);
            }
        }
        m_answer = midoFile;
        form().runCommand(MainCommand::importSysEx);
        QVERIFY(bank().presets == expected); // names and descriptions kept
        QCOMPARE(m_run->warnings,
            QStringList { QStringLiteral("Import SysEx: ") + midoFile
                + QStringLiteral(": 1 message of other devices skipped") });

        // Exported, the set is the mido file without the other device's message.
        m_answer = file("all.syx");
        form().runCommand(MainCommand::exportAllSysEx);
        QCOMPARE(fileBytes(m_answer), fileBytes(midoFile).mid(11));
        QCOMPARE(python({ QStringLiteral("-c"),
                     QStringLiteral("import mido,sys; print(len(mido.read_syx_file(sys.argv[1])))"),
                     m_answer }),
            QStringLiteral("384"));

        // One preset exported, then dropped on another: it lands there.
        form().selectPreset(5);
        m_answer = file("six.syx");
        form().runCommand(MainCommand::exportSelectedSysEx);
        QCOMPARE(fileBytes(m_answer).size(), 26 + 58 + 10);
        form().filesDropped({ m_answer }, 40);
        QCOMPARE(bank().selectedPreset, 40);
        QVERIFY(bank().presets[40].fixedParameter == expected[5].fixedParameter);
        QVERIFY(bank().presets[40].initValue == expected[5].initValue);
        QCOMPARE(bank().presets[40].name, expected[40].name);
    }

    void droppedFilesLoadAsTheirLoadCommands()
    {
        bank().presets[11].name = "Twelve";
        bank().presets[11].fixedParameter.fill(99);
        const Preset twelve = bank().presets[11];
        QVERIFY(m_run->editor->saveSinglePreset(file("single.MID").toStdString(), 11).ok());
        bank().presets[100].name = "Hundred and one";
        QVERIFY(m_run->editor->saveAllPresets(file("all.MID").toStdString()).ok());
        bank().presets[100].name = "changed";

        // This one through the tree's own drop handling.
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
        PresetTree* tree = form().presetTree();
        tree->scrollToItem(tree->item(39));
        QMimeData mime;
        mime.setUrls({ QUrl::fromLocalFile(file("single.MID")) });
        const QPoint at = tree->visualItemRect(tree->item(39)).center();
        // Qt hands a drop to the widget that took the drag's entry.
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(tree->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(bank().selectedPreset, 39);
        QCOMPARE(bank().presets[39].name, twelve.name);
        QVERIFY(bank().presets[39].fixedParameter == twelve.fixedParameter);
        QCOMPARE(bank().presets[39].description, twelve.description);

        // A side file stands for its set: all presets, as "Load All Presets".
        form().filesDropped({ file("all.CFG") }, 3);
        QCOMPARE(bank().presets[100].name, std::string("Hundred and one"));

        // A wrong file gets the message the menu command gives.
        QVERIFY(writeBytes(file("notes.txt"), "hello"));
        const auto before = bank().presets;
        form().filesDropped({ file("notes.txt") }, 7);
        m_answer = file("notes.txt");
        form().Open1Click();
        QCOMPARE(m_run->warnings.size(), 2);
        QVERIFY(m_run->warnings[0].startsWith(QStringLiteral("Load All Presets: ")));
        QCOMPARE(m_run->warnings[0], m_run->warnings[1]);
        QVERIFY(bank().presets == before);

        // Opened files are the recent ones, newest first, and kept with the settings.
        const std::vector<std::string> recent { file("all.MID").toStdString(),
            file("single.MID").toStdString() };
        QVERIFY(m_run->editor->recentFiles() == recent);
        QVERIFY(m_run->editor->saveAutosaveSet().ok());
        QVERIFY(loadSettings(file("Config.CFG").toStdString()).recentFiles == recent);

        QVERIFY(QFile::remove(file("single.MID")));
        form().openRecentFile(file("single.MID"));
        QVERIFY(m_run->editor->recentFiles() == std::vector<std::string> { recent[0] });
        QVERIFY(m_run->warnings.last().contains(QStringLiteral("no longer exists")));
    }

    void findListsMatchesAndChoosingOneSelectsIt()
    {
        const std::vector<SearchMatch> wanted { { 3, 2 }, { 90, 0 }, { 90, 15 } };
        for (const SearchMatch& m : wanted) {
            Preset& p = bank().presets[static_cast<std::size_t>(m.presetIndex)];
            p.eventType[static_cast<std::size_t>(m.knob)] = 0; // Controller
            p.fixedParameter[static_cast<std::size_t>(m.knob)] = 7;
        }
        bank().presets[50].eventType[4] = 0; // another controller
        bank().presets[50].fixedParameter[4] = 8;

        TFindForm& find = form().findForm();
        find.eventField()->setText(QStringLiteral("Controller"));
        find.parameterField()->setText(QStringLiteral("7"));
        QCOMPARE(find.runSearch(), QString());
        QVERIFY(find.matches() == wanted);
        QCOMPARE(find.resultList()->count(), 3);
        QVERIFY(find.resultList()->item(1)->text().startsWith(QStringLiteral("preset 91 ")));

        find.chooseMatch(2);
        QCOMPARE(bank().selectedPreset, 90);
        QCOMPARE(bank().selectedKnob, 15);
        QCOMPARE(form().knobTable()->currentRow(), 16);

        find.parameterField()->setText(QStringLiteral("200"));
        QVERIFY(!find.runSearch().isEmpty());
        QVERIFY(find.matches().empty());
    }

    void compareShowsDifferencesAndTakesTheirs()
    {
        QVERIFY(m_run->editor->saveAllPresets(file("theirs.MID").toStdString()).ok());
        const PresetSet theirs = bank().presets;
        bank().presets[3].name = "Mine";
        bank().presets[3].eventType[1] = 5;
        bank().presets[9].description = "changed";

        m_answer = file("theirs.MID");
        form().runCommand(MainCommand::compareWithFile);
        TCompareForm& compare = form().compareForm();
        QCOMPARE(compare.differences().size(), std::size_t(2));
        QCOMPARE(compare.shownPreset(), 3);
        QStringList rows;
        for (int r = 0; r < compare.partTable()->rowCount(); ++r)
            rows << compare.partTable()->item(r, 0)->text() + QLatin1Char('|')
                    + compare.partTable()->item(r, 2)->text();
        QCOMPARE(rows,
            (QStringList { QStringLiteral("Preset name|Preset 4"),
                QStringLiteral("Knob 2 Event|")
                    + QString::fromStdString(
                        m_run->editor->catalogue().cellText(theirs[3], 1, kFieldEventType)) }));

        QVERIFY(compare.takeTheirs());
        QVERIFY(bank().presets[3] == theirs[3]);
        QCOMPARE(form().presetTree()->item(3)->text(), QStringLiteral(" 4: Preset 4"));
        QCOMPARE(compare.shownPreset(), 9);
        QCOMPARE(compare.differences().size(), std::size_t(1));
    }

    void knobsSendingOneEventAreMarked()
    {
        Preset& p = bank().presets[2]; // every knob on No-Event at first
        for (int k : { 0, 4, 9 }) {
            p.eventType[static_cast<std::size_t>(k)] = 0;
            p.fixedParameter[static_cast<std::size_t>(k)] = 74;
            p.channel[static_cast<std::size_t>(k)] = 3;
        }
        p.channel[9] = 4; // another channel: no collision
        form().selectPreset(2);
        KnobTable* table = form().knobTable();
        QStringList tips;
        QStringList marked;
        for (int r = 1; r <= kKnobCount; ++r) {
            if (!table->item(r, 0)->toolTip().isEmpty())
                tips << table->item(r, 0)->toolTip();
            if (knobCellLook(table->editorState(), { 0, r }, false, table->palette()).background
                == kCollisionColour)
                marked << QString::number(r);
        }
        QCOMPARE(marked, (QStringList { QStringLiteral("1"), QStringLiteral("5") }));
        QCOMPARE(tips,
            (QStringList { QStringLiteral("Sends the same event as knob 5"),
                QStringLiteral("Sends the same event as knob 1") }));
    }
};

QTEST_MAIN(LibrarianTest)
#include "librarian_test.moc"
