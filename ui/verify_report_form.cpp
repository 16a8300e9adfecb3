#include "ui/verify_report_form.h"

#include "core/text_codec.h"
#include "editor/editor_session.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace kestrow {

namespace {

    constexpr int kSortRole = Qt::UserRole;
    constexpr int kPresetRole = Qt::UserRole + 1;

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    QStandardItem* cell(const std::string& text, const QVariant& sortKey)
    {
        auto* item = new QStandardItem(fromModel(text));
        item->setEditable(false);
        item->setData(sortKey, kSortRole);
        return item;
    }

} // namespace

TVerifyReportForm::TVerifyReportForm(
    EditorSession& session, const SyncReport& report, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_rows(session.verifyRows(report))
    , m_summary(new QLabel(this))
    , m_model(new QStandardItemModel(0, 5, this))
    , m_table(new QTableView(this))
    , m_send(new QPushButton(QStringLiteral("&Send These Presets"), this))
    , m_take(new QPushButton(QStringLiteral("&Take From Device"), this))
{
    setObjectName(QStringLiteral("VerifyReportForm"));
    setWindowTitle(QStringLiteral("Verify Device"));
    // The first line, what did not answer and whether it was cancelled; the
    // differences themselves are the table.
    std::vector<std::string> lines = report.lines();
    if (!report.differing.empty())
        lines.erase(lines.begin() + 1,
            lines.begin() + 2 + static_cast<std::ptrdiff_t>(report.differenceLines.size()));
    QStringList summary;
    for (const std::string& line : lines)
        summary << fromModel(line);
    m_summary->setText(summary.join(QLatin1Char('\n')));
    m_summary->setWordWrap(true);

    m_model->setHorizontalHeaderLabels({ QStringLiteral("Preset"), QStringLiteral("Knob"),
        QStringLiteral("Field"), QStringLiteral("Here"), QStringLiteral("On the device") });
    m_model->setSortRole(kSortRole);
    fill();
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    // One line of text a row: a long report shows more of itself.
    m_table->verticalHeader()->setMinimumSectionSize(fontMetrics().height() + 4);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setWordWrap(false);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(0, Qt::AscendingOrder);
    QHeaderView* header = m_table->horizontalHeader();
    for (int column : { 0, 1, 2 })
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    header->setSectionResizeMode(4, QHeaderView::Stretch);

    m_send->setToolTip(QStringLiteral(
        "Sends the presets of the selected rows (all listed when none is selected) again"));
    m_take->setToolTip(QStringLiteral("The presets of the selected rows (all listed when none "
                                      "is selected) become what the device holds"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_send, QDialogButtonBox::ActionRole);
    buttons->addButton(m_take, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    connect(m_send, &QPushButton::clicked, this, [this] {
        const PortCheck ports = sendThese();
        if (ports.abandon())
            QMessageBox::warning(this, QStringLiteral("Warning !!!"), fromModel(ports.text));
    });
    connect(m_take, &QPushButton::clicked, this, [this] { takeFromDevice(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &TVerifyReportForm::updateButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    updateButtons();
    fitToScreen();
}

void TVerifyReportForm::fill()
{
    // The preset and knob columns sort by number, then in the report's order.
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const VerifyRow& row = m_rows[i];
        const auto order = static_cast<qlonglong>(i);
        QList<QStandardItem*> items {
            cell(row.preset, row.presetIndex * 100000LL + order),
            cell(row.knobText, (row.knob + 1) * 100000000LL + row.presetIndex * 100000LL + order),
            cell(row.field, fromModel(row.field)),
            cell(row.here, fromModel(row.here)),
            cell(row.device, fromModel(row.device)),
        };
        items.front()->setData(row.presetIndex, kPresetRole);
        m_model->appendRow(items);
    }
}

std::vector<int> TVerifyReportForm::chosenPresets() const
{
    std::set<int> presets;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows(0);
    if (selected.isEmpty()) {
        for (int r = 0; r < m_model->rowCount(); ++r)
            presets.insert(m_model->item(r, 0)->data(kPresetRole).toInt());
    }
    for (const QModelIndex& index : selected)
        presets.insert(index.data(kPresetRole).toInt());
    return { presets.begin(), presets.end() };
}

PortCheck TVerifyReportForm::sendThese()
{
    const std::vector<int> presets = chosenPresets();
    PortCheck ports = m_session.sendPresets(presets);
    if (!ports.abandon())
        removePresets(presets);
    return ports;
}

std::vector<int> TVerifyReportForm::takeFromDevice()
{
    // A preset that did not answer has nothing to take: its row stays.
    std::vector<int> presets;
    for (int p : chosenPresets()) {
        if (std::ranges::any_of(
                m_rows, [p](const VerifyRow& r) { return r.presetIndex == p && r.knob >= 0; }))
            presets.push_back(p);
    }
    const std::vector<int> changed = m_session.takeFromDevice(presets);
    removePresets(presets);
    return changed;
}

void TVerifyReportForm::removePresets(const std::vector<int>& presetIndices)
{
    for (int r = m_model->rowCount() - 1; r >= 0; --r) {
        if (std::ranges::find(presetIndices, m_model->item(r, 0)->data(kPresetRole).toInt())
            != presetIndices.end())
            m_model->removeRow(r);
    }
    std::erase_if(m_rows, [&presetIndices](const VerifyRow& row) {
        return std::ranges::find(presetIndices, row.presetIndex) != presetIndices.end();
    });
    updateButtons();
    if (m_model->rowCount() == 0)
        close();
}

void TVerifyReportForm::updateButtons()
{
    const std::vector<int> presets = chosenPresets();
    m_send->setEnabled(!presets.empty());
    m_take->setEnabled(std::ranges::any_of(m_rows, [&presets](const VerifyRow& row) {
        return row.knob >= 0 && std::ranges::find(presets, row.presetIndex) != presets.end();
    }));
}

void TVerifyReportForm::fitToScreen()
{
    // Tall enough for every row up to the screen's height, with room for the
    // frame, so Close always shows; the table scrolls the rest.
    const QScreen* screen
        = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize limit(available.width() * 9 / 10, available.height() * 9 / 10);
    setMaximumSize(limit);
    m_table->resizeColumnsToContents();
    const int rowsHeight = m_table->verticalHeader()->length()
        + m_table->horizontalHeader()->height() + 2 * m_table->frameWidth() + 4;
    const int width = std::max(640, m_table->horizontalHeader()->length() + 60);
    const int height = sizeHint().height() - m_table->sizeHint().height() + rowsHeight;
    resize(std::min(width, limit.width()), std::min(height, limit.height()));
}

TVerifyReportForm* showVerifyReport(
    QWidget* parent, EditorSession& session, const SyncReport& report)
{
    auto* form = new TVerifyReportForm(session, report, parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return form;
}

} // namespace kestrow
