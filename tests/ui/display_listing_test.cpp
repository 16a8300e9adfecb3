// The listing window, the help window and the about box.

#include "about_form.h"
#include "build_info.h"
#include "display_form.h"
#include "info_form.h"
#include "listings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrow;

namespace
{

QStringList shownLines(const TDisplayForm& form) { return form.text().split(QLatin1Char('\n')); }

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class ListingTest : public QObject
{
    Q_OBJECT

private slots:
    void headersForPresetsSevenAndHundred();
    void namesAreCutAt24AndConverted();
    void appendingThenReplacing();
    void knobNameListingsAndClear();
    void helpWindowReloadsItsFile();
    void helpWindowExplainsAMissingFile();
    void helpFileFoundInTheInstalledDataDirectory();
    void aboutBoxShowsBuildVersion();
};

void ListingTest::headersForPresetsSevenAndHundred()
{
    const Catalogue catalogue;
    PresetBank bank;
    bank.presets[6].name = "Pad";
    bank.presets[99].name = "Lead";
    TDisplayForm form;
    form.appendParameters(catalogue, bank, 6);
    form.appendKnobNames(bank, 99);
    const QStringList lines = shownLines(form);
    // Parameter block: header, 94 dashes, 16 knobs, one empty line.
    QCOMPARE(lines.at(0), QStringLiteral("7  : Pad"));
    QCOMPARE(lines.at(1), QString(94, QLatin1Char('-')));
    QVERIFY(lines.at(2).startsWith(QStringLiteral("  1  ")));
    QVERIFY(lines.at(17).startsWith(QStringLiteral("  16 ")));
    QCOMPARE(lines.at(18), QString());
    // Knob-name block: no blank between 100 and the colon, 70 dashes.
    QCOMPARE(lines.at(19), QStringLiteral("100: Lead"));
    QCOMPARE(lines.at(20), QString(70, QLatin1Char('-')));
    QCOMPARE(lines.size(), 19 + 2 + 8 + 1);
}

void ListingTest::namesAreCutAt24AndConverted()
{
    const Catalogue catalogue;
    PresetBank bank;
    bank.presets[0].knobName[0] = "Cutoff";
    bank.presets[0].knobName[1] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"; // 30 characters
    bank.presets[0].knobName[2] = "Caf\xe9 cr\xe8me";
    bank.presets[0].eventType[1] = 0;
    bank.presets[0].fixedParameter[1] = 7;

    TDisplayForm form;
    form.showPresetKnobNames(bank, 0);
    QVERIFY(form.isVisible());
    QStringList lines = shownLines(form);
    // Knob 1 named Cutoff beside knob 9 without a name.
    QCOMPARE(lines.at(2),
        QStringLiteral("  1  Cutoff") + QString(18, QLatin1Char(' '))
            + QStringLiteral("    |    9  ") + QString(24, QLatin1Char(' '))
            + QStringLiteral("    |"));
    QVERIFY(lines.at(3).startsWith(QStringLiteral("  2  ABCDEFGHIJKLMNOPQRSTUVWX    |")));
    // Windows-1252 bytes reach the screen as the characters they stand for,
    // and the padding counts characters, not UTF-8 bytes.
    QVERIFY(lines.at(4).startsWith(QStringLiteral("  3  Caf\u00e9 cr\u00e8me")
        + QString(14, QLatin1Char(' ')) + QStringLiteral("    |")));

    form.clear();
    form.showPresetParameters(catalogue, bank, 0);
    lines = shownLines(form);
    QVERIFY(lines.at(3).startsWith(QStringLiteral("  2  ABCDEFGHIJKLMNOPQRSTUVWX | ")));
    // What the window shows is the shared listing, line for line.
    const auto listing = parameterListing(catalogue, bank.presets[0], 0);
    QCOMPARE(static_cast<std::size_t>(lines.size()), listing.size());
    QCOMPARE(lines.at(3), QString::fromLatin1(listing[3].c_str()));
    QCOMPARE(lines.at(3).size(), 94);
}

void ListingTest::appendingThenReplacing()
{
    const Catalogue catalogue;
    PresetBank bank;
    bank.presets[4].name = "Strings";
    bank.selectedPreset = 4;
    TDisplayForm form;
    form.showPresetParameters(catalogue, bank, bank.selectedPreset);
    form.showPresetParameters(catalogue, bank, bank.selectedPreset);
    QStringList lines = shownLines(form);
    QCOMPARE(lines.size(), 2 * 19);
    QCOMPARE(lines.mid(0, 19), lines.mid(19, 19));
    QCOMPARE(lines.at(19), QStringLiteral("5  : Strings"));

    // "Display All Parameters" replaces the text with 128 blocks.
    form.showAllParameters(catalogue, bank);
    lines = shownLines(form);
    QCOMPARE(lines.size(), 128 * 19);
    QCOMPARE(lines.at(0), QStringLiteral("1  : "));
    QCOMPARE(lines.at(4 * 19), QStringLiteral("5  : Strings"));
    QCOMPARE(lines.at(127 * 19), QStringLiteral("128: "));
    QCOMPARE(lines.filter(QStringLiteral("Strings")).size(), 1);

    // Out-of-range indices from a caller land on a real preset.
    form.clear();
    form.appendParameters(catalogue, bank, 132);
    QCOMPARE(shownLines(form).at(0), QStringLiteral("5  : Strings"));
}

void ListingTest::knobNameListingsAndClear()
{
    PresetBank bank;
    bank.presets[0].knobName[15] = "Master Vol";
    TDisplayForm form;
    form.appendKnobNames(bank, 0);
    form.showAllKnobNames(bank);
    QStringList lines = shownLines(form);
    QCOMPARE(lines.size(), 128 * 11);
    QVERIFY(lines.at(9).contains(QStringLiteral("    |    16 Master Vol")));

    // The popup's one item empties the window; new text starts at the top.
    QMenu* popup = form.popupMenu();
    QVERIFY(popup);
    QCOMPARE(popup->actions().size(), 1);
    QCOMPARE(popup->actions().at(0)->text(), QStringLiteral("Clear"));
    popup->actions().at(0)->trigger();
    QCOMPARE(form.text(), QString());
    form.appendKnobNames(bank, 0);
    QCOMPARE(shownLines(form).at(0), QStringLiteral("1  : "));

    // Long lines scroll sideways instead of wrapping.
    QCOMPARE(form.textArea()->lineWrapMode(), QPlainTextEdit::NoWrap);
    QVERIFY(form.textArea()->font().fixedPitch());
}

void ListingTest::helpWindowReloadsItsFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString programDirectory = dir.path() + QLatin1Char('/');
    const QString path = programDirectory + QStringLiteral("Info.txt");
    writeFile(path, "First text\r\nline two\r\n");
    QCOMPARE(TInfoForm::locateInfoFile(programDirectory), path);

    TInfoForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Info"));
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

void ListingTest::helpWindowExplainsAMissingFile()
{
    QTemporaryDir dir;
    const QString programDirectory = dir.path() + QLatin1Char('/');
    const QString path = TInfoForm::locateInfoFile(programDirectory);
    TInfoForm form;
    form.showInfo(path);
    QVERIFY(form.text().contains(QStringLiteral("could not be read")));
    QVERIFY(form.text().contains(QStringLiteral("Info.txt")));
    // A directory where the file should be is no help text either.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Info.txt")));
    form.hide();
    form.showInfo(programDirectory + QStringLiteral("Info.txt"));
    QVERIFY(form.text().contains(QStringLiteral("could not be read")));
}

void ListingTest::helpFileFoundInTheInstalledDataDirectory()
{
    QTemporaryDir root;
    const QString program = root.filePath(QStringLiteral("bin")) + QLatin1Char('/');
    const QString data = program + QString::fromLatin1(dataDirectoryFromProgram());
    QVERIFY(QDir().mkpath(program));
    QVERIFY(QDir().mkpath(data));
    // Only the installed copy exists, spelt in another case.
    writeFile(data + QStringLiteral("INFO.TXT"), "installed help");
    const QString found = TInfoForm::locateInfoFile(program);
    QCOMPARE(QFileInfo(found).canonicalFilePath(),
        QFileInfo(data + QStringLiteral("INFO.TXT")).canonicalFilePath());
    TInfoForm form;
    form.showInfo(found);
    QCOMPARE(form.text(), QStringLiteral("installed help"));

    // A copy beside the program wins.
    writeFile(program + QStringLiteral("Info.txt"), "beside the program");
    QCOMPARE(TInfoForm::locateInfoFile(program), program + QStringLiteral("Info.txt"));
}

void ListingTest::aboutBoxShowsBuildVersion()
{
    QCOMPARE(TAboutForm::versionLine(), QStringLiteral("Version " KESTROW_EXPECTED_VERSION));
    TAboutForm about;
    QVERIFY(about.isModal());
    const auto labels = about.findChildren<QLabel*>();
    bool versionShown = false;
    for (const QLabel* label : labels)
        versionShown = versionShown || label->text() == TAboutForm::versionLine();
    QVERIFY(versionShown);

    // The picture is drawn, not blank: several distinct colours.
    const QImage picture = TAboutForm::picture();
    QVERIFY(!picture.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 4)
        for (int x = 0; x < picture.width(); x += 4)
            colours.insert(picture.pixel(x, y));
    QVERIFY(colours.size() > 20);
}

QTEST_MAIN(ListingTest)
#include "display_listing_test.moc"
