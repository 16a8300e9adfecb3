#pragma once

#include "protocol/device_protocol.h"
#include "protocol/verify_rows.h"

#include <QDialog>

#include <vector>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace kestrow {

class EditorSession;
struct SyncReport;

/// The report of "Verify Device": one row per part that differs (preset,
/// knob, field, here, on the device), one row for a preset that did not
/// answer. Sortable by any column, never larger than the screen. "Send These
/// Presets" and "Take From Device" act on the selected rows' presets, or on
/// all listed when none is selected. Not modal.
class TVerifyReportForm : public QDialog {
    Q_OBJECT
public:
    TVerifyReportForm(EditorSession& session, const SyncReport& report, QWidget* parent = nullptr);

    /// Presets 0..127 of the selected rows, else of every row; ascending, once each.
    std::vector<int> chosenPresets() const;
    /// "Send These Presets": the chosen presets go to the device; their rows
    /// leave the report. The port check's warning is the caller's to show.
    PortCheck sendThese();
    /// "Take From Device" as one undo step; the rows of the presets taken
    /// leave the report. Returns the presets changed.
    std::vector<int> takeFromDevice();

    QTableView* table() const { return m_table; }
    QPushButton* sendButton() const { return m_send; }
    QPushButton* takeButton() const { return m_take; }

private:
    void fill();
    /// Drops the rows of these presets; closes the window when none is left.
    void removePresets(const std::vector<int>& presetIndices);
    void fitToScreen();
    void updateButtons();

    EditorSession& m_session;
    std::vector<VerifyRow> m_rows;
    QLabel* m_summary;
    QStandardItemModel* m_model;
    QTableView* m_table;
    QPushButton* m_send;
    QPushButton* m_take;
};

/// Opens the report over `parent` (deleted when closed) and returns it.
TVerifyReportForm* showVerifyReport(
    QWidget* parent, EditorSession& session, const SyncReport& report);

} // namespace kestrow
