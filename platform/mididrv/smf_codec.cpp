#include "platform/mididrv/smf_codec.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

namespace kestrow::smf {

namespace {

    constexpr std::uint32_t kMaxVlq = 0x0FFFFFFF;
    /// Track chunks shorter than this are not worth a reservation.
    constexpr std::size_t kReserveFrom = 64;

    /// Bounded byte reader: every read checks what is left, so a damaged length
    /// can never reach past the buffer.
    class Reader {
    public:
        explicit Reader(std::span<const std::uint8_t> bytes)
            : m_bytes(bytes)
        {
        }

        bool atEnd() const { return m_pos >= m_bytes.size(); }
        std::size_t left() const { return m_bytes.size() - m_pos; }
        std::uint8_t peek() const { return m_bytes[m_pos]; }

        std::optional<std::uint8_t> byte()
        {
            if (atEnd())
                return std::nullopt;
            return m_bytes[m_pos++];
        }

        std::optional<std::uint32_t> be(int count)
        {
            if (left() < static_cast<std::size_t>(count))
                return std::nullopt;
            std::uint32_t value = 0;
            for (int i = 0; i < count; ++i)
                value = (value << 8) | m_bytes[m_pos++];
            return value;
        }

        /// At most four bytes, as the file format allows.
        std::optional<std::uint32_t> vlq()
        {
            std::uint32_t value = 0;
            for (int i = 0; i < 4; ++i) {
                auto b = byte();
                if (!b)
                    return std::nullopt;
                value = (value << 7) | (*b & 0x7Fu);
                if (!(*b & 0x80))
                    return value;
            }
            return std::nullopt;
        }

        /// Null when fewer than count bytes are left.
        std::optional<std::span<const std::uint8_t>> take(std::size_t count)
        {
            if (left() < count)
                return std::nullopt;
            auto part = m_bytes.subspan(m_pos, count);
            m_pos += count;
            return part;
        }

    private:
        std::span<const std::uint8_t> m_bytes;
        std::size_t m_pos = 0;
    };

    MidiDrvEvent makeEvent(
        std::uint32_t time, std::uint8_t status, std::uint8_t d1 = 0, std::uint8_t d2 = 0)
    {
        MidiDrvEvent e {};
        e.time = time;
        e.status = status;
        e.data1 = d1;
        e.data2 = d2;
        return e;
    }

    /// Decodes one track chunk; stops quietly at the first damaged event.
    class TrackDecoder {
    public:
        explicit TrackDecoder(Track& track)
            : m_track(track)
        {
        }

        void run(std::span<const std::uint8_t> body)
        {
            // Every event takes at least one byte of the chunk: one reservation
            // instead of growing event by event (a dump is one event per byte).
            if (body.size() >= kReserveFrom)
                m_track.events.reserve(body.size());
            Reader in(body);
            while (!in.atEnd()) {
                auto delta = in.vlq();
                if (!delta || in.atEnd())
                    return;
                m_carry += *delta;
                std::uint8_t first = in.peek();
                if (first == 0xFF) {
                    in.byte();
                    auto type = in.byte();
                    auto length = in.vlq();
                    if (!type || !length)
                        return;
                    auto data = in.take(*length);
                    if (!data)
                        return;
                    m_running = 0;
                    if (*type == 0x2F)
                        return;
                    m_track.metas.push_back({ *type, { data->begin(), data->end() } });
                } else if (first == 0xF0 || first == 0xF7) {
                    in.byte();
                    auto length = in.vlq();
                    if (!length)
                        return;
                    auto data = in.take(*length);
                    if (!data)
                        return;
                    m_running = 0;
                    if (first == 0xF0) {
                        emitSysExByte(0xF0);
                        m_inSysEx = true;
                        sysExBytes(*data);
                    } else if (m_inSysEx || (!data->empty() && (*data)[0] < 0x80)) {
                        m_inSysEx = true;
                        sysExBytes(*data);
                    } else {
                        rawBytes(*data);
                    }
                } else {
                    std::uint8_t status = first;
                    if (first & 0x80) {
                        in.byte();
                        if (first >= 0xF0) // system messages only travel escaped
                            return;
                    } else {
                        status = m_running;
                        if (status == 0)
                            return;
                    }
                    std::uint8_t data[2] = { 0, 0 };
                    for (int i = 0; i < dataLength(status); ++i) {
                        auto b = in.byte();
                        if (!b || (*b & 0x80))
                            return;
                        data[i] = *b;
                    }
                    m_running = status;
                    m_inSysEx = false;
                    emit(makeEvent(0, status, data[0], data[1]));
                }
            }
        }

    private:
        void emit(MidiDrvEvent e)
        {
            e.time = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(m_carry, std::numeric_limits<std::uint32_t>::max()));
            m_carry = 0;
            m_track.events.push_back(e);
        }

        void emitSysExByte(std::uint8_t b) { emit(makeEvent(0, 0xF0, b)); }

        void sysExBytes(std::span<const std::uint8_t> data)
        {
            if (data.empty())
                return;
            // Up to and including the first F7: bytes after the end of a
            // message belong to none.
            const auto* end
                = static_cast<const std::uint8_t*>(std::memchr(data.data(), 0xF7, data.size()));
            const std::size_t count
                = end ? static_cast<std::size_t>(end - data.data()) + 1 : data.size();
            emitSysExByte(data[0]); // takes the delta time; the rest follow at once
            auto& events = m_track.events;
            const std::size_t at = events.size();
            events.resize(at + count - 1); // zeros: time 0, data2 0
            for (std::size_t i = 1; i < count; ++i) {
                MidiDrvEvent& e = events[at + i - 1];
                e.status = 0xF0;
                e.data1 = data[i];
            }
            if (end)
                m_inSysEx = false;
        }

        /// The contents of an escape packet: any MIDI bytes, parsed as a stream.
        void rawBytes(std::span<const std::uint8_t> data)
        {
            std::size_t i = 0;
            while (i < data.size()) {
                std::uint8_t status = data[i++];
                if (status == 0xF7) {
                    emitSysExByte(0xF7); // a lone end of SysEx stays a SysEx byte
                    continue;
                }
                if (status == 0xF0) {
                    emitSysExByte(0xF0);
                    // A message this packet does not end goes on in the next F7
                    // packet, as after an F0 packet: that is how it is written.
                    m_inSysEx = true;
                    while (i < data.size()) {
                        std::uint8_t b = data[i++];
                        emitSysExByte(b);
                        if (b == 0xF7) {
                            m_inSysEx = false;
                            break;
                        }
                    }
                    continue;
                }
                if (!(status & 0x80))
                    continue; // stray data byte without a status
                std::uint8_t d[2] = { 0, 0 };
                int need = dataLength(status);
                int got = 0;
                while (got < need && i < data.size() && !(data[i] & 0x80))
                    d[got++] = data[i++];
                if (got == need)
                    emit(makeEvent(0, status, d[0], d[1]));
            }
        }

        Track& m_track;
        std::uint64_t m_carry = 0;
        std::uint8_t m_running = 0;
        bool m_inSysEx = false;
    };

    void putVlq(std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        value = std::min(value, kMaxVlq);
        std::uint8_t groups[4];
        int n = 0;
        do {
            groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value != 0);
        while (n > 1)
            out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
        out.push_back(groups[0]);
    }

    void putBe(std::vector<std::uint8_t>& out, std::uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    std::uint32_t clampTime(std::uint64_t t)
    {
        return static_cast<std::uint32_t>(
            std::min<std::uint64_t>(t, std::numeric_limits<std::uint32_t>::max()));
    }

    std::vector<std::uint8_t> encodeTrack(const Track& track)
    {
        std::vector<std::uint8_t> out;
        for (const MetaEvent& meta : track.metas) {
            putVlq(out, 0);
            out.push_back(0xFF);
            out.push_back(meta.type);
            putVlq(out, static_cast<std::uint32_t>(meta.data.size()));
            out.insert(out.end(), meta.data.begin(), meta.data.end());
        }
        const auto& ev = track.events;
        std::uint64_t carry = 0;
        std::uint8_t running = 0;
        std::size_t i = 0;
        while (i < ev.size()) {
            carry += ev[i].time;
            std::uint8_t status = ev[i].status;
            if (status == 0xF0) {
                // One run: from F0 (or a stray byte) up to and including F7.
                bool complete = ev[i].data1 == 0xF0;
                std::vector<std::uint8_t> bytes { ev[i].data1 };
                std::uint64_t inner = 0;
                std::size_t j = i + 1;
                while (bytes.back() != 0xF7 && j < ev.size() && ev[j].status == 0xF0
                    && ev[j].data1 != 0xF0) {
                    bytes.push_back(ev[j].data1);
                    inner += ev[j].time;
                    ++j;
                }
                putVlq(out, clampTime(carry));
                if (complete) {
                    out.push_back(0xF0);
                    putVlq(out, static_cast<std::uint32_t>(bytes.size() - 1));
                    out.insert(out.end(), bytes.begin() + 1, bytes.end());
                } else {
                    out.push_back(0xF7);
                    putVlq(out, static_cast<std::uint32_t>(bytes.size()));
                    out.insert(out.end(), bytes.begin(), bytes.end());
                }
                carry = inner; // keeps the following events at their place in time
                running = 0;
                i = j;
                continue;
            }
            if (status >= 0x80 && status < 0xF0) {
                putVlq(out, clampTime(carry));
                if (status != running)
                    out.push_back(status);
                int n = dataLength(status);
                out.push_back(ev[i].data1 & 0x7F);
                if (n == 2)
                    out.push_back(ev[i].data2 & 0x7F);
                running = status;
                carry = 0;
            } else if (status > 0xF0) {
                // System common and realtime bytes only fit in an escape packet.
                int n = dataLength(status);
                putVlq(out, clampTime(carry));
                out.push_back(0xF7);
                putVlq(out, static_cast<std::uint32_t>(1 + n));
                out.push_back(status);
                if (n >= 1)
                    out.push_back(ev[i].data1 & 0x7F);
                if (n == 2)
                    out.push_back(ev[i].data2 & 0x7F);
                running = 0;
                carry = 0;
            }
            // A status below 80 is no event; its time moves on with carry.
            ++i;
        }
        // Time left after the last event (inside its SysEx run, or of no-event
        // entries) is not written: the reader keeps no time after the last event,
        // so a file read and written again would come out different.
        putVlq(out, 0);
        out.push_back(0xFF);
        out.push_back(0x2F);
        out.push_back(0x00);
        return out;
    }

} // namespace

int dataLength(std::uint8_t status)
{
    if (status < 0x80)
        return 0;
    if (status < 0xF0) {
        std::uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
    switch (status) {
    case 0xF1:
    case 0xF3:
        return 1;
    case 0xF2:
        return 2;
    default:
        return 0;
    }
}

std::optional<Song> decode(std::span<const std::uint8_t> bytes)
{
    Reader in(bytes);
    auto id = in.be(4);
    auto headerLength = in.be(4);
    if (!id || *id != 0x4D546864 || !headerLength || *headerLength < 6)
        return std::nullopt;
    auto header = in.take(*headerLength);
    if (!header)
        return std::nullopt;
    Reader h(*header);
    Song song;
    song.format = static_cast<int>(*h.be(2));
    auto declaredTracks = *h.be(2);
    song.resolution = static_cast<std::uint16_t>(*h.be(2));
    if (song.format > 2)
        return std::nullopt;
    // A track chunk takes at least 8 bytes, whatever the header declares.
    song.tracks.reserve(std::min<std::size_t>(declaredTracks, in.left() / 8));
    while (song.tracks.size() < declaredTracks && in.left() >= 8) {
        std::uint32_t chunk = *in.be(4);
        std::uint32_t length = *in.be(4);
        // A chunk cut short keeps what is there.
        auto body = *in.take(std::min<std::size_t>(length, in.left()));
        if (chunk != 0x4D54726B) // "MTrk"; other chunks are skipped
            continue;
        Track& track = song.tracks.emplace_back();
        TrackDecoder(track).run(body);
    }
    return song;
}

std::vector<std::uint8_t> encode(const Song& song)
{
    std::vector<std::uint8_t> out;
    int format = song.format;
    if (format == 0 && song.tracks.size() > 1)
        format = 1;
    putBe(out, 0x4D546864, 4);
    putBe(out, 6, 4);
    putBe(out, static_cast<std::uint32_t>(format), 2);
    putBe(out, static_cast<std::uint32_t>(std::min<std::size_t>(song.tracks.size(), 0xFFFF)), 2);
    putBe(out, song.resolution, 2);
    std::size_t written = 0;
    for (const Track& track : song.tracks) {
        if (written++ == 0xFFFF)
            break;
        auto body = encodeTrack(track);
        putBe(out, 0x4D54726B, 4);
        putBe(out, static_cast<std::uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

const MetaEvent* findMeta(const Track& track, std::uint8_t type)
{
    auto it = std::find_if(track.metas.begin(), track.metas.end(),
        [type](const MetaEvent& m) { return m.type == type; });
    return it == track.metas.end() ? nullptr : &*it;
}

} // namespace kestrow::smf
