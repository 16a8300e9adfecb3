#include "protocol/traffic_tap.h"

namespace kestrow {

TrafficTap::TrafficTap(MidiPorts& ports)
    : m_ports(ports)
{
}

std::string TrafficTap::nameOf(const std::vector<std::string>& names, int device)
{
    return device >= 0 && static_cast<std::size_t>(device) < names.size()
        ? names[static_cast<std::size_t>(device)]
        : std::string();
}

void TrafficTap::incoming(const MidiEvent& event)
{
    if (m_learner == nullptr && m_monitor == nullptr)
        return;
    if (m_learner != nullptr)
        m_learner->incoming(event, m_input);
    if (m_monitor != nullptr)
        m_monitor->incoming(event, m_input);
}

bool TrafficTap::outputIsOpen(int device) const { return m_ports.outputIsOpen(device); }

PortResult TrafficTap::openOutput(int device) { return m_ports.openOutput(device); }

PortResult TrafficTap::put(int device, std::span<const MidiEvent> events)
{
    PortResult result = m_ports.put(device, events);
    if (m_monitor != nullptr)
        m_monitor->outgoing(events, nameOf(m_ports.outputNames(), device), result.ok);
    return result;
}

void TrafficTap::closeInput() { m_ports.closeInput(); }

PortResult TrafficTap::openInput(int device)
{
    // By name: the lists may be read afresh while the input stays open.
    m_input = nameOf(m_ports.inputNames(), device);
    return m_ports.openInput(device);
}

PortResult TrafficTap::reopenOutput(int device) { return m_ports.reopenOutput(device); }

bool TrafficTap::outputPresent(int device) { return m_ports.outputPresent(device); }

bool TrafficTap::inputPresent(int device) { return m_ports.inputPresent(device); }

} // namespace kestrow
