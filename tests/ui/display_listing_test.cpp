// The listing window, the help window and the about box.

#include "core/listings.h"
#include "core/text_codec.h"
#include "ui/about_form.h"
#include "ui/build_info.h"
#include "ui/display_form.h"
#include "ui/info_form.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrow;

namespace {

QStringList shownLines(const TDisplayForm& form) { return form.text().split(QLatin1Char('\n')); }

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class ListingTest : public QObject {
    Q_OBJECT

private slots:
    void listingsAppendAndTheAllCommandsReplace()
    {
        const Catalogue catalogue;
        PresetBank bank;
        bank.presets[4].name = "Strings";
        bank.presets[6].knobName[2] = "Caf\xe9 \x80";
        bank.presets[6].eventType[1] = 0;
        // The core's listings, Windows-1252 shown as the characters it stands for.
        const auto parameters
            = [&](int p) { return parameterListing(catalogue, bank.presets[p], p); };
        const auto knobNames = [&](int p) { return knobNameListing(bank.presets[p], p); };
        const auto lines = [](const std::vector<std::vector<std::string>>& blocks) {
            QStringList all;
            for (const auto& block : blocks) {
                for (const std::string& line : block)
                    all << QString::fromStdString(cp1252ToUtf8(line));
            }
            return all;
        };
        std::vector<std::vector<std::string>> allParameters;
        std::vector<std::vector<std::string>> allKnobNames;
        for (int p = 0; p < kPresetCount; ++p) {
            allParameters.push_back(parameters(p));
            allKnobNames.push_back(knobNames(p));
        }

        TDisplayForm form;
        form.showPresetKnobNames(bank, 6);
        QVERIFY(form.isVisible());
        form.appendKnobNames(bank, 99);
        form.showPresetParameters(catalogue, bank, 6);
        form.appendParameters(catalogue, bank, 132); // out of range: a real preset
        QCOMPARE(
            shownLines(form), lines({ knobNames(6), knobNames(99), parameters(6), parameters(4) }));
        form.showAllParameters(catalogue, bank);
        QCOMPARE(shownLines(form), lines(allParameters));
        form.showAllKnobNames(bank);
        QCOMPARE(shownLines(form), lines(allKnobNames));

        // The popup's "Clear" empties the window; new text starts at the top.
        QAction* clear = form.popupMenu()->actions().value(0);
        QVERIFY(clear && clear->text() == QStringLiteral("Clear"));
        clear->trigger();
        QCOMPARE(form.text(), QString());
        form.appendKnobNames(bank, 0);
        QCOMPARE(shownLines(form), lines({ knobNames(0) }));
    }

    void helpWindowReloadsItsFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Deep enough that the installed data directory stays inside the temporary one.
        QString programDirectory = dir.path() + QLatin1Char('/');
        for (qsizetype up
             = QString::fromLatin1(dataDirectoryFromProgram()).count(QStringLiteral("../"));
             up > 0; --up)
            programDirectory += QStringLiteral("p/");
        QVERIFY(QDir().mkpath(programDirectory));
        const QString path = programDirectory + QStringLiteral("Info.txt");
        TInfoForm form;
        form.showInfo(TInfoForm::locateInfoFile(programDirectory)); // no file yet
        QVERIFY(form.text().contains(QStringLiteral("could not be read")));
        QVERIFY(form.text().contains(QStringLiteral("Info.txt")));
        // A directory where the file should be is no help text either.
        QVERIFY(QDir(programDirectory).mkdir(QStringLiteral("Info.txt")));
        form.hide();
        form.showInfo(path);
        QVERIFY(form.text().contains(QStringLiteral("could not be read")));
        QVERIFY(QDir(programDirectory).rmdir(QStringLiteral("Info.txt")));

        // An installed copy only, spelt in another case, is found under its real name.
        const QString data = programDirectory + QString::fromLatin1(dataDirectoryFromProgram());
        QVERIFY(QDir().mkpath(data));
        writeFile(data + QStringLiteral("INFO.TXT"), "installed help");
        form.hide();
        form.showInfo(TInfoForm::locateInfoFile(programDirectory));
        QCOMPARE(form.text(), QStringLiteral("installed help"));

        writeFile(path, "First text\r\nline two\r\n");
        QCOMPARE(TInfoForm::locateInfoFile(programDirectory), path); // beside the program wins
        form.hide();
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("First text\nline two\n"));

        // Shown again after an edit: the new text, without a restart.
        form.hide();
        writeFile(path, "Zweite Fassung: \xe4\xf6\xfc \x80");
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("Zweite Fassung: \u00e4\u00f6\u00fc \u20ac"));
        // Brought to the front while open: read again too.
        writeFile(path, "\xef\xbb\xbfUTF-8 text: \xc3\xa4");
        form.showInfo(path);
        QCOMPARE(form.text(), QStringLiteral("UTF-8 text: \u00e4"));
    }

    void aboutBoxShowsBuildVersion()
    {
        QCOMPARE(TAboutForm::versionLine(), QStringLiteral("Version " KESTROW_EXPECTED_VERSION));
        TAboutForm about;
        const auto labels = about.findChildren<QLabel*>();
        bool versionShown = false;
        for (const QLabel* label : labels)
            versionShown = versionShown || label->text() == TAboutForm::versionLine();
        QVERIFY(versionShown);
    }
};

QTEST_MAIN(ListingTest)
#include "display_listing_test.moc"
