#include "core/catalogue.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace kestrow {

namespace {

    constexpr int kListSize = 128;

    const std::string kChannelNotShown = "*****";
    const std::string kCodeOutOfRange(35, '*');
    const std::string kFixedParameterUnused(36, '*');
    const std::string kUnnamedCode(53, '*');

    bool inList(std::int32_t value, std::size_t size)
    {
        return value >= 0 && static_cast<std::size_t>(value) < size;
    }

    /// Entry of a list, or the empty text where the index falls outside it
    /// (values from a damaged file must never index out of bounds).
    const std::string& entry(const NameList& list, std::int32_t value)
    {
        static const std::string empty;
        return inList(value, list.size()) ? list[static_cast<std::size_t>(value)] : empty;
    }

    std::string rightAligned3(int n)
    {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%3d", n);
        return buf;
    }

    /// A 128-entry list with names at the given indices, empty elsewhere.
    NameList sparseList(std::initializer_list<std::pair<int, const char*>> names)
    {
        NameList list(kListSize);
        for (const auto& [index, name] : names)
            list[static_cast<std::size_t>(index)] = name;
        return list;
    }

    void fillNumbered(NameList& list, int first, int last, const std::string& prefix,
        int firstNumber, const std::string& suffix = {})
    {
        for (int i = first; i <= last; ++i)
            list[static_cast<std::size_t>(i)]
                = prefix + std::to_string(firstNumber + i - first) + suffix;
    }

    NameList buildChannelNames()
    {
        NameList list { "Master" };
        for (int c = 1; c <= 16; ++c)
            list.push_back(c < 10 ? " " + std::to_string(c) : std::to_string(c));
        return list;
    }

    NameList buildEventTypeNames()
    {
        return {
            "Controller",
            "PitchBend",
            "MonoAftertouch",
            "Prg-Change",
            "PolyAftertouch",
            "NoteOn",
            "NoteOff",
            "IncDec",
            "RPN0_MSB",
            "RPN0_LSB",
            "RPN1_MSB",
            "RPN1_LSB",
            "",
            "",
            "RPN127_MSB",
            "RPN127_LSB",
            "NRPN0_MSB",
            "NRPN0_LSB",
            "NRPN1_MSB (XG_Multi/GS)",
            "NRPN1_LSB (XG_Multi/GS)",
            // The device numbers this pair LSB first.
            "NRPN8_LSB",
            "NRPN8_MSB",
            "NRPN9_MSB",
            "NRPN9_LSB",
            "NRPN10_MSB",
            "NRPN10_LSB",
            "NRPN20_MSB (XG Drum Instr. Cutoff)",
            "NRPN20_LSB (XG Drum Instr. Cutoff)",
            "NRPN21_MSB (XG Drum Instr. Resonance)",
            "NRPN21_LSB (XG Drum Instr. Resonance)",
            "NRPN22_MSB (XG Drum Instr. EG Attack)",
            "NRPN22_LSB (XG Drum Instr. EG Attack)",
            "NRPN23_MSB (XG Drum Instr. EG Decay)",
            "NRPN23_LSB (XG Drum Instr. EG Decay)",
            "NRPN24_MSB (XG Drum Instr. Pitch Coarse)",
            "NRPN24_LSB (XG Drum Instr. Pitch Coarse)",
            "NRPN25_MSB (XG Drum Instr. Pitch Fine)",
            "NRPN25_LSB (XG Drum Instr. Pitch Fine)",
            "NRPN26_MSB (XG Drum Instr. Level)",
            "NRPN26_LSB (XG Drum Instr. Level)",
            "NRPN28_MSB (XG Drum Instr. Panorama)",
            "NRPN28_LSB (XG Drum Instr. Panorama)",
            "NRPN29_MSB (XG Drum Instr. Reverb Send)",
            "NRPN29_LSB (XG Drum Instr. Reverb Send)",
            "NRPN30_MSB (XG Drum Instr. Chorus Send)",
            "NRPN30_LSB (XG Drum Instr. Chorus Send)",
            "NRPN31_MSB (XG Drum Instr. Variation/Delay Send)",
            "NRPN31_LSB (XG Drum Instr. Variation/Delay Send)",
            "NRPN32_MSB",
            "NRPN32_LSB",
            "NRPN33_MSB",
            "NRPN33_LSB",
            "NRPN99_MSB",
            "NRPN99_LSB",
            "NRPN100_MSB",
            "NRPN100_LSB",
            "NRPN102_MSB",
            "NRPN102_LSB",
            "NRPN120_MSB EMU ABS",
            "NRPN120_LSB EMU ABS",
            "NRPN127_MSB SB AWE 32/64",
            "NRPN127_LSB SB AWE 32/64",
            "NRPN2_MSB",
            "NRPN2_LSB",
            "XG-DRUM (SetupNr=Chn) Pitch Coarse",
            "XG-DRUM (SetupNr=Chn) Pitch Fine",
            "XG-DRUM (SetupNr=Chn) Level",
            "XG-DRUM (SetupNr=Chn) Alternate Group",
            "XG-DRUM (SetupNr=Chn) Panorama",
            "XG-DRUM (SetupNr=Chn) Reverb Send",
            "XG-DRUM (SetupNr=Chn) Chorus Send",
            "XG-DRUM (SetupNr=Chn) Variation Send",
            "XG-DRUM (SetupNr=Chn) Key Assign",
            "XG-DRUM (SetupNr=Chn) Rcv Note Off",
            "XG-DRUM (SetupNr=Chn) Rcv Note On",
            "XG-DRUM (SetupNr=Chn) Cutoff Freq.",
            "XG-DRUM (SetupNr=Chn) Resonance",
            "XG-DRUM (SetupNr=Chn) EG Attack Rate",
            "XG-DRUM (SetupNr=Chn) EG Decay1 Rate",
            "XG-DRUM (SetupNr=Chn) EG Decay2 Rate",
            "XG Multipart",
            "XG AD",
            "XG Effect",
            "XG Effect 2Byte",
            "XG Reverb Type",
            "XG Chorus Type",
            "XG Variation Type",
            "XG EQ",
            "XG Insertion 1",
            "XG Insertion 2",
            "XG Insertion 1 Type",
            "XG Insertion 2 Type",
            "",
            "",
            "Relatice Ctrl Bin.Complement",
            "Relative Ctrl Signed Bit",
            "GS - Effect",
            "MC303_Global",
            "MC303_Channel",
            "Relative Ctrl Bin.Offset (Reaktor)",
            "Strings",
            "NRPN0_IncDec",
            "NRPN1_IncDec",
            "NRPN8_IncDec",
            "NRPN9_IncDec",
            "NRPN10_IncDec",
            "NRPN20_IncDec",
            "NRPN21_IncDec",
            "NRPN22_IncDec",
            "NRPN23_IncDec",
            "NRPN24_IncDec",
            "NRPN25_IncDec",
            "NRPN26_IncDec",
            "NRPN28_IncDec",
            "NRPN29_IncDec",
            "NRPN30_IncDec",
            "NRPN31_IncDec",
            "NRPN32_IncDec",
            "NRPN33_IncDec",
            "NRPN99_IncDec",
            "NRPN100_IncDec",
            "NRPN102_IncDec",
            "NRPN120_IncDec",
            "NRPN127_IncDec",
            "NRPN2_IncDec",
            "",
            "",
            "No-Event",
        };
    }

    NameList buildControllerNames()
    {
        const NameList named = sparseList({
            { 0, "Bank Select MSB" },
            { 1, "Modulation" },
            { 2, "Breath Control" },
            { 4, "Foot Control" },
            { 5, "Portamento" },
            { 6, "Data Entry" },
            { 7, "Volume" },
            { 8, "Balance" },
            { 10, "Panorama" },
            { 11, "Expression" },
            { 64, "Sustain (on/off)" },
            { 65, "Portamento (on/off)" },
            { 66, "Sostenuto (on/off)" },
            { 67, "Soft (on/off)" },
            { 69, "Hold 2 (on/off)" },
            { 91, "Effect Depth" },
            { 92, "Tremolo Depth" },
            { 93, "Chorus Depth" },
            { 94, "Celeste Depth" },
            { 95, "Phaser Depth" },
            { 96, "Data Increment" },
            { 97, "Data Decrement" },
            { 98, "NRPN LSB" },
            { 99, "NRPN MSB" },
            { 100, "RPN LSB" },
            { 101, "RPN MSB" },
        });
        NameList list;
        for (int n = 0; n < kListSize; ++n) {
            std::string name = named[static_cast<std::size_t>(n)];
            if (name.empty()) {
                name = (n >= 32 && n <= 63) ? "Controller " + std::to_string(n - 32) + " LSB"
                                            : "Controller " + std::to_string(n);
            }
            list.push_back(rightAligned3(n) + ":" + name);
        }
        return list;
    }

    NameList buildNoteNames(int octaveOffset)
    {
        static const char* const pitch[12]
            = { "C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "Ab", "A ", "Bb", "B " };
        NameList list;
        for (int n = 0; n < kListSize; ++n) {
            char octave[12]; // any int fits
            std::snprintf(octave, sizeof octave, "%2d", n / 12 - octaveOffset);
            list.push_back(rightAligned3(n) + ":  " + pitch[n % 12] + octave);
        }
        return list;
    }

    NameList buildParameterNumbers()
    {
        NameList list;
        for (int n = 0; n < kListSize; ++n)
            list.push_back(std::to_string(n));
        return list;
    }

    NameList buildXgDrumNames()
    {
        static const char* const names[] = {
            "Surdo Mute",
            "Surdo Open",
            "Hi Q",
            "Whip Slap",
            "Scratch H",
            "Scratch L",
            "Finger Snap",
            "Click Noise",
            "Metronome Click",
            "Metronome Bell",
            "Seq Click L",
            "Seq Click H",
            "Brush Tap",
            "Brush Swirl",
            "Brush Slap",
            "Brush Tap Swirl",
            "Snare Roll",
            "Castanet",
            "Snare Soft",
            "Sticks",
            "Kick Soft",
            "Open Rim Shot",
            "Kick Tight",
            "Kick",
            "Side Stick",
            "Snare",
            "Hand Clap",
            "Snare Tight",
            "Floor Tom L",
            "Hi-Hat Closed",
            "Floor Tom H",
            "Hi-Hat Pedal",
            "Low Tom",
            "Hi-Hat Open",
            "Mid Tom L",
            "Mid Tom H",
            "Crash Cymbal 1",
            "High Tom",
            "Ride Cymbal 1",
            "Chinese Cymbal",
            "Ride Cymbal Cup",
            "Tambourine",
            "Splash Cymbal",
            "Cowbell",
            "Crash Cymbal 2",
            "Vibraslap",
            "Ride Cymbal 2",
            "Bongo H",
            "Bongo L",
            "Conga H Mute",
            "Conga H Open",
            "Conga L",
            "Timbale H",
            "Timbale L",
            "Agogo H",
            "Agogo L",
            "Cabasa",
            "Maracas",
            "Samba Whistle H",
            "Samba Whistle L",
            "Guiro Short",
            "Guiro Long",
            "Claves",
            "Wood Block H",
            "Wood Block L",
            "Cuica Mute",
            "Cuica Open",
            "Triangle Mute",
            "Triangle Open",
            "Shaker",
            "Jingle Bells",
            "Bell Tree",
        };
        NameList list(kListSize);
        std::size_t note = 13;
        for (const char* name : names)
            list[note++] = name;
        return list;
    }

    NameList buildAweParameterNames()
    {
        NameList list = {
            "LFO 1 - Delay",
            "LFO 1 - Frequency",
            "LFO 2 - Delay",
            "LFO 2 - Frequency",
            "Envelope 1 Delay Time",
            "Envelope 1 Attack Time",
            "Envelope 1 Hold Time",
            "Envelope 1 Decay Time",
            "Envelope 1 Sustain Level",
            "Envelope 1 Release Time",
            "Envelope 2 Delay Time",
            "Envelope 2 Attack Time",
            "Envelope 2 Hold Time",
            "Envelope 2 Decay Time",
            "Envelope 2 Sustain Level",
            "Envelope 2 Release Time",
            "Master Tuning",
            "LFO 1 to Pitch",
            "LFO 2 to Pitch",
            "Envelope 1 to Pitch",
            "LFO 1 to Volume",
            "Filter Cutoff",
            "Filter Resonance",
            "LFO 1 to Filter Cutoff",
            "Envelope 1 to Filter Cutoff",
            "Chorus Effect Send",
            "Reverb Effect Send",
        };
        list.resize(kListSize);
        return list;
    }

    NameList buildXgMultiPartNames()
    {
        NameList list = {
            "Element Reserve",
            "Bank Select MSB",
            "Bank Select LSB",
            "Program NUMBER",
            "Rcv Channel",
            "Mono/Poly Mode",
            "Same Note Number/Key On Assign",
            "Part Mode",
            "Note Shift",
            "Detune",
            "",
            "Volume",
            "Velocity Sense Depth",
            "Velocity Sense Offset",
            "Pan",
            "Note Limit Low",
            "Note Limit High",
            "Dry Level",
            "Chorus Send",
            "Reverb Send",
            "Variation Send",
            "Vibrato Rate",
            "Vibrato Depth",
            "Vibrato Delay",
            "Filter Cutoff Frequency",
            "Filter Resonance",
            "EG Attack Time",
            "EG Decay Time",
            "EG Release Time",
            "MW Pitch Control",
            "MW Filter Control",
            "MW Amplitude Control",
            "MW Lfo Pmod Depth",
            "MW Lfo Fmod Depth",
            "MW Lfo Amod Depth",
            "Bend Pitch Control",
            "Bend Filter Control",
            "Bend Amplitude Control",
            "Bend Lfo Pmod Depth",
            "Bend Lfo Fmod Depth",
            "Bend Lfo Amod Depth",
            "",
            "",
            "",
            "",
            "",
            "",
            "",
            "Rcv Pitch Bend",
            "Rcv Ch After Touch",
            "Rcv Program Change",
            "Rcv Control Change",
            "Rcv Poly After Touch",
            "Rcv Note Message",
            "Rcv RPN",
            "Rcv NRPN",
            "Rcv Modulation",
            "Rcv Volume",
            "Rcv Pan",
            "Rcv Expression",
            "Rcv Hold1",
            "Rcv Portamento",
            "Rcv Sostenuto",
            "Rcv Soft Pedal",
            "Rcv Bank Select",
            "Scale Tuning C",
            "Scale Tuning C#",
            "Scale Tuning D",
            "Scale Tuning D#",
            "Scale Tuning E",
            "Scale Tuning F",
            "Scale Tuning F#",
            "Scale Tuning G",
            "Scale Tuning G#",
            "Scale Tuning A",
            "Scale Tuning A#",
            "Scale Tuning B",
            "CAT Pitch Control",
            "CAT Filter Control",
            "CAT Amplitude Control",
            "CAT Lfo Pmod Depth",
            "CAT Lfo Fmod Depth",
            "CAT Lfo Amod Depth",
            "PAT Pitch Control",
            "PAT Filter Control",
            "PAT Amplitude Control",
            "PAT Lfo Pmod Depth",
            "PAT Lfo Fmod Depth",
            "PAT Lfo Amod Depth",
            "AC1 Controller Number",
            "AC1 Pitch Control",
            "AC1 Filter Control",
            "AC1 Amplitude Control",
            "AC1 Lfo Pmod Depth",
            "AC1 Lfo Fmod Depth",
            "AC1 Lfo Amod Depth",
            "AC2 Controller Number",
            "AC2 Pitch Control",
            "AC2 Filter Control",
            "AC2 Amplitude Control",
            "AC2 Lfo Pmod Depth",
            "AC2 Lfo Fmod Depth",
            "AC2 Lfo Amod Depth",
            "Portamento Switch",
            "Portamento Time",
            "Pitch EG Initial Level",
            "Pitch EG Attack Time",
            "Pitch EG Release Level",
            "Pitch EG Release Time",
            "Velocity Limit Low",
            "Velocity Limit High",
            "",
            "Bend Pitch Low Control",
            "Filter EG Depth",
            "EQ BASS",
            "EQ TREBLE",
            "EQ MID-BASS",
            "EQ MID-TREBLE",
            "EQ BASS Frequency",
            "EQ TREBLE Frequency",
            "EQ MID-BASS Frequency",
            "EQ MID-TREBLE Frequency",
            "EQ BASS Q",
            "EQ TREBLE Q",
            "EQ MID-BASS Q",
            "EQ MID-TREBLE Q",
            "EQ BASS Shape",
            "EQ TREBLE Shape",
        };
        list.resize(kListSize);
        return list;
    }

    NameList buildXgAdPartNames()
    {
        return sparseList({
            { 0, "Input Gain" },
            { 1, "Bank Select Msb" },
            { 2, "Bank Select Lsb" },
            { 3, "Program Number" },
            { 4, "Rcv Channel" },
            { 11, "Volume" },
            { 14, "Pan" },
            { 17, "Dry Level" },
            { 18, "Chorus Send" },
            { 19, "Reverb Send" },
            { 20, "Variation Send" },
            { 50, "Rcv Program Change" },
            { 51, "Rcv Control Change" },
            { 57, "Volume" },
            { 58, "Pan" },
            { 59, "Expression" },
            { 64, "Rcv Bank Select" },
            { 89, "AC1 Controller Number" },
            { 96, "AC2 Controller Number" },
        });
    }

    NameList buildXgEffectNames()
    {
        NameList list = sparseList({
            { 0, "Reverb Type MSB" },
            { 1, "Reverb Type LSB" },
            { 12, "Reverb Return" },
            { 13, "Reverb Pan" },
            { 32, "Chorus Type MSB" },
            { 33, "Chorus Type LSB" },
            { 44, "Chorus Return" },
            { 45, "Chorus Pan" },
            { 46, "Send Chorus To Reverb" },
            { 64, "Variation Type MSB" },
            { 65, "Variation Type LSB" },
            { 86, "Variation Return" },
            { 87, "Variation Pan" },
            { 88, "Send Variation To Reverb" },
            { 89, "Send Variation To Chorus" },
            { 90, "Variation Connection" },
            { 91, "Variation Part" },
            { 92, "MW Variation Control Depth" },
            { 93, "Bend Variation Control Depth" },
            { 94, "CAT Variation Control Depth" },
            { 95, "AC1 Variation Control Depth" },
            { 96, "AC2 Variation Control Depth" },
        });
        fillNumbered(list, 2, 11, "Reverb Parameter ", 1);
        fillNumbered(list, 16, 21, "Reverb Parameter ", 11);
        fillNumbered(list, 34, 43, "Chorus Parameter ", 1);
        fillNumbered(list, 48, 53, "Chorus Parameter ", 11);
        for (int k = 1; k <= 10; ++k) {
            const std::string name = "Variation Parameter " + std::to_string(k);
            list[static_cast<std::size_t>(64 + 2 * k)] = name + " MSB";
            list[static_cast<std::size_t>(65 + 2 * k)] = name + " LSB";
        }
        fillNumbered(list, 112, 117, "Variation Parameter ", 11);
        return list;
    }

    NameList buildXgEffect2ByteNames()
    {
        NameList list
            = sparseList({ { 0, "Reverb Type" }, { 32, "Chorus Type" }, { 64, "Variation Type" } });
        for (int k = 1; k <= 10; ++k)
            list[static_cast<std::size_t>(64 + 2 * k)]
                = "Variation Parameter " + std::to_string(k) + " MSB";
        return list;
    }

    NameList buildXgEqNames()
    {
        return sparseList({
            { 0, "EQ type" },
            { 1, "EQ gain1" },
            { 2, "EQ frequency1" },
            { 3, "EQ Q1" },
            { 4, "EQ shape1" },
            { 5, "EQ gain2" },
            { 6, "EQ frequency2" },
            { 7, "EQ Q2" },
            { 9, "EQ gain3" },
            { 10, "EQ frequency3" },
            { 11, "EQ Q3" },
            { 13, "EQ gain4" },
            { 14, "EQ frequency4" },
            { 15, "EQ Q4" },
            { 17, "EQ gain5" },
            { 18, "EQ frequency5" },
            { 19, "EQ Q5" },
            { 20, "EQ shape5" },
        });
    }

    NameList buildXgInsertionNames()
    {
        NameList list = sparseList({
            { 0, "Insertion Effect Type MSB" },
            { 1, "Insertion Effect Type LSB" },
            { 12, "Insertion Effect Part" },
            { 13, "MW Insertion Control Depth" },
            { 14, "Bend Insertion Control Depth" },
            { 15, "CAT Insertion Control Depth" },
            { 16, "AC1 Insertion Control Depth" },
            { 17, "AC2 Insertion Control Depth" },
        });
        fillNumbered(list, 2, 11, "Insertion Effect Parameter", 1);
        fillNumbered(list, 32, 37, "Insertion Effect Parameter", 11);
        for (int k = 1; k <= 10; ++k) {
            const std::string name = "Insertion Effect Parameter" + std::to_string(k);
            list[static_cast<std::size_t>(46 + 2 * k)] = name + " MSB";
            list[static_cast<std::size_t>(47 + 2 * k)] = name + " LSB";
        }
        return list;
    }

    NameList buildNrpn1ParameterNames()
    {
        return sparseList({
            { 8, "Vibrato Rate" },
            { 9, "Vibrato Depth" },
            { 10, "Vibrato Delay" },
            { 32, "Filter Cutoff Frequency" },
            { 33, "Filter Resonance" },
            { 36, "HPF Cutoff Frequency" },
            { 37, "HPF Resonance" },
            { 48, "EQ BASS" },
            { 49, "EQ TREBLE" },
            { 50, "EQ MID-BASS" },
            { 51, "EQ MID-TREBLE" },
            { 52, "EQ BASS Frequency" },
            { 53, "EQ TREBLE Frequency" },
            { 54, "EQ MID-BASS Frequency" },
            { 55, "EQ MID-TREBLE Frequency" },
            { 99, "EG Attack Time" },
            { 100, "EG Decay Time" },
            { 102, "EG Release" },
        });
    }

} // namespace

bool eventShowsChannel(std::int32_t code)
{
    return !(code == 12 || code == 13 || (code >= 82 && code <= 93) || code == 100
        || (code >= 125 && code <= 127));
}

bool eventUsesFixedParameter(std::int32_t code)
{
    return !(code == 2 || code == 3 || (code >= 8 && code <= 13) || (code >= 84 && code <= 86)
        || (code >= 90 && code <= 93) || (code >= 125 && code <= 127));
}

Catalogue::Catalogue()
    : channelNames(buildChannelNames())
    , eventTypeNames(buildEventTypeNames())
    , controllerNames(buildControllerNames())
    , parameterNumbers(buildParameterNumbers())
    , noteNamesOctaveMinus1(buildNoteNames(1))
    , noteNamesOctaveMinus2(buildNoteNames(2))
    , xgDrumNames(buildXgDrumNames())
    , aweParameterNamesEmu(buildAweParameterNames())
    , aweParameterNamesAwe(buildAweParameterNames())
    , xgMultiPartNames(buildXgMultiPartNames())
    , xgAdPartNames(buildXgAdPartNames())
    , xgEffectNames(buildXgEffectNames())
    , xgEffect2ByteNames(buildXgEffect2ByteNames())
    , xgEqNames(buildXgEqNames())
    , xgInsertionNames(buildXgInsertionNames())
    , nrpn1ParameterNames(buildNrpn1ParameterNames())
    , resetStringNames { "GM-Reset", "GS-Reset", "XG-Reset" }
{
}

std::string Catalogue::cellText(const Preset& preset, int knob, int field) const
{
    if (knob < 0 || knob >= kKnobCount)
        return {};
    const auto k = static_cast<std::size_t>(knob);
    switch (field) {
    case kFieldKnobName:
        return preset.knobName[k];
    case kFieldChannel:
        return channelText(preset.eventType[k], preset.channel[k]);
    case kFieldEventType:
        return eventTypeText(preset.eventType[k]);
    case kFieldFixedParameter:
        return fixedParameterText(preset.eventType[k], preset.fixedParameter[k]);
    case kFieldInitValue:
        return std::to_string(preset.initValue[k]);
    default:
        return {};
    }
}

std::string Catalogue::channelText(std::int32_t eventType, std::int32_t channel) const
{
    if (!eventShowsChannel(eventType))
        return kChannelNotShown;
    return entry(channelNames, channel);
}

std::string Catalogue::eventTypeText(std::int32_t code) const
{
    if (!inList(code, kListSize))
        return kCodeOutOfRange;
    const std::string& name = entry(eventTypeNames, code);
    return name.empty() ? kUnnamedCode : name;
}

std::string Catalogue::noteName(std::int32_t value) const
{
    return entry(notesRangeLow == 1 ? noteNamesOctaveMinus2 : noteNamesOctaveMinus1, value);
}

std::string Catalogue::drumNoteText(std::int32_t value) const
{
    if (!inList(value, kListSize))
        return {};
    return noteName(value) + " " + entry(xgDrumNames, value);
}

std::string Catalogue::unnamedValueText(std::int32_t value)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(value));
    if (value < 0 || value > 255) {
        // Only a damaged file gets here; cutting to 20 characters would eat digits.
        return "*** " + std::to_string(value) + " (0x" + hex + ") ***";
    }
    const std::string text = "  " + std::to_string(value) + "           (0x" + hex + ")";
    return "*** " + text.substr(text.size() - 20) + " ***";
}

std::string Catalogue::fixedParameterText(std::int32_t eventType, std::int32_t value) const
{
    std::string text;
    const auto decimal = [value] { return std::to_string(value); };
    const auto aweName = [&](const NameList& list, const char* suffix) {
        const std::string& name = entry(list, value);
        return name.empty() ? name : name + suffix;
    };

    if (inList(eventType, kListSize) && !eventUsesFixedParameter(eventType)) {
        text = kFixedParameterUnused;
    } else if (eventType == 0) {
        text = entry(controllerNames, value);
    } else if (eventType == 1 || (eventType >= 14 && eventType <= 17)
        || (eventType >= 20 && eventType <= 25) || (eventType >= 48 && eventType <= 57)
        || eventType == 62 || eventType == 63 || (eventType >= 96 && eventType <= 98)
        || (eventType >= 101 && eventType <= 124)) {
        text = decimal();
    } else if (eventType >= 4 && eventType <= 6) {
        text = noteName(value);
    } else if (eventType == 7) {
        text = "Parameter: " + decimal();
    } else if (eventType == 94 || eventType == 95 || eventType == 99) {
        text = "Controller: " + decimal();
    } else if ((eventType >= 26 && eventType <= 47) || (eventType >= 64 && eventType <= 79)) {
        text = drumNoteText(value);
    } else if (eventType == 18 || eventType == 19) {
        text = entry(nrpn1ParameterNames, value);
    } else if (eventType == 58 || eventType == 59) {
        text = entry(aweParameterNamesEmu, value);
    } else if (eventType == 60) {
        text = aweName(aweParameterNamesAwe, " (coarse)");
    } else if (eventType == 61) {
        text = aweName(aweParameterNamesAwe, " (fine)");
    } else if (eventType == 80) {
        text = entry(xgMultiPartNames, value);
    } else if (eventType == 81) {
        text = entry(xgAdPartNames, value);
    } else if (eventType == 82) {
        text = entry(xgEffectNames, value);
    } else if (eventType == 83) {
        text = entry(xgEffect2ByteNames, value);
    } else if (eventType == 87) {
        text = entry(xgEqNames, value);
    } else if (eventType == 88 || eventType == 89) {
        text = entry(xgInsertionNames, value);
    } else if (eventType == 100) {
        text = entry(resetStringNames, value);
    }
    return text.empty() ? unnamedValueText(value) : text;
}

NameList Catalogue::parameterGrid(ParameterList list) const
{
    switch (list) {
    case ParameterList::xgDrum:
        return xgDrumNames;
    case ParameterList::aweEmu:
        return aweParameterNamesEmu;
    case ParameterList::aweAwe:
        return aweParameterNamesAwe;
    case ParameterList::xgMultiPart:
        return xgMultiPartNames;
    case ParameterList::xgAdPart:
        return xgAdPartNames;
    case ParameterList::xgEffect:
        return xgEffectNames;
    case ParameterList::xgEffect2Byte:
        return xgEffect2ByteNames;
    case ParameterList::xgEq:
        return xgEqNames;
    case ParameterList::xgInsertion:
        return xgInsertionNames;
    case ParameterList::nrpn1Grid: {
        NameList grid = parameterNumbers;
        for (std::size_t i = 0; i < grid.size(); ++i) {
            if (!nrpn1ParameterNames[i].empty())
                grid[i] = nrpn1ParameterNames[i];
        }
        grid[51] = "EQ NID-TREBLE";
        return grid;
    }
    case ParameterList::resetGrid: {
        NameList grid = parameterNumbers;
        for (std::size_t i = 0; i < resetStringNames.size(); ++i)
            grid[i] = resetStringNames[i];
        return grid;
    }
    }
    return NameList(kListSize);
}

bool eventFitsVariant(DeviceVariant variant, std::int32_t code)
{
    if (!inList(code, kListSize))
        return false;
    switch (variant) {
    case DeviceVariant::zembraControl:
    case DeviceVariant::zembraFader:
        return !(code == 7 || code == 12 || code == 13 || code == 62 || code == 63
            || (code >= 92 && code <= 95) || code == 99 || (code >= 101 && code <= 126));
    case DeviceVariant::zembraDial:
        return !(
            code == 12 || code == 13 || code == 92 || code == 93 || code == 125 || code == 126);
    }
    return false;
}

FixedParameterPicker fixedParameterPickerFor(std::int32_t eventType)
{
    const auto parameter = [](ParameterList list) {
        return FixedParameterPicker { PickerKind::parameter, list };
    };
    const std::int32_t c = eventType;
    if (c == 0)
        return { PickerKind::controller, ParameterList::xgDrum };
    if (c == 2 || c == 3 || (c >= 84 && c <= 86) || c == 90 || c == 91)
        return {};
    if (c >= 4 && c <= 6)
        return { PickerKind::note, ParameterList::xgDrum };
    if (c == 18 || c == 19)
        return parameter(ParameterList::nrpn1Grid);
    if ((c >= 26 && c <= 47) || (c >= 64 && c <= 79))
        return parameter(ParameterList::xgDrum);
    if (c == 58 || c == 59)
        return parameter(ParameterList::aweEmu);
    if (c == 60 || c == 61)
        return parameter(ParameterList::aweAwe);
    if (c == 80)
        return parameter(ParameterList::xgMultiPart);
    if (c == 81)
        return parameter(ParameterList::xgAdPart);
    if (c == 82)
        return parameter(ParameterList::xgEffect);
    if (c == 83)
        return parameter(ParameterList::xgEffect2Byte);
    if (c == 87)
        return parameter(ParameterList::xgEq);
    if (c == 88 || c == 89)
        return parameter(ParameterList::xgInsertion);
    if (c == 100)
        return parameter(ParameterList::resetGrid);
    return { PickerKind::value, ParameterList::xgDrum };
}

} // namespace kestrow
