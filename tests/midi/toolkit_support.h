#pragma once

#include "fake_mididrv.h"
#include "midi/midi_dispatcher.h"
#include "midi/midi_driver.h"
#include "midi/midi_exception.h"
#include "midi/midi_score.h"
#include "midi/midi_smf.h"
#include "midi/midi_track.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace kestrow::miditest {

inline MidiEvent ev(
    std::uint32_t time, std::uint8_t status, std::uint8_t d1 = 0, std::uint8_t d2 = 0)
{
    return { time, status, d1, d2, 0 };
}

inline void expectMidiError(const std::function<void()>& action, const std::string& text)
{
    try {
        action();
        ADD_FAILURE() << "no EMidiException, expected \"" << text << "\"";
    } catch (const EMidiException& e) {
        EXPECT_EQ(std::string(e.what()), text);
    }
}

/// The scripted driver's state, fresh; the driver must be loaded.
inline FakeDrvState& fakeDriverState()
{
    void* self = ::dlopen(KESTROW_FAKE_MIDIDRV, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(self, nullptr);
    FakeDrvState* state = reinterpret_cast<FakeDrvStateFn>(::dlsym(self, "FakeDrvState_get"))();
    ::dlclose(self);
    state->reset();
    return *state;
}

/// The default dispatcher while this lives: made first, so it is put back
/// only after the ports have gone.
struct DefaultDispatcher : ManualDispatcher {
    DefaultDispatcher() { setDefaultMidiDispatcher(this); }
    ~DefaultDispatcher() { setDefaultMidiDispatcher(nullptr); }
};

/// The toolkit over the scripted driver, with a hand-pumped dispatcher.
class FakeDriverTest : public ::testing::Test {
protected:
    void arrive(std::uint32_t time, std::uint8_t status, std::uint8_t d1 = 0, std::uint8_t d2 = 0)
    {
        state->input.push_back({ time, status, d1, d2, 0 });
    }
    void notifyInput()
    {
        state->inNotify.callback(state->inNotify.context, MIDIDRV_MSG_INPUT_WAITING);
    }

    DefaultDispatcher dispatcher;
    TMidiDriver driver { KESTROW_FAKE_MIDIDRV };
    FakeDrvState* state = &fakeDriverState();
};

/// The real library, and a fresh folder for files, removed afterwards.
class RealDriverTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(dir); }
    void TearDown() override { std::filesystem::remove_all(dir); }

    TMidiDriver driver { KESTROW_MIDIDRV };
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("kestrow-midi-" + std::to_string(::getpid()));
};

} // namespace kestrow::miditest
