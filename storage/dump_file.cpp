// The .MID dump goes through the toolkit's standard MIDI file classes, in the
// call order the editor has always used; the driver library does the coding.

#include "midi/midi_exception.h"
#include "midi/midi_score.h"
#include "midi/midi_smf.h"
#include "midi/midi_track.h"
#include "protocol/dump_encoder.h"
#include "protocol/dump_frame.h"
#include "storage/preset_files.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrow {

namespace {

    /// Leaves the shared SMF object closed and without the score, however the
    /// sequence ends: the score must not outlive its attachment.
    class SmfSession {
    public:
        SmfSession(TMidiSMF& smf, TMidiScore& score)
            : m_smf(smf)
            , m_score(score)
        {
        }
        ~SmfSession()
        {
            m_smf.Detach(&m_score);
            if (m_smf.IsOpen())
                m_smf.Close();
        }
        SmfSession(const SmfSession&) = delete;
        SmfSession& operator=(const SmfSession&) = delete;

    private:
        TMidiSMF& m_smf;
        TMidiScore& m_score;
    };

    std::uint32_t bigEndian(const unsigned char* bytes, int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
            value = (value << 8) | bytes[i];
        return value;
    }

    /// Whether the file can be read and starts as a standard MIDI file does: an
    /// "MThd" chunk of at least six bytes with format 0, 1 or 2. Only a file that
    /// cannot be read at all is one that "cannot be opened".
    bool looksLikeStandardMidiFile(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return true;
        struct ::stat info { };
        std::array<unsigned char, 10> head {};
        const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
        const ssize_t n = regular ? ::read(fd, head.data(), head.size()) : -1;
        ::close(fd);
        if (n < 0)
            return true;
        return n == static_cast<ssize_t>(head.size()) && std::memcmp(head.data(), "MThd", 4) == 0
            && bigEndian(head.data() + 4, 4) >= 6 && bigEndian(head.data() + 8, 2) <= 2;
    }

    /// Whether a chunk of the file runs past its end: a copy or download cut
    /// short. The reader keeps what is there, so only this tells that presets
    /// the file held are missing. Only the chunk headers are read: the file
    /// was just read whole, at start-up too.
    bool cutShort(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return false;
        struct ::stat info { };
        bool cut = false;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
            const auto size = static_cast<std::uint64_t>(info.st_size);
            std::array<unsigned char, 8> head {};
            for (std::uint64_t at = 0; size - at >= head.size();) {
                if (::pread(fd, head.data(), head.size(), static_cast<off_t>(at))
                    != static_cast<ssize_t>(head.size()))
                    break;
                const std::uint64_t length = bigEndian(head.data() + 4, 4);
                if (length > size - at - head.size()) {
                    cut = true;
                    break;
                }
                at += head.size() + length;
            }
        }
        ::close(fd);
        return cut;
    }

} // namespace

FileResult PresetFiles::writeDumpFile(
    const std::filesystem::path& temp, const std::string& path, const std::string& trackName)
{
    // A buffer of our own: a paced transfer may still be reading sendBuffer.
    std::vector<MidiEvent> events(kSendBufferSize);
    const int count = encodeMaskedPresets(m_bank, variant, { true, true, false }, events);

    auto score = std::make_unique<TMidiScore>(0);
    // The toolkit's texts are fixed; the system's reason comes from errno.
    const auto withReason
        = [](std::string text) { return errno != 0 ? text + ": " + std::strerror(errno) : text; };
    errno = 0;
    try {
        SmfSession session(m_smf, *score);
        score->Add(nullptr);
        TMidiTrack* track = score->Get(0);
        if (m_smf.IsOpen())
            m_smf.Close();
        if (!m_smf.Open(temp.string(), 'w', 1))
            return FileResult::failure(path, withReason("cannot create the file"));
        m_smf.Attach(score.get());
        track->SetTrackName(trackName);
        track->IsRecording(true);
        for (int i = 0; i < count; ++i)
            track->Write(events[static_cast<std::size_t>(i)]);
        track->IsRecording(false);
        m_smf.Save(nullptr);
        m_smf.Close();
        score->Clear();
    } catch (const EMidiException& e) {
        return FileResult::failure(path, withReason(e.what()));
    }
    return FileResult::success();
}

int PresetFiles::readDumpFile(const std::string& path)
{
    m_readError.clear();
    if (!hasMidExtension(path)) {
        m_readError = path + ": the name does not end in \".MID\"";
        return -1;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > kMaxDumpFileSize) {
        // Read, it would take seconds and a gigabyte before being refused.
        m_readError = tooMuchSysEx(path, size, kMaxDumpFileSize);
        return -1;
    }
    int count = 0;
    auto score = std::make_unique<TMidiScore>(0);
    try {
        SmfSession session(m_smf, *score);
        if (!m_smf.Open(path, 'r', 1)) {
            m_readError = looksLikeStandardMidiFile(path) ? path + ": cannot open the file"
                                                          : path + " is not a standard MIDI file";
            return -1;
        }
        for (int t = 0; t < m_smf.NumTracks(); ++t)
            score->Add(nullptr);
        m_smf.Attach(score.get());
        m_smf.Load(nullptr);
        bool full = false;
        for (int t = 0; t < score->getCount() && !full; ++t) {
            TMidiTrack* track = score->Get(t);
            const int events = track->GetNumEvents();
            for (int i = 0; i < events; ++i) {
                const MidiEvent* event = track->GetEvent(i);
                if (!event || event->status != dump::kSysExStart)
                    continue;
                dumpBytes[static_cast<std::size_t>(count++)] = event->data1;
                if (count >= kDumpCapacity) {
                    full = true;
                    break;
                }
            }
        }
        m_smf.Detach(score.get());
        m_smf.Close();
        score->Clear();
        if (full) {
            m_readError = path + ": the file holds more SysEx data than 128 presets";
            return -1;
        }
    } catch (const EMidiException& e) {
        m_readError = path + ": " + e.what();
        return -1;
    }
    m_dumpLimit = count;
    m_cutShort = cutShort(path);
    lastFileBase = baseNameOf(path);
    return count;
}

} // namespace kestrow
