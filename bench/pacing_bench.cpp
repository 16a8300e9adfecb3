// Sends all 128 presets of a zembraDial (256 messages) through the paced
// sender, its Timer1 a Qt::PreciseTimer in a QCoreApplication, into the
// emulated device; timestamps each arrival at the device and reports the gaps.
//
//   pacing_bench [delay-ms] [runs]     (defaults 20 and 1)

#include "device_protocol.h"
#include "dump_frame.h"
#include "sim/zembra_device.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

/// The output port is the emulated device itself; arrivals are timestamped.
class EmulatorLink : public kestrow::DeviceLink {
public:
    bool outputIsOpen(int) const override { return true; }
    kestrow::PortResult openOutput(int) override { return kestrow::PortResult::success(); }
    kestrow::PortResult put(int, std::span<const MidiEvent> events) override
    {
        const auto now = Clock::now();
        const std::vector<std::uint8_t> bytes = kestrow::sysExBytes(events);
        // The closing Program Change is not part of the transfer.
        if (bytes.empty() || bytes[0] != 0xF0)
            return kestrow::PortResult::success();
        device.receive(bytes);
        arrivals.push_back(now);
        return kestrow::PortResult::success();
    }
    void closeInput() override { }
    kestrow::PortResult openInput(int) override { return kestrow::PortResult::success(); }

    kestrow::sim::ZembraDevice device { kestrow::sim::Variant::dial };
    std::vector<Clock::time_point> arrivals;
};

/// QTimers owned like the main window owns them.
class TimerHost : public kestrow::ProtocolHost {
public:
    TimerHost()
    {
        for (auto id : { kestrow::ProtocolTimer::Timer1, kestrow::ProtocolTimer::Timer3,
                 kestrow::ProtocolTimer::Timer4 }) {
            auto* timer = new QTimer(&owner);
            timer->setTimerType(Qt::PreciseTimer);
            timers[id] = timer;
        }
    }
    void setTimerEnabled(kestrow::ProtocolTimer id, bool enabled) override
    {
        if (enabled)
            timers[id]->start();
        else
            timers[id]->stop();
    }
    void setTimerInterval(kestrow::ProtocolTimer id, int ms) override { timers[id]->setInterval(ms); }
    void setCaption(const std::string&) override { }
    void refreshKnobTable(int) override { }
    void deviceSettingsChanged() override { }
    void portFailed(const kestrow::PortResult& failure) override
    {
        std::fprintf(stderr, "pacing_bench: %s\n", failure.reason.c_str());
    }

    QObject owner;
    std::map<kestrow::ProtocolTimer, QTimer*> timers;
};

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int delay = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;

    for (int run = 0; run < runs; ++run) {
        kestrow::PresetBank bank;
        kestrow::DeviceSettingsModel settings;
        settings.setPortNames({ "zembra Emulator" }, { "zembra Emulator" });
        EmulatorLink link;
        TimerHost host;
        kestrow::DeviceProtocol protocol(bank, settings, link, host);
        QObject::connect(host.timers[kestrow::ProtocolTimer::Timer1], &QTimer::timeout,
            [&protocol] { protocol.Timer1Timer(); });
        QObject::connect(host.timers[kestrow::ProtocolTimer::Timer4], &QTimer::timeout, [&] {
            protocol.Timer4Timer();
            app.quit();
        });
        protocol.setDeviceVariant(kestrow::DeviceVariant::zembraDial);
        protocol.setDelayText(std::to_string(delay));
        protocol.chooseOutput(0);

        Clock::time_point start;
        QTimer::singleShot(0, [&] {
            start = Clock::now();
            (void)protocol.sendAllPresets();
        });
        QTimer cap; // a lost tick must not hang the run
        cap.setSingleShot(true);
        QObject::connect(&cap, &QTimer::timeout, &app, &QCoreApplication::quit);
        cap.start(delay * 400 + 5000);
        app.exec();
        cap.stop();

        const auto& t = link.arrivals;
        if (t.size() != 256 || link.device.counters().presetDataStored != 128) {
            std::printf("run %d: only %zu messages arrived\n", run + 1, t.size());
            return 1;
        }
        std::vector<double> gaps;
        gaps.push_back(ms(t[0] - start));
        for (std::size_t i = 1; i < t.size(); ++i)
            gaps.push_back(ms(t[i] - t[i - 1]));
        std::vector<double> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        const double median = sorted[sorted.size() / 2];
        const double p99 = sorted[static_cast<std::size_t>(0.99 * static_cast<double>(sorted.size() - 1))];
        const double total = ms(t.back() - start);
        const double expected = 256.0 * delay;
        std::printf("run %d: delay %d ms, 256 messages: median gap %.3f ms, p99 %.3f ms, max %.3f ms, "
                    "min %.3f ms; total %.1f ms vs %.0f ms (%+.3f %%)\n",
            run + 1, delay, median, p99, sorted.back(), sorted.front(), total, expected,
            100.0 * (total - expected) / expected);
    }
    return 0;
}
