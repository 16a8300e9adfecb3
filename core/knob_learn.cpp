#include "core/knob_learn.h"

namespace kestrow {

namespace {

    constexpr std::uint8_t kDataEntryMsb = 6;
    constexpr std::uint8_t kDataEntryLsb = 38;
    constexpr std::uint8_t kDataIncrement = 96;
    constexpr std::uint8_t kDataDecrement = 97;
    constexpr std::uint8_t kNrpnLsb = 98;
    constexpr std::uint8_t kNrpnMsb = 99;
    constexpr std::uint8_t kRpnLsb = 100;
    constexpr std::uint8_t kRpnMsb = 101;

    /// How a parameter knob sends: the parameter it selects (LSB -1: the
    /// knob's fixed parameter) and the controller its value goes by.
    struct ParameterSend {
        bool nrpn = true;
        int msb = 0;
        int lsb = -1;
        int dataController = kDataEntryMsb; ///< kDataIncrement: 96 or 97
    };

    /// NRPN numbers of the data-entry pairs 20..63 (MSB first, except 20/21).
    constexpr std::array<int, 22> kPairNrpn { 8, 9, 10, 20, 21, 22, 23, 24, 25, 26, 28, 29, 30, 31,
        32, 33, 99, 100, 102, 120, 127, 2 };
    /// NRPN numbers of the increment codes 101..124.
    constexpr std::array<int, 24> kIncDecNrpn { 0, 1, 8, 9, 10, 20, 21, 22, 23, 24, 25, 26, 28, 29,
        30, 31, 32, 33, 99, 100, 102, 120, 127, 2 };

    std::optional<ParameterSend> parameterSend(std::int32_t code)
    {
        if (code >= 8 && code <= 11) // RPN 0 and 1, MSB then LSB
            return ParameterSend { false, 0, (code - 8) / 2,
                code % 2 == 0 ? kDataEntryMsb : kDataEntryLsb };
        if (code == 14 || code == 15)
            return ParameterSend { false, 127, -1, code == 14 ? kDataEntryMsb : kDataEntryLsb };
        if (code == 16 || code == 17)
            return ParameterSend { true, 0, -1, code == 16 ? kDataEntryMsb : kDataEntryLsb };
        if (code == 18 || code == 19)
            return ParameterSend { true, 1, -1, code == 18 ? kDataEntryMsb : kDataEntryLsb };
        if (code >= 20 && code <= 63) {
            const int pair = (code - 20) / 2;
            bool msb = code % 2 == 0;
            if (code == 20 || code == 21) // "NRPN8_LSB" comes first
                msb = !msb;
            return ParameterSend { true, kPairNrpn[static_cast<std::size_t>(pair)], -1,
                msb ? kDataEntryMsb : kDataEntryLsb };
        }
        if (code >= 101 && code <= 124)
            return ParameterSend { true, kIncDecNrpn[static_cast<std::size_t>(code - 101)], -1,
                kDataIncrement };
        return std::nullopt;
    }

    bool channelMatches(std::int32_t knobChannel, int channel, int masterChannel)
    {
        if (knobChannel == 0)
            return masterChannel >= 1 && masterChannel <= 16 && masterChannel == channel;
        return knobChannel == channel;
    }

    bool isData(int controller, int wanted)
    {
        if (wanted == kDataIncrement)
            return controller == kDataIncrement || controller == kDataDecrement;
        return controller == wanted;
    }

} // namespace

std::optional<int> KnobLearner::feed(const Preset& preset, int masterChannel, std::uint8_t status,
    std::uint8_t data1, std::uint8_t data2)
{
    if (status < 0x80 || status >= 0xF0)
        return std::nullopt;
    const int kind = status & 0xF0;
    const int channel = (status & 0x0F) + 1;
    Selection& selection = m_selection[static_cast<std::size_t>(channel - 1)];
    const bool controller = kind == 0xB0;
    if (controller) {
        if (data1 == kNrpnMsb || data1 == kRpnMsb) {
            const bool nrpn = data1 == kNrpnMsb;
            if (selection.nrpn != nrpn)
                selection.lsb = -1;
            selection = { nrpn, data2, selection.lsb };
        } else if (data1 == kNrpnLsb || data1 == kRpnLsb) {
            const bool nrpn = data1 == kNrpnLsb;
            if (selection.nrpn != nrpn)
                selection.msb = -1;
            selection = { nrpn, selection.msb, data2 };
        }
    }

    // Parameter knobs first: a data controller after a selection belongs to them.
    std::optional<int> plain;
    for (int k = 0; k < kKnobCount; ++k) {
        const auto knob = static_cast<std::size_t>(k);
        if (!channelMatches(preset.channel[knob], channel, masterChannel))
            continue;
        const std::int32_t code = preset.eventType[knob];
        const std::int32_t parameter = preset.fixedParameter[knob];
        if (const std::optional<ParameterSend> send = parameterSend(code)) {
            const int lsb = send->lsb >= 0 ? send->lsb : parameter;
            if (controller && isData(data1, send->dataController) && selection.nrpn == send->nrpn
                && selection.msb == send->msb && selection.lsb == lsb)
                return k;
            continue;
        }
        if (plain)
            continue;
        bool sends = false;
        switch (code) {
        case 0: // Controller
        case 94: // relative controllers
        case 95:
        case 99:
            sends = controller && data1 == parameter;
            break;
        case 1:
            sends = kind == 0xE0;
            break;
        case 2:
            sends = kind == 0xD0;
            break;
        case 3:
            sends = kind == 0xC0;
            break;
        case 4:
            sends = kind == 0xA0 && data1 == parameter;
            break;
        case 5:
            sends = kind == 0x90 && data1 == parameter;
            break;
        case 6: // a Note On of velocity 0 is a Note Off too
            sends = (kind == 0x80 || (kind == 0x90 && data2 == 0)) && data1 == parameter;
            break;
        case 7: // increment of whatever parameter is selected
            sends = controller && isData(data1, kDataIncrement);
            break;
        default:
            break;
        }
        if (sends)
            plain = k;
    }
    return plain;
}

} // namespace kestrow
