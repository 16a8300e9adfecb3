#pragma once

#include "core/bank_search.h"
#include "ui/search_fields.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace kestrow {

class EditorSession;

/// "Find...": searches the working set's 128 presets by event type,
/// parameter, channel, knob name or description text and lists the matches
/// as "preset / knob / what it sends". Choosing a match shows it in the main
/// window. Not modal: it stays open beside the editor.
class TFindForm : public QDialog {
    Q_OBJECT
public:
    explicit TFindForm(EditorSession& session, QWidget* parent = nullptr);

    /// Called with preset 0..127 and knob 0..15 (-1 for a description match).
    std::function<void(int presetIndex, int knob)> onChoose;

    /// Searches with the fields as they stand; returns the reason when they
    /// cannot be read (and lists nothing), else empty.
    QString runSearch();
    /// Shows match row 0.. in the main window.
    void chooseMatch(int row);
    const std::vector<SearchMatch>& matches() const { return m_matches; }

    QLineEdit* eventField() const { return m_fields.event; }
    QLineEdit* parameterField() const { return m_fields.parameter; }
    /// Entry 0 "Any", 1 "Master", 2.. channels 1..16.
    QComboBox* channelField() const { return m_fields.channel; }
    QLineEdit* textField() const { return m_text; }
    QListWidget* resultList() const { return m_results; }

private:
    EditorSession& m_session;
    AssignmentFields m_fields;
    QLineEdit* m_text;
    QListWidget* m_results;
    QLabel* m_status;
    std::vector<SearchMatch> m_matches;
};

} // namespace kestrow
