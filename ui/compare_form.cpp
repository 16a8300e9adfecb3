#include "ui/compare_form.h"

#include "core/text_codec.h"
#include "editor/editor_session.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <array>

namespace kestrow {

namespace {

    constexpr std::array<const char*, 5> kFieldNames {
        "Name",
        "Channel",
        "Event",
        "Parameter",
        "Init Value",
    };

    QString fromModel(const std::string& text)
    {
        return QString::fromStdString(cp1252ToUtf8(text));
    }

    std::int32_t storedField(const Preset& preset, int knob, int field)
    {
        const auto k = static_cast<std::size_t>(knob);
        switch (field) {
        case kFieldChannel:
            return preset.channel[k];
        case kFieldEventType:
            return preset.eventType[k];
        case kFieldFixedParameter:
            return preset.fixedParameter[k];
        default:
            return preset.initValue[k];
        }
    }

    /// Descriptions keep Windows line breaks; a cell shows plain ones.
    QString descriptionText(const std::string& description)
    {
        return fromModel(description).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }

} // namespace

TCompareForm::TCompareForm(EditorSession& session, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_summary(new QLabel(this))
    , m_presets(new QListWidget(this))
    , m_parts(new QTableWidget(0, 3, this))
    , m_take(new QPushButton(QStringLiteral("&Take Theirs"), this))
{
    setObjectName(QStringLiteral("CompareForm"));
    setWindowTitle(QStringLiteral("Compare with File"));
    m_parts->setHorizontalHeaderLabels(
        { QStringLiteral("Part"), QStringLiteral("Working set"), QStringLiteral("File") });
    m_parts->verticalHeader()->hide();
    m_parts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_parts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_parts->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_parts->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_parts->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_presets->setMaximumWidth(220);
    m_take->setToolTip(QStringLiteral("The working set's preset becomes the file's, whole"));

    connect(m_presets, &QListWidget::currentRowChanged, this, &TCompareForm::showDifference);
    connect(m_take, &QPushButton::clicked, this, [this] { takeTheirs(); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(m_take, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);

    auto* sides = new QHBoxLayout;
    sides->addWidget(m_presets);
    sides->addWidget(m_parts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addLayout(sides, 1);
    layout->addWidget(buttons);
    resize(760, 460);
}

void TCompareForm::compareWith(const QString& fileName, const PresetSet& theirs)
{
    m_theirs = theirs;
    setWindowTitle(QStringLiteral("Compare with File: %1").arg(fileName));
    m_shown = -1;
    refresh();
}

void TCompareForm::refresh()
{
    const int keep = m_shown;
    m_differences = compareSets(m_session.bank().presets, m_theirs);
    m_summary->setText(m_differences.empty()
            ? QStringLiteral("The working set and the file hold the same presets.")
            : QStringLiteral("%1 of 128 presets differ.").arg(m_differences.size()));
    const QSignalBlocker blocker(m_presets);
    m_presets->clear();
    // The same preset again, or the next one that differs after it.
    int row = -1;
    for (std::size_t i = 0; i < m_differences.size(); ++i) {
        const int p = m_differences[i].presetIndex;
        m_presets->addItem(fromModel(
            presetLabel(p + 1) + m_session.bank().presets[static_cast<std::size_t>(p)].name));
        if (row < 0 && p >= keep)
            row = static_cast<int>(i);
    }
    if (row < 0)
        row = static_cast<int>(m_differences.size()) - 1;
    m_presets->setCurrentRow(row);
    showDifference(row);
}

void TCompareForm::showDifference(int row)
{
    m_parts->setRowCount(0);
    if (row < 0 || row >= static_cast<int>(m_differences.size())) {
        m_shown = -1;
        m_take->setEnabled(false);
        return;
    }
    m_take->setEnabled(true);
    const PresetDifference& difference = m_differences[static_cast<std::size_t>(row)];
    m_shown = difference.presetIndex;
    fillParts(difference);
}

void TCompareForm::fillParts(const PresetDifference& d)
{
    const Preset& ours = m_session.bank().presets[static_cast<std::size_t>(d.presetIndex)];
    const Preset& theirs = m_theirs[static_cast<std::size_t>(d.presetIndex)];
    const Catalogue& catalogue = m_session.catalogue();
    const auto addRow = [this](const QString& part, const QString& left, const QString& right) {
        const int r = m_parts->rowCount();
        m_parts->insertRow(r);
        m_parts->setItem(r, 0, new QTableWidgetItem(part));
        m_parts->setItem(r, 1, new QTableWidgetItem(left));
        m_parts->setItem(r, 2, new QTableWidgetItem(right));
    };
    if (d.name)
        addRow(QStringLiteral("Preset name"), fromModel(ours.name), fromModel(theirs.name));
    for (int k = 0; k < kKnobCount; ++k) {
        for (int f = kFieldKnobName; f <= kFieldInitValue; ++f) {
            if (!d.knobFields[static_cast<std::size_t>(k)][static_cast<std::size_t>(f)])
                continue;
            QString left = fromModel(catalogue.cellText(ours, k, f));
            QString right = fromModel(catalogue.cellText(theirs, k, f));
            // Texts that agree hide a stored difference: show the numbers too.
            if (left == right && f != kFieldKnobName) {
                left += QStringLiteral(" (%1)").arg(storedField(ours, k, f));
                right += QStringLiteral(" (%1)").arg(storedField(theirs, k, f));
            }
            addRow(QStringLiteral("Knob %1 %2")
                       .arg(k + 1)
                       .arg(QString::fromLatin1(kFieldNames[static_cast<std::size_t>(f)])),
                left, right);
        }
    }
    if (d.description)
        addRow(QStringLiteral("Description"), descriptionText(ours.description),
            descriptionText(theirs.description));
    m_parts->resizeRowsToContents();
}

bool TCompareForm::takeTheirs()
{
    const int preset = m_shown;
    if (preset < 0 || !m_session.takeTheirPreset(m_theirs, preset))
        return false;
    if (onTaken)
        onTaken(preset);
    refresh();
    return true;
}

} // namespace kestrow
