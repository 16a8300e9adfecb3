// pacing_bench: how evenly the editor spaces a paced transfer. The editor's
// own windows (offscreen) run "Send All Presets" into a port that timestamps
// every message as it is put and hands it to an emulated device, so the
// figure covers whatever drives the pacing, timers or threads.
//
//   pacing_bench DELAY_MS [--banks]
//
// Prints one line of key=value pairs: messages, total_ms (start of the command
// to the last SysEx message), expected_ms (messages x Delay), deviation_pct,
// worst_gap_ms, least_gap_ms and pc_after_ms (last message to the Program
// Change). --banks sends four presets instead of all (a quick run).

#include "editor/editor_session.h"
#include "link/midi_ports.h"
#include "protocol/dump_frame.h"
#include "sim/zembra_device.h"
#include "ui/config_form.h"
#include "ui/editor_windows.h"
#include "ui/main_form.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPortName = "Bench Device";

/// One output that timestamps what is put and feeds an emulated device; safe
/// to call from any thread.
class TimedPorts : public kestrow::MidiPorts {
public:
    std::vector<std::string> outputNames() const override { return { kPortName }; }
    std::vector<std::string> inputNames() const override { return {}; }
    bool outputIsOpen(int device) const override { return device == 0; }
    kestrow::PortResult openOutput(int device) override
    {
        return device == 0 ? kestrow::PortResult::success()
                           : kestrow::PortResult::failure("no such bench port");
    }
    kestrow::PortResult put(int, std::span<const MidiEvent> events) override
    {
        const auto now = Clock::now();
        std::lock_guard lock(m_mutex);
        if (!events.empty() && events.front().status == 0xF0) {
            emulator.receive(kestrow::sysExBytes(events));
            arrivals.push_back(now);
        } else if (!events.empty() && (events.front().status & 0xF0) == 0xC0) {
            // The first one is the Program Change that follows start-up.
            if (++programChanges == 1)
                QMetaObject::invokeMethod(qApp, startSend, Qt::QueuedConnection);
            else if (arrivals.size() == wanted) {
                programChange = now;
                QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection);
            }
        }
        return kestrow::PortResult::success();
    }
    void closeInput() override { }
    kestrow::PortResult openInput(int) override
    {
        return kestrow::PortResult::failure("the bench port has no input");
    }

    kestrow::sim::ZembraDevice emulator { kestrow::sim::Variant::control };
    std::vector<Clock::time_point> arrivals;
    std::size_t wanted = 0;
    std::function<void()> startSend;
    int programChanges = 0;
    Clock::time_point programChange {};

private:
    std::mutex m_mutex;
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int delay = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const bool banks = argc > 2 && std::strcmp(argv[2], "--banks") == 0;

    QTemporaryDir folder;
    kestrow::EditorPaths paths;
    paths.programDirectory = folder.path().toStdString() + "/";
    paths.autosaveDirectory = paths.factoryDirectory = paths.infoDirectory = paths.programDirectory;
    auto owned = std::make_unique<TimedPorts>();
    TimedPorts& ports = *owned;
    kestrow::EditorSession session(paths, std::move(owned), nullptr); // no preset files
    kestrow::EditorWindows windows(session);
    kestrow::TMainForm& form = windows.mainForm();
    form.showWarning = [](const QString& title, const QString& text) {
        std::fprintf(stderr, "pacing_bench: %s: %s\n", qPrintable(title), qPrintable(text));
    };
    kestrow::TConfigForm& config = windows.configForm();
    if (!config.selectOutputByName(kPortName)) {
        std::fprintf(stderr, "pacing_bench: the bench port was not offered\n");
        return 1;
    }
    config.setDelayFieldText(QString::number(delay));

    Clock::time_point start;
    ports.wanted = banks ? 8 : 256;
    ports.startSend = [&] {
        start = Clock::now();
        if (banks)
            form.Send4Presets1Click();
        else
            form.SendAllPresets1Click();
    };
    QTimer cap; // a lost tick must not hang the run
    cap.setSingleShot(true);
    QObject::connect(&cap, &QTimer::timeout, &app, &QCoreApplication::quit);
    cap.start(delay * 600 + 5000);
    app.exec();

    const std::vector<Clock::time_point> t = ports.arrivals;
    const std::size_t wanted = ports.wanted;
    if (t.size() != wanted || ports.programChange == Clock::time_point {}) {
        std::printf("pacing_bench: %zu of %zu messages arrived%s\n", t.size(), wanted,
            ports.programChange == Clock::time_point {} ? ", no Program Change" : "");
        return 1;
    }
    std::vector<double> gaps { ms(t.front() - start) };
    for (std::size_t i = 1; i < t.size(); ++i)
        gaps.push_back(ms(t[i] - t[i - 1]));
    const double total = ms(t.back() - start);
    const double expected = static_cast<double>(t.size()) * delay;
    std::printf("messages=%zu total_ms=%.3f expected_ms=%.0f deviation_pct=%+.3f "
                "worst_gap_ms=%.3f least_gap_ms=%.3f pc_after_ms=%.3f\n",
        t.size(), total, expected, 100.0 * (total - expected) / expected,
        *std::max_element(gaps.begin(), gaps.end()), *std::min_element(gaps.begin(), gaps.end()),
        ms(ports.programChange - t.back()));
    return 0;
}
