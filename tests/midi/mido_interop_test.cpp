// Our standard MIDI files against an independent reader and writer:
// Python's mido.
#include "toolkit_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <unistd.h>

using namespace kestrow;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::string run(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;)
            output += static_cast<char>(c);
        ::pclose(pipe);
    }
    return output;
}

std::vector<Bytes> hexLines(const std::string& text, const std::string& prefix)
{
    std::vector<Bytes> out;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0)
            continue;
        std::istringstream hex(line.substr(prefix.size()));
        Bytes bytes;
        unsigned value;
        while (hex >> std::hex >> value)
            bytes.push_back(static_cast<std::uint8_t>(value));
        out.push_back(bytes);
    }
    return out;
}

class MidoTest : public miditest::RealDriverTest {
protected:
    void SetUp() override
    {
        if (run("/usr/bin/python3 -c 'import mido; print(\"ok\")' 2>/dev/null") != "ok\n")
            FAIL() << "python3-mido is missing (scripts/setup.sh installs it)";
        RealDriverTest::SetUp();
    }

    std::string script(const std::string& name, const std::string& body)
    {
        auto path = dir / name;
        std::ofstream(path) << body;
        return path.string();
    }
};

} // namespace

TEST_F(MidoTest, MidoReadsTheSysExWeWrite)
{
    // Lengths around the one-byte length limit and a long dump.
    std::vector<Bytes> messages;
    for (std::size_t length : { 2u, 10u, 58u, 129u, 300u }) {
        Bytes m { 0xF0 };
        for (std::size_t i = 1; i + 1 < length; ++i)
            m.push_back(static_cast<std::uint8_t>((i * 11 + length) & 0x7F));
        m.push_back(0xF7);
        messages.push_back(m);
    }
    const std::string path = (dir / "ours.mid").string();
    TMidiScore written(1);
    TMidiSMF writer(&driver);
    ASSERT_TRUE(writer.Open(path, 'w', 1));
    writer.Attach(&written);
    TMidiTrack& track = *written.Get(0);
    track.SetTrackName("zembra dump");
    track.IsRecording(true);
    track.Write(miditest::ev(0, 0x90, 60, 100));
    for (const Bytes& m : messages)
        for (std::size_t i = 0; i < m.size(); ++i)
            track.Write(miditest::ev(i == 0 && &m != &messages[0] ? 1 : 0, 0xF0, m[i]));
    track.IsRecording(false);
    ASSERT_TRUE(writer.Save(nullptr));
    writer.Close();
    std::string reader = script("read.py",
        "import sys, mido\n"
        "f = mido.MidiFile(sys.argv[1])\n"
        "for t in f.tracks:\n"
        "    print('NAME', t.name)\n"
        "    for m in t:\n"
        "        if m.type == 'sysex':\n"
        "            print('SYSEX %02X' % m.time, ' '.join('%02X' % b for b in m.bytes()))\n"
        "        elif not m.is_meta:\n"
        "            print('MSG', ' '.join('%02X' % b for b in m.bytes()))\n");
    std::string output = run("/usr/bin/python3 " + reader + " " + path + " 2>&1");
    EXPECT_NE(output.find("NAME zembra dump"), std::string::npos) << output;
    EXPECT_NE(output.find("MSG 90 3C 64"), std::string::npos) << output;
    std::vector<Bytes> got = hexLines(output, "SYSEX ");
    for (Bytes& m : got) { // the delta time first
        EXPECT_EQ(m.front(), &m == &got.front() ? 0 : 1);
        m.erase(m.begin());
    }
    EXPECT_EQ(got, messages);
}

TEST_F(MidoTest, WeReadTheSysExMidoWrites)
{
    std::string path = (dir / "mido.mid").string();
    std::string writer = script("write.py",
        "import sys, mido\n"
        "f = mido.MidiFile(type=1, ticks_per_beat=96)\n"
        "t = mido.MidiTrack()\n"
        "f.tracks.append(t)\n"
        "t.append(mido.MetaMessage('track_name', name='from mido'))\n"
        "t.append(mido.Message('program_change', program=5, time=3))\n"
        "for k, n in enumerate([1, 57, 200]):\n"
        "    m = mido.Message('sysex', data=[(i * 7 + k) % 128 for i in range(n)], time=k)\n"
        "    t.append(m)\n"
        "    print('SYSEX', ' '.join('%02X' % b for b in m.bytes()))\n"
        "t.append(mido.MetaMessage('set_tempo', tempo=400000, time=4))\n"
        "t.append(mido.Message('note_on', note=64, velocity=1, time=2))\n"
        "f.save(sys.argv[1])\n");
    std::string output = run("/usr/bin/python3 " + writer + " " + path + " 2>&1");
    auto expected = hexLines(output, "SYSEX ");
    ASSERT_EQ(expected.size(), 3u) << output;

    TMidiScore score(1);
    TMidiSMF smf(&driver);
    ASSERT_TRUE(smf.Open(path, 'r', 1));
    ASSERT_EQ(smf.NumTracks(), 1);
    smf.Attach(&score);
    ASSERT_TRUE(smf.Load(nullptr));
    TMidiTrack* track = score.Get(0);
    EXPECT_EQ(std::tuple(smf.Resolution(), track->GetTrackName()), std::tuple(96, "from mido"));

    std::vector<Bytes> got;
    ASSERT_GT(track->GetNumEvents(), 0);
    EXPECT_EQ(
        std::tuple(track->GetEvent(0)->status, track->GetEvent(0)->time), std::tuple(0xC0, 3u));
    MidiEvent last {};
    for (std::int32_t i = 1; i < track->GetNumEvents(); ++i) {
        MidiEvent e = *track->GetEvent(i);
        if (e.status != 0xF0) {
            last = e;
            continue;
        }
        if (e.data1 == 0xF0)
            got.emplace_back();
        ASSERT_FALSE(got.empty());
        got.back().push_back(e.data1);
    }
    EXPECT_EQ(got, expected);
    // The tempo meta's 4 ticks move on to the note.
    EXPECT_EQ(std::tuple(last.status, last.time), std::tuple(0x90, 6u));
    smf.Close();
}
