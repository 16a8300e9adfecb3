#pragma once

#include "core/bank_diff.h"
#include "core/preset_bank.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace kestrow {

class EditorSession;

/// "Compare with File...": the presets in which the working set and a file
/// differ, and for the chosen one every differing part side by side (names,
/// each knob's fields, the description). "Take Theirs" makes the working
/// set's preset the file's. Not modal.
class TCompareForm : public QDialog {
    Q_OBJECT
public:
    explicit TCompareForm(EditorSession& session, QWidget* parent = nullptr);

    /// Called after "Take Theirs" changed preset 0..127.
    std::function<void(int presetIndex)> onTaken;

    /// Compares the working set with the presets read from fileName.
    void compareWith(const QString& fileName, const PresetSet& theirs);
    /// Compares again (the working set may have changed); keeps the chosen preset when it still
    /// differs.
    void refresh();
    /// Shows the differences of row 0.. of the preset list.
    void showDifference(int row);
    /// "Take Theirs" for the preset shown; false when none is or it already is theirs.
    bool takeTheirs();

    const std::vector<PresetDifference>& differences() const { return m_differences; }
    /// Preset 0..127 whose parts are shown, -1 for none.
    int shownPreset() const { return m_shown; }
    QListWidget* presetList() const { return m_presets; }
    /// Three columns: part, working set, file; one row per differing part.
    QTableWidget* partTable() const { return m_parts; }

private:
    void fillParts(const PresetDifference& difference);

    EditorSession& m_session;
    PresetSet m_theirs;
    std::vector<PresetDifference> m_differences;
    int m_shown = -1;
    QLabel* m_summary;
    QListWidget* m_presets;
    QTableWidget* m_parts;
    QPushButton* m_take;
};

} // namespace kestrow
