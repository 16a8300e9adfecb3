// Crash recovery: an editor process killed with SIGKILL after an edit, then
// the start that offers its journal; Restore, Discard, a damaged journal.

#include "main_test_support.h"

#include <QMap>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <cstring>

using namespace kestrow;
using namespace kestrow::test;

namespace {

constexpr const char* kChildOption = "--edit-and-wait";
constexpr int kEditedPreset = 9;

/// The editor process of the test: starts in FOLDER, rests, names preset 10
/// NAME and runs until it is killed.
int editAndWait(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Session run(QString::fromLocal8Bit(argv[2]));
    run.main().show();
    // After a rest, when the journal's tick has paused: the edit must wake it.
    QTimer::singleShot(600, &run.main(), [&] {
        run.main().renameConfirmed(kEditedPreset, QString::fromLocal8Bit(argv[3]));
        std::printf("edited\n");
        std::fflush(stdout);
    });
    return app.exec();
}

} // namespace

class MainRecoveryTest : public QObject {
    Q_OBJECT

    /// Runs the editor process in `dir`, lets it rename preset 10 and kills it
    /// once the journal is there; false when it never came.
    bool killAfterEdit(const QTemporaryDir& dir, const QString& name)
    {
        QProcess editor;
        editor.start(QCoreApplication::applicationFilePath(),
            { QString::fromLatin1(kChildOption), dir.path(), name });
        if (!editor.waitForStarted(10000))
            return false;
        while (!editor.canReadLine() && editor.waitForReadyRead(20000)) { }
        const bool journal = QTest::qWaitFor(
            [&dir] { return QFile::exists(dir.filePath(QStringLiteral("Recovery.kes"))); }, 10000);
        ::kill(static_cast<pid_t>(editor.processId()), SIGKILL);
        editor.waitForFinished(10000);
        return journal;
    }

private slots:
    /// One folder through two killed runs: restored, then closed while asked.
    /// (What Restore and Discard keep, and a damaged journal: the session's test.)
    void killedRunsAreRestoredBeforeAnythingIsSentOrKeptWhenClosedWhileAsked()
    {
        QTemporaryDir dir;
        QVERIFY(copyFactorySet(dir.path()));
        { // a clean first run with an output port, so that start-up sends
            Session run(dir.path());
            run.main().FormShow();
            QVERIFY(run.editor->selectOutputByName("Test Out A"));
            QVERIFY(run.main().close());
        }

        QVERIFY(killAfterEdit(dir, QStringLiteral("Survivor")));
        {
            Session run(dir.path());
            QStringList asked;
            bool sentBeforeAnswer = true;
            run.main().askRecovery = [&](const QString& question) {
                asked << question;
                sentBeforeAnswer = !run.ports->puts.empty();
                return RecoveryChoice::restore;
            };
            run.main().FormShow();
            QCOMPARE(asked.size(), 1);
            QVERIFY(asked[0].startsWith(QStringLiteral(
                "Restore the changes that were not saved when Kestrow Editor last stopped (")));
            QVERIFY(!sentBeforeAnswer);
            QVERIFY(!run.ports->puts.empty());
            QCOMPARE(run.bank().presets[kEditedPreset].name, std::string("Survivor"));
            QVERIFY(run.main().close());
        }

        // A signal or a logout while the question is open ends the run through
        // the close path: nothing is saved over the set, the journal stays.
        QVERIFY(killAfterEdit(dir, QStringLiteral("Pending")));
        const auto folder = [&dir] {
            QMap<QString, QByteArray> files;
            for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
                files[name] = fileBytes(dir.filePath(name));
            return files;
        };
        const auto before = folder();
        {
            Session run(dir.path());
            run.main().askRecovery = [&](const QString&) {
                run.main().terminate();
                return RecoveryChoice::discard;
            };
            run.main().FormShow();
            QVERIFY(!run.main().savedAtClose());
        }
        QCOMPARE(folder(), before);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 4 && std::strcmp(argv[1], kChildOption) == 0)
        return editAndWait(argc, argv);
    QApplication app(argc, argv);
    MainRecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_recovery_test.moc"
