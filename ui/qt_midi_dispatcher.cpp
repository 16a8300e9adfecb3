#include "ui/qt_midi_dispatcher.h"

#include <QMetaObject>

namespace kestrow {

QtMidiDispatcher::QtMidiDispatcher(QObject* context)
    : m_context(context)
{
}

void QtMidiDispatcher::post(std::function<void()> task)
{
    QMetaObject::invokeMethod(m_context, std::move(task), Qt::QueuedConnection);
}

} // namespace kestrow
