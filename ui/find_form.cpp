#include "ui/find_form.h"

#include "editor/editor_session.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrow {

TFindForm::TFindForm(EditorSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_fields(this)
    , m_text(new QLineEdit(this))
    , m_results(new QListWidget(this))
    , m_status(new QLabel(this))
{
    setObjectName(QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("Find"));
    m_text->setPlaceholderText(QStringLiteral("part of a knob name or description"));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Event:"), m_fields.event);
    fields->addRow(QStringLiteral("&Parameter:"), m_fields.parameter);
    fields->addRow(QStringLiteral("&Channel:"), m_fields.channel);
    fields->addRow(QStringLiteral("&Text:"), m_text);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* find = buttons->addButton(QStringLiteral("&Find"), QDialogButtonBox::ActionRole);
    find->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close);
    connect(find, &QPushButton::clicked, this, [this] { runSearch(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    connect(m_results, &QListWidget::itemActivated, this,
        [this](QListWidgetItem* item) { chooseMatch(m_results->row(item)); });
    connect(m_results, &QListWidget::itemClicked, this,
        [this](QListWidgetItem* item) { chooseMatch(m_results->row(item)); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    layout->addWidget(m_status);
    layout->addWidget(m_results, 1);
    resize(560, 420);
}

QString TFindForm::runSearch()
{
    m_matches.clear();
    m_results->clear();
    const auto fail = [this](const QString& reason) {
        m_status->setText(reason);
        return reason;
    };

    SearchCriteria criteria;
    const Catalogue& catalogue = m_session.catalogue();
    if (const QString reason = m_fields.read(catalogue, criteria); !reason.isEmpty())
        return fail(reason);
    criteria.text = toModelText(m_text->text());
    if (criteria.empty())
        return fail(QStringLiteral("Give an event, a parameter, a channel or a text to look for."));

    const PresetSet& presets = m_session.bank().presets;
    m_matches = findAssignments(presets, criteria);
    for (const SearchMatch& match : m_matches)
        m_results->addItem(fromModelText(matchText(catalogue, presets, match)));
    m_status->setText(m_matches.size() == 1 ? QStringLiteral("1 match")
                                            : QStringLiteral("%1 matches").arg(m_matches.size()));
    return {};
}

void TFindForm::chooseMatch(int row)
{
    if (row < 0 || row >= static_cast<int>(m_matches.size()))
        return;
    const SearchMatch& match = m_matches[static_cast<std::size_t>(row)];
    if (m_results->currentRow() != row)
        m_results->setCurrentRow(row);
    if (onChoose)
        onChoose(match.presetIndex, match.knob);
}

} // namespace kestrow
