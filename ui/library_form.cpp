#include "ui/library_form.h"

#include "editor/editor_session.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <filesystem>
#include <map>
#include <utility>

namespace kestrow {

namespace {

    /// Sets read per step of a refresh: a step stays well under a frame.
    constexpr std::size_t kSetsPerStep = 8;
    /// Results listed; the status tells how many more there are.
    constexpr std::size_t kResultLimit = 2000;

    /// The set's path below the library folder that holds it.
    QString shownPath(const std::string& path, const std::vector<std::string>& folders)
    {
        for (const std::string& folder : folders) {
            const std::filesystem::path relative
                = std::filesystem::path(path).lexically_relative(folder);
            if (!relative.empty() && *relative.begin() != "..")
                return QString::fromStdString(relative.string());
        }
        return QString::fromStdString(path);
    }

    QString deviceText(const LibrarySet& set)
    {
        if (!set.readable())
            return QStringLiteral("damaged");
        return set.initValues ? QStringLiteral("zembraDial")
                              : QStringLiteral("zembraControl or zembraFader");
    }

} // namespace

TLibraryForm::TLibraryForm(EditorSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_folders(new QListWidget(this))
    , m_sets(new QTreeWidget(this))
    , m_text(new QLineEdit(this))
    , m_fields(this)
    , m_resultList(new QListWidget(this))
    , m_status(new QLabel(this))
    , m_refresh(new QTimer(this))
{
    setObjectName(QStringLiteral("LibraryForm"));
    setWindowTitle(QStringLiteral("Library"));
    askFolder = [this] {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("Add Folder to Library"));
    };

    m_folders->setMaximumHeight(72);
    auto* addButton = new QPushButton(QStringLiteral("&Add Folder..."), this);
    auto* removeButton = new QPushButton(QStringLiteral("&Remove Folder"), this);
    auto* refreshButton = new QPushButton(QStringLiteral("Re&fresh"), this);
    // Return in the search fields is Find's, never one of these.
    for (QPushButton* button : { addButton, removeButton, refreshButton })
        button->setAutoDefault(false);
    connect(addButton, &QPushButton::clicked, this, &TLibraryForm::addFolder);
    connect(removeButton, &QPushButton::clicked, this,
        [this] { removeFolder(m_folders->currentRow()); });
    connect(refreshButton, &QPushButton::clicked, this, &TLibraryForm::openLibrary);
    auto* folderButtons = new QVBoxLayout;
    folderButtons->addWidget(addButton);
    folderButtons->addWidget(removeButton);
    folderButtons->addWidget(refreshButton);
    folderButtons->addStretch();
    auto* folders = new QHBoxLayout;
    folders->addWidget(m_folders, 1);
    folders->addLayout(folderButtons);

    m_sets->setHeaderLabels({ QStringLiteral("Set"), QStringLiteral("Device"),
        QStringLiteral("Presets"), QStringLiteral("Modified"), QStringLiteral("Note") });
    m_sets->setRootIsDecorated(false);
    m_sets->setUniformRowHeights(true); // a thousand rows lay out at once
    m_sets->header()->setStretchLastSection(true);
    for (const auto& [column, width] : { std::pair { 0, 220 }, { 1, 220 }, { 2, 60 }, { 3, 130 } })
        m_sets->setColumnWidth(column, width);
    connect(m_sets, &QTreeWidget::itemActivated, this,
        [this](QTreeWidgetItem* item) { openSet(m_sets->indexOfTopLevelItem(item)); });

    m_text->setPlaceholderText(QStringLiteral("part of a preset name, knob name or description"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Search:"), m_text);
    auto* assignment = new QHBoxLayout;
    assignment->addWidget(m_fields.event, 2);
    assignment->addWidget(new QLabel(QStringLiteral("Parameter:"), this));
    assignment->addWidget(m_fields.parameter, 1);
    assignment->addWidget(new QLabel(QStringLiteral("Channel:"), this));
    assignment->addWidget(m_fields.channel);
    auto* eventLabel = new QLabel(QStringLiteral("&Event:"), this);
    eventLabel->setBuddy(m_fields.event);
    fields->addRow(eventLabel, assignment);
    connect(m_resultList, &QListWidget::itemActivated, this,
        [this](QListWidgetItem* item) { openResult(m_resultList->row(item)); });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find = buttons->addButton(QStringLiteral("&Find"), QDialogButtonBox::ActionRole);
    QPushButton* open
        = buttons->addButton(QStringLiteral("&Open Set"), QDialogButtonBox::ActionRole);
    QPushButton* copy = buttons->addButton(
        QStringLiteral("&Copy Preset to Selected"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    find->setDefault(true);
    open->setAutoDefault(false);
    copy->setAutoDefault(false);
    connect(find, &QPushButton::clicked, this, [this] { runSearch(); });
    connect(open, &QPushButton::clicked, this, [this] {
        if (m_resultList->currentRow() >= 0)
            openResult(m_resultList->currentRow());
        else
            openSet(m_sets->indexOfTopLevelItem(m_sets->currentItem()));
    });
    connect(copy, &QPushButton::clicked, this, [this] { copyResult(m_resultList->currentRow()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, &TLibraryForm::refreshStep);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Folders:"), this));
    layout->addLayout(folders);
    layout->addWidget(m_sets, 2);
    layout->addLayout(fields);
    layout->addWidget(m_resultList, 2);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(900, 640);
}

void TLibraryForm::openLibrary()
{
    m_text->setFocus(); // the window opens to be searched
    fillFolders();
    m_session.library();
    const std::size_t pending = m_session.startLibraryRefresh();
    fillSets();
    if (pending > 0) {
        m_status->setText(QStringLiteral("Reading %1 sets...").arg(pending));
        m_refresh->start();
    } else {
        m_refresh->stop();
    }
}

bool TLibraryForm::refreshing() const { return m_refresh->isActive(); }

void TLibraryForm::finishRefresh()
{
    while (m_refresh->isActive())
        refreshStep();
}

void TLibraryForm::refreshStep()
{
    if (!m_session.continueLibraryRefresh(kSetsPerStep)) {
        m_status->setText(QStringLiteral("Reading sets..."));
        return;
    }
    m_refresh->stop();
    fillSets();
}

void TLibraryForm::fillFolders()
{
    m_folders->clear();
    for (const std::string& folder : m_session.libraryFolders())
        m_folders->addItem(QString::fromStdString(folder));
}

void TLibraryForm::fillSets()
{
    const std::vector<LibrarySet>& sets = m_session.library().sets();
    const std::vector<std::string>& folders = m_session.libraryFolders();
    std::map<std::size_t, QString> notes;
    for (const std::vector<std::size_t>& group : m_session.libraryDuplicates()) {
        for (std::size_t s : group) {
            QStringList others;
            for (std::size_t o : group) {
                if (o != s)
                    others << shownPath(sets[o].path, folders);
            }
            notes[s] = QStringLiteral("same presets as ") + others.join(QStringLiteral(", "));
        }
    }
    m_sets->setUpdatesEnabled(false);
    m_sets->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(sets.size()));
    int damaged = 0;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        const LibrarySet& set = sets[s];
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(set.stamp.modified / 1000000);
        QString note = notes.count(s) ? notes[s] : QString();
        if (!set.readable()) {
            ++damaged;
            note = QString::fromStdString(set.damage);
        }
        auto* item = new QTreeWidgetItem({ shownPath(set.path, folders), deviceText(set),
            set.readable() ? QString::number(set.presetCount) : QString(),
            modified.toString(QStringLiteral("yyyy-MM-dd HH:mm")), note });
        item->setToolTip(0, QString::fromStdString(set.path));
        items.append(item);
    }
    m_sets->addTopLevelItems(items);
    m_sets->setUpdatesEnabled(true);
    QString text = QStringLiteral("%1 sets").arg(sets.size());
    if (damaged > 0)
        text += QStringLiteral(", %1 damaged").arg(damaged);
    if (!notes.empty())
        text += QStringLiteral(", %1 duplicates").arg(notes.size());
    for (const std::string& problem : m_session.libraryProblems())
        text += QStringLiteral("\n") + QString::fromStdString(problem);
    if (!m_session.libraryIndexWrite())
        text += QStringLiteral("\nThe library's index could not be saved (%1: %2); it is read "
                               "again from the folders next time.")
                    .arg(QString::fromStdString(m_session.libraryIndexWrite().file),
                        QString::fromStdString(m_session.libraryIndexWrite().reason));
    if (sets.empty() && m_session.libraryFolders().empty())
        text = QStringLiteral("Add a folder that holds preset files (.MID) to list its sets.");
    m_status->setText(text);
}

void TLibraryForm::addFolder()
{
    const QString folder = askFolder ? askFolder() : QString();
    if (folder.isEmpty())
        return;
    if (!m_session.addLibraryFolder(folder.toStdString()))
        m_status->setText(QStringLiteral("%1 is in the library already.").arg(folder));
    openLibrary();
}

void TLibraryForm::removeFolder(int row)
{
    const std::vector<std::string>& folders = m_session.libraryFolders();
    if (row < 0 || row >= static_cast<int>(folders.size())) {
        m_status->setText(QStringLiteral("Choose the folder to remove in the list first."));
        return;
    }
    m_session.removeLibraryFolder(folders[static_cast<std::size_t>(row)]);
    openLibrary();
}

QString TLibraryForm::runSearch()
{
    m_results = {};
    m_resultPaths.clear();
    m_resultList->clear();
    const auto fail = [this](const QString& reason) {
        m_status->setText(reason);
        return reason;
    };
    SearchCriteria criteria;
    if (const QString reason = m_fields.read(m_session.catalogue(), criteria); !reason.isEmpty())
        return fail(reason);
    criteria.name = toModelText(m_text->text());
    if (criteria.empty())
        return fail(QStringLiteral("Type a name to look for, or give an event, a parameter or a "
                                   "channel."));

    m_results = m_session.searchLibrary(criteria, kResultLimit);
    for (const LibraryMatch& match : m_results.matches)
        m_resultPaths.push_back(m_session.library().sets()[match.set].path);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(m_results.matches.size()));
    for (const LibraryMatch& match : m_results.matches)
        lines << fromModelText(libraryMatchText(m_session.catalogue(), m_session.library(), match));
    m_resultList->addItems(lines);
    QString text = m_results.total == 1 ? QStringLiteral("1 match")
                                        : QStringLiteral("%1 matches").arg(m_results.total);
    if (m_results.total > m_results.matches.size())
        text += QStringLiteral(" (the first %1 are listed; narrow the search to see the rest)")
                    .arg(m_results.matches.size());
    m_status->setText(text);
    return {};
}

std::optional<std::size_t> TLibraryForm::resultSet(int row)
{
    if (row < 0 || row >= static_cast<int>(m_resultPaths.size())) {
        m_status->setText(QStringLiteral("Choose a search result first."));
        return std::nullopt;
    }
    // By path: a refresh since the search may have renumbered the sets.
    const LibraryIndex& library = m_session.library();
    const LibrarySet* set = library.find(m_resultPaths[static_cast<std::size_t>(row)]);
    if (set == nullptr || !set->readable()) {
        m_status->setText(QStringLiteral("That set is no longer in the library; search again."));
        return std::nullopt;
    }
    return static_cast<std::size_t>(set - library.sets().data());
}

bool TLibraryForm::openResult(int row)
{
    const std::optional<std::size_t> set = resultSet(row);
    if (!set)
        return false;
    const LoadResult result = m_session.openLibrarySet(*set);
    changed(result,
        QStringLiteral("Opened %1.")
            .arg(shownPath(
                m_resultPaths[static_cast<std::size_t>(row)], m_session.libraryFolders())));
    return result.loaded;
}

bool TLibraryForm::openSet(int row)
{
    const std::vector<LibrarySet>& sets = m_session.library().sets();
    if (row < 0 || row >= static_cast<int>(sets.size())) {
        m_status->setText(QStringLiteral("Choose a set or a search result to open first."));
        return false;
    }
    const QString name
        = shownPath(sets[static_cast<std::size_t>(row)].path, m_session.libraryFolders());
    const LoadResult result = m_session.openLibrarySet(static_cast<std::size_t>(row));
    changed(result, QStringLiteral("Opened %1.").arg(name));
    return result.loaded;
}

bool TLibraryForm::copyResult(int row)
{
    const std::optional<std::size_t> set = resultSet(row);
    if (!set)
        return false;
    const LibraryMatch& match = m_results.matches[static_cast<std::size_t>(row)];
    const int target = m_session.bank().selectedPreset;
    const LoadResult result = m_session.copyLibraryPreset(*set, match.at.presetIndex, target);
    changed(result, QStringLiteral("Copied into preset %1 (Undo takes it back).").arg(target + 1));
    return result.loaded;
}

void TLibraryForm::changed(const LoadResult& result, const QString& done)
{
    if (!result) {
        m_status->setText(QString::fromStdString(result.reason));
        return;
    }
    m_status->setText(result.note.empty() ? done : QString::fromStdString(result.note));
    if (onChanged)
        onChanged();
}

} // namespace kestrow
