#pragma once

#include "protocol/midi_monitor.h"
#include "protocol/traffic_tap.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <deque>

class QCheckBox;
class QPlainTextEdit;
class QTimer;

namespace kestrow {

/// "MIDI Monitor": the traffic of the ports, live. It watches the session's
/// tap only while it is shown; hidden, the tap has no monitor and nothing is
/// formatted. New lines reach the view in batches, so a flood costs one
/// redraw per tick, and the view keeps no more lines than the log.
class TMidiMonitorForm : public QWidget, public MidiObserver {
    Q_OBJECT
public:
    /// `tap` and `catalogue` must outlive the window.
    TMidiMonitorForm(TrafficTap& tap, const Catalogue& catalogue, QWidget* parent = nullptr);
    ~TMidiMonitorForm() override;

    void incoming(const MidiEvent& event, const std::string& port) override;
    void outgoing(std::span<const MidiEvent> events, const std::string& port, bool sent) override;

    /// Paused, the log goes on recording and the view stands still; resumed,
    /// the view catches up with the lines still kept.
    void setPaused(bool paused);
    bool paused() const;
    /// Empties the log and the view.
    void clear();
    /// The selected lines, or every shown line when nothing is selected, to the clipboard.
    void copySelection();
    /// Moves the lines logged since the last call into the view (unless paused).
    void showNewLines();

    /// The whole of the message shown in view line `block` (0-based): its
    /// description and every byte, 16 to a line; empty past the lines shown.
    /// The view cuts long messages; this is its tooltip.
    QString wholeMessage(int block) const;

    bool attached() const { return m_tap.monitor() == this; }
    const MidiMonitorLog& log() const { return m_log; }
    QPlainTextEdit* view() const { return m_view; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::uint32_t now() const;

    TrafficTap& m_tap;
    MidiMonitorLog m_log;
    QElapsedTimer m_clock;
    QPlainTextEdit* m_view = nullptr;
    QCheckBox* m_pause = nullptr;
    QTimer* m_refresh = nullptr;
    std::uint64_t m_shownUpTo = 0; ///< sequence of the next line to show
    std::deque<QString> m_shownWhole; ///< wholeMessage of each view line, in order
};

} // namespace kestrow
