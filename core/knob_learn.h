#pragma once

#include "core/preset_bank.h"

#include <array>
#include <cstdint>
#include <optional>

namespace kestrow {

/// Finds the knob of a preset that sent an incoming channel event. A knob
/// matches on its channel ("Master" is the given master channel), the kind of
/// message its event type sends and its fixed parameter where it takes one.
/// RPN and NRPN knobs send a parameter selection (controllers 101/100 or
/// 99/98) before their data entry (6, 38) or increment (96, 97); the learner
/// keeps the last selection per channel so the data controller that follows
/// finds its knob. Events sent as SysEx by the device are not matched.
class KnobLearner {
public:
    /// One channel message (status 80..EF and its data bytes); the knob 0..15
    /// of `preset` that sends it (the lowest when several do), or nullopt.
    /// masterChannel: 1..16, anything else leaves "Master" knobs unmatched.
    std::optional<int> feed(const Preset& preset, int masterChannel, std::uint8_t status,
        std::uint8_t data1, std::uint8_t data2);
    /// Forgets the parameter selections seen so far.
    void reset() { m_selection = {}; }

private:
    /// The RPN or NRPN last selected on a channel; -1 where not yet sent.
    struct Selection {
        bool nrpn = false;
        int msb = -1;
        int lsb = -1;
    };
    std::array<Selection, 16> m_selection {};
};

} // namespace kestrow
