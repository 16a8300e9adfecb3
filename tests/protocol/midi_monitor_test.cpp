#include "protocol/dump_frame.h"
#include "protocol/midi_monitor.h"
#include "protocol/traffic_tap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrow {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    TEST(MidiMonitorTest, DescribesMessagesInTheCataloguesNames)
    {
        const Catalogue catalogue;
        Preset preset;
        const struct {
            Bytes bytes;
            const char* text;
        } cases[] = {
            { { 0xB0, 0x07, 0x64 }, "Ch 1 Controller 7:Volume 100" },
            { { 0xBF, 0x23, 0x00 }, "Ch 16 Controller 35:Controller 3 LSB 0" },
            { { 0x91, 0x3C, 0x5A }, "Ch 2 NoteOn 60: C 4 90" },
            { { 0x82, 0x00, 0x40 }, "Ch 3 NoteOff 0: C -1 64" },
            { { 0xA0, 0x3C, 0x10 }, "Ch 1 PolyAftertouch 60: C 4 16" },
            { { 0xC0, 0x0B }, "Ch 1 Prg-Change 11 (preset 12)" },
            { { 0xD4, 0x7F }, "Ch 5 MonoAftertouch 127" },
            { { 0xE0, 0x00, 0x40 }, "Ch 1 PitchBend 8192" },
            { { 0xF8 }, "Clock" },
            { presetDataFrame(preset, 11).bytes(), "SysEx preset data, preset 12" },
            { initValuesFrame(preset, 127).bytes(), "SysEx init values, preset 128" },
            { requestMessage(dump::kPresetRequest, 0).bytes(), "SysEx preset request, preset 1" },
            { deviceQuery(dump::kVersionQuery).bytes(), "SysEx device query (version)" },
            { thruSettingsMessage(3, 10).bytes(),
                "SysEx thru settings / configuration, thru flags 3, master channel 10" },
            { { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7 }, "SysEx, another device" },
            { { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00, 0x20, 0x01, 0xF7 },
                "SysEx, damaged (9 bytes)" },
            { { 0xF0, 0x01, 0x02 }, "SysEx, not ended (3 bytes)" },
            { { 0x45 }, "Data without status" },
        };
        for (const auto& c : cases)
            EXPECT_EQ(describeMessage(catalogue, c.bytes), c.text) << hexBytes(c.bytes);
    }

    TEST(MidiMonitorTest, PutsIncomingSysExTogetherAndFormatsLines)
    {
        const Catalogue catalogue;
        MidiMonitorLog log(catalogue);
        const Bytes request = requestMessage(dump::kPresetRequest, 4).bytes();
        for (std::size_t i = 0; i < request.size(); ++i) {
            log.addIncoming(1500, "zembra in", { 0, 0xF0, request[i], 0, 0 });
            if (i == 3) // a clock byte inside the message keeps its own line
                log.addIncoming(1501, "zembra in", { 0, 0xF8, 0, 0, 0 });
        }
        log.addIncoming(2000, "zembra in", { 0, 0xF0, 0xF0, 0, 0 });
        log.addIncoming(2001, "zembra in", { 0, 0xB0, 7, 100, 0 }); // cuts it short
        log.addMessage(12345, MidiDirection::out, "zembra out", Bytes { 0xC0, 0x05 });

        std::vector<std::string> texts;
        for (const MonitorLine& line : log.lines())
            texts.push_back(MidiMonitorLog::lineText(line));
        const std::vector<std::string> expected {
            "1.501\tIn\tzembra in\tClock\tF8",
            "1.500\tIn\tzembra in\tSysEx preset request, preset 5\tF0 00 20 20 14 00 26 04 00 F7",
            "2.000\tIn\tzembra in\tSysEx, not ended (1 bytes)\tF0",
            "2.001\tIn\tzembra in\tCh 1 Controller 7:Volume 100\tB0 07 64",
            "12.345\tOut\tzembra out\tCh 1 Prg-Change 5 (preset 6)\tC0 05",
        };
        EXPECT_EQ(texts, expected);
    }

    TEST(MidiMonitorTest, KeepsOnlyTheNewestLinesUnderAFlood)
    {
        const Catalogue catalogue;
        MidiMonitorLog log(catalogue, 100);
        for (int i = 0; i < 10000; ++i)
            log.addIncoming(static_cast<std::uint32_t>(i), "in",
                { 0, 0xB0, 1, static_cast<std::uint8_t>(i % 128), 0 });
        // A SysEx stream that never ends is cut into bounded parts.
        for (std::size_t i = 0; i < 3 * kMonitorSysExLimit; ++i)
            log.addIncoming(0, "in", { 0, 0xF0, static_cast<std::uint8_t>(i ? 1 : 0xF0), 0, 0 });

        ASSERT_EQ(log.lines().size(), 100U);
        EXPECT_EQ(log.nextSequence(), 10003U);
        EXPECT_EQ(log.lines().front().sequence, 9903U);
        EXPECT_EQ(log.lines()[96].text, "Ch 1 Controller 1:Modulation 15"); // message 9999
        EXPECT_EQ(log.lines().back().text, "SysEx, continued (4096 bytes)");
        log.clear();
        EXPECT_TRUE(log.lines().empty());
    }

    /// Records what the tap passes on.
    struct Recorder : MidiObserver {
        std::vector<std::string> seen;
        void incoming(const MidiEvent& event, const std::string& port) override
        {
            seen.push_back("in " + port + " " + hexBytes(eventBytes(event)));
        }
        void outgoing(
            std::span<const MidiEvent> events, const std::string& port, bool sent) override
        {
            seen.push_back("out " + port + " " + hexBytes(eventBytes(events.front()))
                + (sent ? "" : " refused"));
        }
    };

    /// Ports that count how often their names are asked for.
    struct CountingPorts : NoMidiPorts {
        mutable int namesAsked = 0;
        std::vector<std::string> outputNames() const override
        {
            ++namesAsked;
            return { "o1" };
        }
        std::vector<std::string> inputNames() const override
        {
            ++namesAsked;
            return { "i1" };
        }
    };

    // The window's tests see the monitor and learn told only while on; here
    // what they cannot: nobody listening names no port, and a refused message.
    TEST(MidiMonitorTest, TapNamesNoPortForNobodyAndMarksARefusedMessage)
    {
        CountingPorts ports;
        TrafficTap tap(ports);
        Recorder monitor;
        const MidiEvent cc { 0, 0xB0, 7, 1, 0 };
        (void)tap.openInput(0); // names the input once, kept while the lists change
        ports.namesAsked = 0;

        tap.incoming(cc);
        (void)tap.put(0, std::span(&cc, 1));
        EXPECT_EQ(ports.namesAsked, 0);

        tap.setMonitor(&monitor);
        tap.incoming(cc);
        (void)tap.put(0, std::span(&cc, 1));
        EXPECT_EQ(monitor.seen,
            (std::vector<std::string> { "in i1 B0 07 01", "out o1 B0 07 01 refused" }));
    }

} // namespace
} // namespace kestrow
