// The main window's librarian commands: .syx import and export, files
// dropped on the preset tree, recent files, "Find..." and "Compare with
// File...". Each is a plain call the menus, the tree and the tests share.

#include "core/duplicate_assignments.h"
#include "core/text_codec.h"
#include "storage/preset_files.h"
#include "ui/compare_form.h"
#include "ui/find_form.h"
#include "ui/knob_table.h"
#include "ui/library_form.h"
#include "ui/main_form.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace kestrow {

namespace {

    const QString kImportTitle = QStringLiteral("Import SysEx");
    const QString kExportTitle = QStringLiteral("Export SysEx");
    const QString kCompareTitle = QStringLiteral("Compare with File");

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    /// A save dialog's default .MID name with the .syx ending instead.
    QString sysExName(const std::string& midName)
    {
        return fromModel(hasMidExtension(midName) ? baseNameOf(midName) : midName)
            + QStringLiteral(".syx");
    }

} // namespace

void TMainForm::runLibrarianCommand(MainCommand command)
{
    using C = MainCommand;
    using R = EditorSession::PresetRange;
    switch (command) {
    case C::importSysEx:
        return ImportSysEx1Click();
    case C::exportAllSysEx:
        return exportSysEx(R::all);
    case C::exportSelectedSysEx:
        return exportSysEx(R::selected);
    case C::exportBanksSysEx:
        if (deviceVariant() == DeviceVariant::zembraDial)
            exportSysEx(R::banks);
        return;
    case C::compareWithFile:
        return CompareWithFile1Click();
    case C::findAssignments:
        findForm().show();
        findForm().raise();
        findForm().activateWindow();
        return;
    case C::library:
        libraryForm().show();
        libraryForm().raise();
        libraryForm().activateWindow();
        libraryForm().openLibrary();
        return;
    default:
        return;
    }
}

void TMainForm::connectLibrarian()
{
    PresetTree* tree = presetTree();
    connect(tree, &PresetTree::filesDropped, this, &TMainForm::filesDropped);
    tree->itemDelegateForPresets()->setDuplicateMarkFunction([this](int row) {
        return row >= 0 && row < kPresetCount
            && !duplicateKnobs(
                bank().presets[static_cast<std::size_t>(row)], m_state.knownMasterChannel())
                    .empty();
    });
    // A changed knob can make or end a collision: the tree's mark follows.
    // (The window's destructor removes the view.)
    m_state.addView(
        &m_find, { [this](int) { redrawTree(); }, [this](CellPos) { redrawTree(); }, {} });
    if (QMenu* recent = m_menus->menu(QStringLiteral("&File/Recent Files")))
        connect(recent, &QMenu::aboutToShow, this, &TMainForm::fillRecentFilesMenu);
}

QString TMainForm::askSysExPath(const QString& title, const QString& defaultName, bool save)
{
    const QString start = dialogFolder(EditorSession::FileKind::sysEx) + defaultName;
    if (askFileName)
        return askFileName(title, start, save);
    const QString filter = QStringLiteral("SysEx Files (*.syx *.SYX)");
    if (!save)
        return QFileDialog::getOpenFileName(this, title, start, filter);
    QFileDialog dialog(this, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("syx"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

// ---------------------------------------------------------------------------
// .syx files

void TMainForm::ImportSysEx1Click()
{
    const QString path = askSysExPath(kImportTitle, {}, false);
    if (!path.isEmpty())
        importSysExFile(path.toStdString(), bank().selectedPreset);
}

bool TMainForm::importSysExFile(const std::string& path, int target)
{
    LoadResult result;
    if (!guarded([&] { result = m_session.importSysEx(path, target); }))
        return false;
    if (!result) {
        showWarning(kImportTitle, QString::fromStdString(result.reason));
        return false;
    }
    m_session.noteRecentFile(path);
    afterLoad();
    if (!result.note.empty())
        showWarning(kImportTitle, QString::fromStdString(result.note));
    return true;
}

void TMainForm::exportSysEx(EditorSession::PresetRange range)
{
    using R = EditorSession::PresetRange;
    const int selected = bank().selectedPreset;
    const SaveDialogText text = range == R::all ? saveAllPresetsText()
        : range == R::selected                  ? saveSinglePresetText(bank(), selected)
                                                : saveBanksText(selected);
    const QString path = askSysExPath(kExportTitle + QStringLiteral(": ") + fromModel(text.title),
        sysExName(text.defaultName), true);
    if (path.isEmpty())
        return;
    const FileResult written = m_session.exportSysEx(path.toStdString(), range);
    if (!written)
        showWarning(kExportTitle, QString::fromStdString(written.file + ": " + written.reason));
    else
        m_session.noteRecentFile(path.toStdString());
}

// ---------------------------------------------------------------------------
// Dropped and recent files

bool TMainForm::openPresetFile(const QString& path, int target)
{
    using O = EditorSession::OpenAs;
    std::string mid;
    O how = O::allPresets;
    if (!guarded([&] { how = m_session.openAsFor(path.toStdString(), mid); }))
        return false;
    switch (how) {
    case O::importSysEx:
        return importSysExFile(path.toStdString(), target);
    case O::singlePreset:
        return loadChosenFile(QStringLiteral("Load Single Preset"), mid, loadSinglePreset(target));
    case O::banks:
        return loadChosenFile(QStringLiteral("Load Banks 1-4"), mid, loadBanks(target));
    case O::allPresets:
        if (dumpFilesMissing(QStringLiteral("Load All Presets")))
            return false;
        return loadChosenFile(QStringLiteral("Load All Presets"), mid, loadAllPresets());
    }
    return false;
}

void TMainForm::filesDropped(const QStringList& paths, int row)
{
    const int target = row >= 0 && row < kPresetCount ? row : bank().selectedPreset;
    bool loaded = false;
    for (const QString& path : paths)
        loaded = openPresetFile(path, target) || loaded;
    // The preset dropped on shows what it got (a set of all presets shows there too).
    if (loaded && target != bank().selectedPreset)
        selectPreset(target, true);
}

void TMainForm::openRecentFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        m_session.forgetRecentFile(path.toStdString());
        showWarning(QStringLiteral("Recent Files"),
            QStringLiteral("%1 no longer exists; it is taken off the list of recent files.")
                .arg(path));
        return;
    }
    openPresetFile(path, bank().selectedPreset);
}

void TMainForm::fillRecentFilesMenu()
{
    QMenu* menu = m_menus->menu(QStringLiteral("&File/Recent Files"));
    if (menu == nullptr)
        return;
    menu->clear();
    int n = 0;
    for (const std::string& file : m_session.recentFiles()) {
        const QString path = QString::fromStdString(file);
        QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(path));
        connect(action, &QAction::triggered, this, [this, path] { openRecentFile(path); });
    }
    if (n == 0)
        menu->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

// ---------------------------------------------------------------------------
// Find and compare

TFindForm& TMainForm::findForm()
{
    if (m_find == nullptr) {
        m_find = new TFindForm(m_session, this);
        m_find->onChoose = [this](int preset, int knob) { showPresetKnob(preset, knob); };
    }
    return *m_find;
}

TLibraryForm& TMainForm::libraryForm()
{
    if (m_library == nullptr) {
        m_library = new TLibraryForm(m_session, this);
        m_library->onChanged = [this] { afterLoad(); };
    }
    return *m_library;
}

TCompareForm& TMainForm::compareForm()
{
    if (m_compare == nullptr) {
        m_compare = new TCompareForm(m_session, this);
        m_compare->onTaken = [this](int) { afterLoad(); };
    }
    return *m_compare;
}

void TMainForm::showPresetKnob(int presetIndex, int knob)
{
    if (presetIndex < 0 || presetIndex >= kPresetCount)
        return;
    selectPreset(presetIndex, false);
    if (knob < 0 || knob >= kKnobCount)
        return;
    m_state.bank.selectedKnob = knob;
    m_state.bank.selectedField = 0;
    knobTable()->setCurrentCell(knob + 1, 1);
    m_state.hoverKnob = knob + 1;
    m_state.showKnob(knob + 1);
}

void TMainForm::CompareWithFile1Click()
{
    QString path;
    const QString start = dialogFolder(EditorSession::FileKind::presets);
    if (askFileName)
        path = askFileName(kCompareTitle, start, false);
    else
        path = QFileDialog::getOpenFileName(
            this, kCompareTitle, start, QStringLiteral("Preset Files (*.MID *.mid *.syx *.SYX)"));
    if (path.isEmpty())
        return;
    std::string error;
    std::optional<PresetSet> theirs;
    if (!guarded([&] { theirs = m_session.readComparisonSet(path.toStdString(), error); }))
        return;
    if (!theirs) {
        showWarning(kCompareTitle, QString::fromStdString(error));
        return;
    }
    compareForm().compareWith(QFileInfo(path).fileName(), *theirs);
    compareForm().show();
    compareForm().raise();
}

} // namespace kestrow
