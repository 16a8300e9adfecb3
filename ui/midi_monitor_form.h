#pragma once

#include "protocol/midi_monitor.h"
#include "protocol/traffic_tap.h"

#include <QElapsedTimer>
#include <QWidget>

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

    bool attached() const { return m_tap.monitor() == this; }
    const MidiMonitorLog& log() const { return m_log; }
    QPlainTextEdit* view() const { return m_view; }

protected:
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
};

} // namespace kestrow
