#pragma once

#include "midi/midi_dispatcher.h"

#include <QObject>

namespace kestrow {

/// Runs the driver library's notifications as queued calls on the thread of
/// `context` (the user-interface thread).
class QtMidiDispatcher : public MidiDispatcher {
public:
    explicit QtMidiDispatcher(QObject* context);
    void post(std::function<void()> task) override;

private:
    QObject* m_context;
};

} // namespace kestrow
