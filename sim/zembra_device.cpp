#include "sim/zembra_device.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace kestrow::sim {

namespace {

    // The device's view of its SysEx dialect. Every message it accepts or sends:
    //
    //   offset  0    1  2  3    4    5    6       7        8        9 .. n-2   n-1
    //           F0 | 00 20 20 | 14 | 00 | code | first  | second | body     | F7
    //
    //   code  in/out  meaning                   first     second      body  length
    //   20    in/out  program knob data         program   00          48    58
    //   21    in/out  dial start values         program   00          16    26
    //   30    in      end of program            program   00          -     10
    //   26    in      send program              program   00          -     10
    //   27    in      send dial start values    program   00          -     10
    //   06    in      identify                  00        00          -     10
    //   00    out     identity                  major     minor       -     10
    //   56    in      report setup              00        00          -     10
    //   50    in/out  setup                     thru bits channel-1   -     10
    constexpr std::uint8_t kSysExBegin = 0xF0;
    constexpr std::uint8_t kSysExEnd = 0xF7;
    constexpr std::array<std::uint8_t, 6> kOwnHeader { 0xF0, 0x00, 0x20, 0x20, 0x14, 0x00 };
    constexpr std::size_t kCodeAt = 6;
    constexpr std::size_t kFirstAt = 7;
    constexpr std::size_t kSecondAt = 8;
    constexpr std::size_t kBodyAt = 9;
    constexpr std::size_t kBareLength = 10;

    enum Code : std::uint8_t {
        kKnobData = 0x20,
        kStartValues = 0x21,
        kEndOfProgram = 0x30,
        kSendProgram = 0x26,
        kSendStartValues = 0x27,
        kIdentify = 0x06,
        kIdentity = 0x00,
        kReportSetup = 0x56,
        kSetup = 0x50,
    };

    constexpr std::uint8_t kThruChannel = 0x01;
    constexpr std::uint8_t kThruSysEx = 0x02;
    constexpr std::uint8_t kThruRealtime = 0x04;

    constexpr char kStateHeader[] = "zembra-device-state 1";

    bool isData(std::uint8_t byte) { return byte < 0x80; }

    bool hasOwnHeader(std::span<const std::uint8_t> m)
    {
        if (m.size() < kBareLength)
            return false;
        for (std::size_t i = 0; i < kOwnHeader.size(); ++i)
            if (m[i] != kOwnHeader[i])
                return false;
        return true;
    }

    std::size_t channelMessageLength(std::uint8_t status)
    {
        const std::uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
    }

} // namespace

std::string_view variantName(Variant variant)
{
    switch (variant) {
    case Variant::fader:
        return "fader";
    case Variant::dial:
        return "dial";
    case Variant::control:
        break;
    }
    return "control";
}

std::optional<Variant> parseVariant(std::string_view text)
{
    for (Variant v : { Variant::control, Variant::fader, Variant::dial })
        if (text == variantName(v))
            return v;
    return std::nullopt;
}

ZembraDevice::ZembraDevice(Variant variant, DeviceVersion version)
    : m_variant(variant)
{
    setVersion(version);
    resetMemory();
}

void ZembraDevice::setVersion(DeviceVersion version)
{
    // The identity message carries each number as one data byte.
    m_version = { static_cast<std::uint8_t>(version.major & 0x7F),
        static_cast<std::uint8_t>(version.minor & 0x7F) };
}

const DevicePreset& ZembraDevice::preset(int program) const
{
    return m_programs[(program >= 0 && program < kProgramCount) ? program : 0];
}

void ZembraDevice::setPreset(int program, const DevicePreset& preset)
{
    if (program < 0 || program >= kProgramCount)
        return;
    DevicePreset& target = m_programs[program];
    for (int k = 0; k < 16; ++k) {
        target.channel[k] = preset.channel[k] & 0x7F;
        target.eventType[k] = preset.eventType[k] & 0x7F;
        target.fixedParameter[k] = preset.fixedParameter[k] & 0x7F;
        target.initValue[k] = preset.initValue[k] & 0x7F;
    }
}

void ZembraDevice::resetMemory()
{
    for (DevicePreset& p : m_programs) {
        p = DevicePreset {};
        for (int k = 0; k < 16; ++k) {
            p.channel[k] = static_cast<std::uint8_t>(k + 1);
            p.eventType[k] = 127;
        }
    }
    m_thruFlags = kThruChannel | kThruSysEx | kThruRealtime;
    m_masterChannel = 1;
    m_currentProgram = 0;
}

std::vector<std::vector<std::uint8_t>> ZembraDevice::receive(std::span<const std::uint8_t> message)
{
    std::vector<std::vector<std::uint8_t>> out;
    if (message.empty()) {
        ++m_counters.ignored;
        return out;
    }
    const std::uint8_t status = message[0];
    auto passOn = [&](std::uint8_t flag) {
        if (m_thruFlags & flag)
            out.emplace_back(message.begin(), message.end());
        else
            ++m_counters.ignored;
    };

    if (status == kSysExBegin)
        return takeSysEx(message);

    if (status >= 0xF8) {
        if (message.size() == 1)
            passOn(kThruRealtime);
        else
            ++m_counters.ignored;
        return out;
    }

    if (status >= 0x80 && status < 0xF0) {
        const std::size_t length = channelMessageLength(status);
        if (message.size() != length || !isData(message[1])
            || (length == 3 && !isData(message[2]))) {
            ++m_counters.ignored;
            return out;
        }
        // A program change on the master channel is the device's own; it does not pass.
        if ((status & 0xF0) == 0xC0 && (status & 0x0F) == m_masterChannel - 1) {
            m_currentProgram = message[1];
            return out;
        }
        passOn(kThruChannel);
        return out;
    }

    // Stray data bytes, system common, a lone F7: nothing the device acts on.
    ++m_counters.ignored;
    return out;
}

std::vector<std::vector<std::uint8_t>> ZembraDevice::takeSysEx(std::span<const std::uint8_t> m)
{
    std::vector<std::vector<std::uint8_t>> out;
    const bool terminated = m.size() >= 2 && m.back() == kSysExEnd;
    bool clean = terminated;
    for (std::size_t i = 1; clean && i + 1 < m.size(); ++i)
        clean = isData(m[i]);
    if (!clean) {
        ++m_counters.ignored;
        return out;
    }
    if (!hasOwnHeader(m)) {
        // Someone else's SysEx: the device only forwards it.
        if (m_thruFlags & kThruSysEx)
            out.emplace_back(m.begin(), m.end());
        else
            ++m_counters.ignored;
        return out;
    }

    const std::uint8_t code = m[kCodeAt];
    const std::uint8_t first = m[kFirstAt];
    const std::uint8_t second = m[kSecondAt];
    const bool isDial = m_variant == Variant::dial;
    auto lengthIs = [&](std::size_t bodyLength) { return m.size() == kBareLength + bodyLength; };

    switch (code) {
    case kKnobData:
        if (lengthIs(48) && second == 0) {
            DevicePreset& p = m_programs[first];
            for (std::size_t k = 0; k < 16; ++k) {
                p.channel[k] = m[kBodyAt + k];
                p.eventType[k] = m[kBodyAt + 16 + k];
                p.fixedParameter[k] = m[kBodyAt + 32 + k];
            }
            ++m_counters.presetDataStored;
            return out;
        }
        break;
    case kStartValues:
        if (isDial && lengthIs(16) && second == 0) {
            for (std::size_t k = 0; k < 16; ++k)
                m_programs[first].initValue[k] = m[kBodyAt + k];
            ++m_counters.initValuesStored;
            return out;
        }
        break;
    case kEndOfProgram:
        if (lengthIs(0) && second == 0) {
            ++m_counters.trailersTaken;
            return out;
        }
        break;
    case kSendProgram:
        if (lengthIs(0) && second == 0) {
            out.push_back(presetDataReply(first));
            return out;
        }
        break;
    case kSendStartValues:
        if (isDial && lengthIs(0) && second == 0) {
            out.push_back(initValuesReply(first));
            return out;
        }
        break;
    case kIdentify:
        if (lengthIs(0)) {
            out.push_back(frame(kIdentity, m_version.major, m_version.minor));
            return out;
        }
        break;
    case kReportSetup:
        if (lengthIs(0)) {
            out.push_back(
                frame(kSetup, m_thruFlags, static_cast<std::uint8_t>(m_masterChannel - 1)));
            return out;
        }
        break;
    case kSetup:
        if (lengthIs(0) && first <= 0x07 && second <= 0x0F) {
            m_thruFlags = first;
            m_masterChannel = second + 1;
            return out;
        }
        break;
    default:
        break;
    }
    ++m_counters.ignored;
    return out;
}

std::vector<std::uint8_t> ZembraDevice::frame(std::uint8_t code, std::uint8_t first,
    std::uint8_t second, std::span<const std::uint8_t> body) const
{
    std::vector<std::uint8_t> m(kOwnHeader.begin(), kOwnHeader.end());
    m.push_back(code);
    m.push_back(first);
    m.push_back(second);
    m.insert(m.end(), body.begin(), body.end());
    m.push_back(kSysExEnd);
    return m;
}

std::vector<std::uint8_t> ZembraDevice::presetDataReply(int program) const
{
    const DevicePreset& p = m_programs[program];
    std::vector<std::uint8_t> body;
    body.reserve(48);
    body.insert(body.end(), p.channel.begin(), p.channel.end());
    body.insert(body.end(), p.eventType.begin(), p.eventType.end());
    body.insert(body.end(), p.fixedParameter.begin(), p.fixedParameter.end());
    return frame(kKnobData, static_cast<std::uint8_t>(program), 0, body);
}

std::vector<std::uint8_t> ZembraDevice::initValuesReply(int program) const
{
    const DevicePreset& p = m_programs[program];
    return frame(kStartValues, static_cast<std::uint8_t>(program), 0, p.initValue);
}

// State file, one record a line:
//   zembra-device-state 1
//   thru <0..7>
//   master <1..16>
//   current <0..127>
//   program <0..127> <16 channels> <16 event types> <16 fixed parameters> <16 start values>
bool ZembraDevice::saveState(const std::filesystem::path& path) const
{
    std::ostringstream text;
    text << kStateHeader << '\n'
         << "thru " << int(m_thruFlags) << '\n'
         << "master " << m_masterChannel << '\n'
         << "current " << m_currentProgram << '\n';
    for (int i = 0; i < kProgramCount; ++i) {
        const DevicePreset& p = m_programs[i];
        text << "program " << i;
        for (const auto* column : { &p.channel, &p.eventType, &p.fixedParameter, &p.initValue })
            for (std::uint8_t v : *column)
                text << ' ' << int(v);
        text << '\n';
    }

    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
            return false;
        file << text.str();
        file.flush();
        if (!file)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

bool ZembraDevice::loadState(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string line;
    if (!std::getline(file, line) || line != kStateHeader)
        return false;

    ZembraDevice loaded(m_variant, m_version);
    auto readNumber = [](std::istringstream& in, int low, int high, int& value) {
        return static_cast<bool>(in >> value) && value >= low && value <= high;
    };
    int lines = 0;
    std::array<bool, kProgramCount> seen {};
    bool seenThru = false;
    bool seenMaster = false;
    while (std::getline(file, line)) {
        if (++lines > 1000)
            return false;
        if (line.empty())
            continue;
        std::istringstream in(line);
        std::string key;
        in >> key;
        int value = 0;
        if (key == "thru") {
            if (!readNumber(in, 0, 7, value))
                return false;
            loaded.m_thruFlags = static_cast<std::uint8_t>(value);
            seenThru = true;
        } else if (key == "master") {
            if (!readNumber(in, 1, 16, value))
                return false;
            loaded.m_masterChannel = value;
            seenMaster = true;
        } else if (key == "current") {
            if (!readNumber(in, 0, 127, value))
                return false;
            loaded.m_currentProgram = value;
        } else if (key == "program") {
            int index = 0;
            if (!readNumber(in, 0, 127, index))
                return false;
            seen[static_cast<std::size_t>(index)] = true;
            DevicePreset& p = loaded.m_programs[static_cast<std::size_t>(index)];
            for (auto* column : { &p.channel, &p.eventType, &p.fixedParameter, &p.initValue })
                for (std::uint8_t& v : *column) {
                    if (!readNumber(in, 0, 127, value))
                        return false;
                    v = static_cast<std::uint8_t>(value);
                }
        } else {
            return false;
        }
        std::string rest;
        if (in >> rest)
            return false; // trailing garbage on a record
    }
    if (file.bad())
        return false;
    // A file cut short at a line end still parses; it must hold every record.
    if (!seenThru || !seenMaster)
        return false;
    for (bool present : seen)
        if (!present)
            return false;

    m_programs = loaded.m_programs;
    m_thruFlags = loaded.m_thruFlags;
    m_masterChannel = loaded.m_masterChannel;
    m_currentProgram = loaded.m_currentProgram;
    return true;
}

} // namespace kestrow::sim
