// The driver's JACK lists, read on one shared client, are RtMidi's own
// (a client per list) without Kestrow programs' ports, with our port last.
#include "jack_rig.h"
#include "platform/mididrv/jack_client.h"
#include "platform/mididrv/port_backend.h"

#include <gtest/gtest.h>

#include <RtMidi.h>
#include <algorithm>

namespace {

template <typename T> std::vector<std::string> rtMidiList()
{
    T port(RtMidi::UNIX_JACK, "kestrow-reference");
    std::vector<std::string> names;
    for (unsigned i = 0; i < port.getPortCount(); ++i)
        if (!port.getPortName(i).starts_with("kestrow-"))
            names.push_back(port.getPortName(i));
    names.emplace_back("Kestrow (JACK)");
    return names;
}

/// The names of a backend's list; each port opens by its full name.
std::vector<std::string> names(const std::vector<kestrow::mididrv::PortInfo>& ports)
{
    std::vector<std::string> out;
    for (const auto& port : ports) {
        EXPECT_EQ(port.address, port.name);
        out.push_back(port.name);
    }
    return out;
}

using JackLists = kestrow::testing::JackServerTest;

} // namespace

TEST_F(JackLists, SharedClientListsAreRtMidisOwn)
{
    jack_client_t* other = jack_client_open("kx lists", JackNoStartServer, nullptr);
    ASSERT_NE(other, nullptr);
    // Registered out of name order, a non-ASCII name, and an audio port that
    // neither list may show.
    for (const char* name : { "b in", "a in" })
        jack_port_register(other, name, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    for (const char* name : { "z out", "\xC3\x84 out" })
        jack_port_register(other, name, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_port_register(other, "audio", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    ASSERT_EQ(jack_activate(other), 0);
    // Another Kestrow program's port, which no list may show.
    jack_client_t* kestrow = jack_client_open("kestrow-in-7", JackNoStartServer, nullptr);
    ASSERT_NE(kestrow, nullptr);
    jack_port_register(kestrow, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    ASSERT_EQ(jack_activate(kestrow), 0);

    const auto backend = kestrow::mididrv::makeJackBackend();
    ASSERT_NE(backend, nullptr);
    const auto outputs = rtMidiList<RtMidiOut>();
    const auto inputs = rtMidiList<RtMidiIn>();
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "kx lists:b in"), 1);
    EXPECT_EQ(std::count(inputs.begin(), inputs.end(), "kx lists:z out"), 1);
    EXPECT_EQ(names(backend->outputs()), outputs);
    EXPECT_EQ(names(backend->inputs()), inputs);
    EXPECT_EQ(std::count(outputs.begin(), outputs.end(), "kestrow-in-7:in"), 0);
    jack_client_close(kestrow);
    jack_client_close(other);
}

// libjack waits for a stopped or hung server's answer without end; the editor
// must still start, and take the server up once it answers again.
TEST_F(JackLists, AServerThatDoesNotAnswerIsNotWaitedFor)
{
    using namespace std::chrono_literals;
    ::kill(server->pid(), SIGSTOP);
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }
    } resume { server->pid() };

    const auto backend = kestrow::mididrv::makeJackBackend();
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(names(backend->outputs()), std::vector<std::string> {});
    EXPECT_EQ(names(backend->inputs()), std::vector<std::string> {});

    ::kill(server->pid(), SIGCONT);
    std::vector<std::string> outputs;
    for (const auto end = std::chrono::steady_clock::now() + 10s;
         outputs.empty() && std::chrono::steady_clock::now() < end;
         std::this_thread::sleep_for(100ms))
        outputs = names(backend->outputs());
    EXPECT_EQ(outputs, rtMidiList<RtMidiOut>());
}

// After a server died, libjack frees every open client when another opens: one
// whose death notice was still on its way (held here) must never be closed again.
TEST_F(JackLists, ClientsOfAServerThatDiedAreClosedOnceEvenWhenLibjackFreesThem)
{
    using kestrow::mididrv::JackClient;
    using namespace std::chrono_literals;
    static std::atomic<bool> held { false };
    static std::atomic<bool> release { false };
    auto told = JackClient::open("kestrow-told");
    auto untold = JackClient::open("kestrow-untold");
    ASSERT_TRUE(told && untold);
    untold->setShutDownHook(
        [](void*) {
            held = true;
            while (!release)
                std::this_thread::sleep_for(1ms);
        },
        nullptr);
    ::kill(server->pid(), SIGKILL);
    for (const auto end = std::chrono::steady_clock::now() + 10s;
         !(held && !told->alive()) && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(held && !told->alive()) << "libjack did not tell of the server's death";

    EXPECT_EQ(JackClient::open("kestrow-next"), nullptr);
    EXPECT_EQ(told->get(), nullptr);
    EXPECT_EQ(untold->get(), nullptr);
    EXPECT_FALSE(untold->alive());
    release = true;
    untold.reset();
    told.reset();
    // A killed server's slot among the user's servers is freed by one of its
    // name that stops cleanly.
    server.reset();
    server.emplace(serverName);
}
