#include "ui/display_form.h"

#include "core/listings.h"
#include "core/text_codec.h"

#include <QMenu>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace kestrow {

namespace {

    int validPresetIndex(int presetIndex)
    {
        return (presetIndex % kPresetCount + kPresetCount) % kPresetCount;
    }

} // namespace

TDisplayForm::TDisplayForm(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("DisplayForm"));
    m_text = new QPlainTextEdit(this);
    QFont font;
    font.setFamilies({ QStringLiteral("Liberation Mono"), QStringLiteral("Courier New") });
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(11);
    m_text->setFont(font);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_popup = new QMenu(this);
    m_popup->addAction(QStringLiteral("Clear"), this, &TDisplayForm::clear);
    m_text->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_text, &QWidget::customContextMenuRequested, this, &TDisplayForm::showContextMenu);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(760, 500);
}

void TDisplayForm::appendLines(const std::vector<std::string>& lines)
{
    // One block of text per listing: far quicker than a call per line when
    // all 128 presets are listed.
    QString block;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            block += QLatin1Char('\n');
        block += QString::fromStdString(cp1252ToUtf8(lines[i]));
    }
    if (!lines.empty())
        m_text->appendPlainText(block);
}

void TDisplayForm::appendParameters(
    const Catalogue& catalogue, const PresetBank& bank, int presetIndex)
{
    const int index = validPresetIndex(presetIndex);
    appendLines(parameterListing(catalogue, bank.presets[static_cast<std::size_t>(index)], index));
}

void TDisplayForm::appendKnobNames(const PresetBank& bank, int presetIndex)
{
    const int index = validPresetIndex(presetIndex);
    appendLines(knobNameListing(bank.presets[static_cast<std::size_t>(index)], index));
}

void TDisplayForm::showAllParameters(const Catalogue& catalogue, const PresetBank& bank)
{
    clear();
    for (int p = 0; p < kPresetCount; ++p)
        appendParameters(catalogue, bank, p);
    bringToFront();
}

void TDisplayForm::showAllKnobNames(const PresetBank& bank)
{
    clear();
    for (int p = 0; p < kPresetCount; ++p)
        appendKnobNames(bank, p);
    bringToFront();
}

void TDisplayForm::showPresetParameters(
    const Catalogue& catalogue, const PresetBank& bank, int presetIndex)
{
    appendParameters(catalogue, bank, presetIndex);
    bringToFront();
}

void TDisplayForm::showPresetKnobNames(const PresetBank& bank, int presetIndex)
{
    appendKnobNames(bank, presetIndex);
    bringToFront();
}

void TDisplayForm::clear() { m_text->clear(); }

QString TDisplayForm::text() const { return m_text->toPlainText(); }

void TDisplayForm::showContextMenu(const QPoint& position)
{
    m_popup->popup(m_text->viewport()->mapToGlobal(position));
}

void TDisplayForm::bringToFront()
{
    show();
    raise();
    activateWindow();
}

} // namespace kestrow
