#pragma once

#include "core/library_search.h"
#include "ui/search_fields.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTimer;
class QTreeWidget;

namespace kestrow {

class EditorSession;
struct LoadResult;

/// "Library...": the sets in the user's folders with their variant, preset
/// count, date and duplicates, and a search across all of them. Opening a
/// result loads its set; "Copy Preset" puts the one preset into the
/// selected row. The session does the work; this draws and asks.
class TLibraryForm : public QDialog {
    Q_OBJECT
public:
    explicit TLibraryForm(EditorSession& session, QWidget* parent = nullptr);

    /// The working set changed (a set opened, a preset copied): redraw.
    std::function<void()> onChanged;
    /// Asks for a folder to add; empty when cancelled (a dialog by default).
    std::function<QString()> askFolder;

    /// Lists the sets as indexed, then brings the index up to date in steps.
    void openLibrary();
    /// Reads every set still to read at once (the steps' work without waiting).
    void finishRefresh();
    bool refreshing() const;
    /// Adds a folder the user chose (askFolder) and reads its sets.
    void addFolder();
    /// Removes folder row 0..; its sets leave the list.
    void removeFolder(int row);
    /// Searches with the fields as they stand; the reason when they cannot
    /// be read (nothing listed), else empty.
    QString runSearch();
    /// Loads the set of result row 0.. (or, with none, of set row 0..).
    bool openResult(int row);
    bool openSet(int row);
    /// Copies the preset of result row 0.. into the selected preset.
    bool copyResult(int row);

    const LibrarySearch& results() const { return m_results; }
    QTreeWidget* setList() const { return m_sets; }
    QListWidget* folderList() const { return m_folders; }
    QListWidget* resultList() const { return m_resultList; }
    QLineEdit* textField() const { return m_text; }
    QLineEdit* eventField() const { return m_fields.event; }
    QLineEdit* parameterField() const { return m_fields.parameter; }
    /// Entry 0 "Any", 1 "Master", 2.. channels 1..16.
    QComboBox* channelField() const { return m_fields.channel; }
    QLabel* status() const { return m_status; }

private:
    void fillFolders();
    void fillSets();
    void refreshStep();
    void changed(const LoadResult& result, const QString& done);
    /// The set number of result row 0.. now; none (said in the status) when gone.
    std::optional<std::size_t> resultSet(int row);

    EditorSession& m_session;
    QListWidget* m_folders;
    QTreeWidget* m_sets;
    QLineEdit* m_text;
    AssignmentFields m_fields;
    QListWidget* m_resultList;
    QLabel* m_status;
    QTimer* m_refresh;
    LibrarySearch m_results;
    std::vector<std::string> m_resultPaths; ///< the set of each result
};

} // namespace kestrow
