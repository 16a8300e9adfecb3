#include "ui/midi_monitor_form.h"

#include "core/text_codec.h"
#include "protocol/dump_frame.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QHideEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTextOption>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

namespace kestrow {

namespace {

    constexpr int kRefreshInterval = 100; ///< ms between view updates

} // namespace

TMidiMonitorForm::TMidiMonitorForm(TrafficTap& tap, const Catalogue& catalogue, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_tap(tap)
    , m_log(catalogue)
{
    setObjectName(QStringLiteral("MidiMonitorForm"));
    setWindowTitle(QStringLiteral("MIDI Monitor"));
    m_view = new QPlainTextEdit(this);
    m_view->setReadOnly(true);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_view->setMaximumBlockCount(static_cast<int>(m_log.cap()));
    m_view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Columns at fixed places; the lines keep their tabs for copying.
    const qreal character = m_view->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    QTextOption columns = m_view->document()->defaultTextOption();
    QList<QTextOption::Tab> tabs;
    for (int at : { 9, 14, 38, 90 })
        tabs.append(QTextOption::Tab(at * character, QTextOption::LeftTab));
    columns.setTabs(tabs);
    m_view->document()->setDefaultTextOption(columns);
    m_view->viewport()->installEventFilter(this);

    m_pause = new QCheckBox(QStringLiteral("&Pause"), this);
    auto* clearButton = new QPushButton(QStringLiteral("C&lear"), this);
    auto* copyButton = new QPushButton(QStringLiteral("&Copy"), this);
    copyButton->setToolTip(QStringLiteral("Copies the selected lines, or all lines"));
    connect(m_pause, &QCheckBox::toggled, this, [this](bool on) { setPaused(on); });
    connect(clearButton, &QPushButton::clicked, this, [this] { clear(); });
    connect(copyButton, &QPushButton::clicked, this, [this] { copySelection(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addStretch(1);
    buttons->addWidget(clearButton);
    buttons->addWidget(copyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);
    resize(1000, 420);

    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshInterval);
    connect(m_refresh, &QTimer::timeout, this, [this] { showNewLines(); });
}

TMidiMonitorForm::~TMidiMonitorForm()
{
    if (attached())
        m_tap.setMonitor(nullptr);
}

std::uint32_t TMidiMonitorForm::now() const
{
    return m_clock.isValid() ? static_cast<std::uint32_t>(m_clock.elapsed()) : 0;
}

void TMidiMonitorForm::incoming(const MidiEvent& event, const std::string& port)
{
    m_log.addIncoming(now(), port, event);
}

void TMidiMonitorForm::outgoing(
    std::span<const MidiEvent> events, const std::string& port, bool sent)
{
    if (events.empty())
        return;
    const std::vector<std::uint8_t> bytes = events.front().status == dump::kSysExStart
        ? sysExBytes(events)
        : eventBytes(events.front());
    m_log.addMessage(now(), MidiDirection::out, port, bytes, sent);
}

void TMidiMonitorForm::setPaused(bool paused)
{
    if (m_pause->isChecked() != paused)
        m_pause->setChecked(paused); // comes back here through toggled
    else if (!paused)
        showNewLines();
}

bool TMidiMonitorForm::paused() const { return m_pause->isChecked(); }

void TMidiMonitorForm::clear()
{
    m_log.clear();
    m_view->clear();
    m_shownWhole.clear();
    m_shownUpTo = m_log.nextSequence();
}

void TMidiMonitorForm::copySelection()
{
    QString text = m_view->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (text.isEmpty())
        text = m_view->toPlainText();
    QApplication::clipboard()->setText(text);
}

void TMidiMonitorForm::showNewLines()
{
    if (paused() || m_log.nextSequence() == m_shownUpTo)
        return;
    QStringList lines;
    for (const MonitorLine& line : m_log.lines()) {
        if (line.sequence < m_shownUpTo)
            continue;
        lines.push_back(QString::fromStdString(cp1252ToUtf8(MidiMonitorLog::lineText(line))));
        QString whole = QString::fromStdString(cp1252ToUtf8(line.port + ": " + line.text));
        const std::string hex = hexBytes(line.bytes, line.bytes.size());
        constexpr std::size_t kPerLine = 16 * 3; // "F0 " per byte
        for (std::size_t at = 0; at < hex.size(); at += kPerLine)
            whole += QLatin1Char('\n') + QString::fromStdString(hex.substr(at, kPerLine - 1));
        m_shownWhole.push_back(whole);
    }
    m_shownUpTo = m_log.nextSequence();
    if (lines.size() >= static_cast<qsizetype>(m_log.cap())) {
        m_view->clear(); // the view would drop its old lines anyway
        m_shownWhole.erase(m_shownWhole.begin(), m_shownWhole.end() - lines.size());
    }
    m_view->appendPlainText(lines.join(QLatin1Char('\n')));
    // The view drops its oldest lines beyond the log's cap; so does this.
    while (m_shownWhole.size() > static_cast<std::size_t>(m_view->document()->blockCount()))
        m_shownWhole.pop_front();
}

QString TMidiMonitorForm::wholeMessage(int block) const
{
    if (block < 0 || static_cast<std::size_t>(block) >= m_shownWhole.size())
        return {};
    return m_shownWhole[static_cast<std::size_t>(block)];
}

bool TMidiMonitorForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = wholeMessage(m_view->cursorForPosition(help->pos()).blockNumber());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, m_view->viewport());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TMidiMonitorForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_clock.isValid())
        m_clock.start();
    m_tap.setMonitor(this);
    m_refresh->start();
}

void TMidiMonitorForm::hideEvent(QHideEvent* event)
{
    // Minimised it keeps recording; closed it costs nothing.
    if (!event->spontaneous()) {
        m_tap.setMonitor(nullptr);
        m_refresh->stop();
    }
    QWidget::hideEvent(event);
}

} // namespace kestrow
