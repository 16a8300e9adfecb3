#pragma once

#include "platform/mididrv/mididrv.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kestrow {

/// The driver library's functions, resolved by name, in table order.
#define KESTROW_MIDIDRV_FUNCTIONS(X)                                                               \
    X(GetDriverVersion)                                                                            \
    X(GetNumOutDevices)                                                                            \
    X(GetMidiOutDescription)                                                                       \
    X(OpenMidiOut)                                                                                 \
    X(ResetMidiOut)                                                                                \
    X(FlushMidiOut)                                                                                \
    X(CloseMidiOut)                                                                                \
    X(PutMidiOut)                                                                                  \
    X(GetNumInDevices)                                                                             \
    X(GetMidiInDescription)                                                                        \
    X(OpenMidiIn)                                                                                  \
    X(StartMidiIn)                                                                                 \
    X(StopMidiIn)                                                                                  \
    X(CloseMidiIn)                                                                                 \
    X(GetMidiIn)                                                                                   \
    X(OpenSync)                                                                                    \
    X(CloseSync)                                                                                   \
    X(StopSync)                                                                                    \
    X(StartSync)                                                                                   \
    X(PauseSync)                                                                                   \
    X(ReStartSync)                                                                                 \
    X(SetTempo)                                                                                    \
    X(SetResolution)                                                                               \
    X(GetTempo)                                                                                    \
    X(GetResolution)                                                                               \
    X(GetPosition)                                                                                 \
    X(OpenSMF)                                                                                     \
    X(CloseSMF)                                                                                    \
    X(RewindSMF)                                                                                   \
    X(ReadSMF)                                                                                     \
    X(WriteSMF)                                                                                    \
    X(GetSMFResolution)                                                                            \
    X(SetSMFResolution)                                                                            \
    X(ReadMetaEvent)                                                                               \
    X(WriteMetaEvent)

/// Functions a library may lack (an older one): null then, and the
/// toolkit does without.
#define KESTROW_MIDIDRV_OPTIONAL_FUNCTIONS(X)                                                      \
    X(GetPortChangeFd)                                                                             \
    X(GetPortChangeCount)                                                                          \
    X(GetMidiOutName)                                                                              \
    X(GetMidiInName)                                                                               \
    X(GetMidiSystemStatus)

struct MidiDriverApi {
#define KESTROW_MIDIDRV_POINTER(name) decltype(&::name) name = nullptr;
    KESTROW_MIDIDRV_FUNCTIONS(KESTROW_MIDIDRV_POINTER)
    KESTROW_MIDIDRV_OPTIONAL_FUNCTIONS(KESTROW_MIDIDRV_POINTER)
#undef KESTROW_MIDIDRV_POINTER
};

/// Binds libmididrv.so at run time. Every port, file and sync object uses
/// the functions through one of these; it must outlive them.
class TMidiDriver {
public:
    /// Loads the library: libraryPath when given, else $KESTROW_MIDIDRV,
    /// else libmididrv.so next to the executable, else the library path.
    /// Raises "Load of libmididrv.so failed" or "Failed to loadproc:" with
    /// the missing name; after a failure nothing stays loaded.
    explicit TMidiDriver(const std::string& libraryPath = {});
    /// Only the standard MIDI file functions, built into the program: files
    /// read and written as the library does, with no library loaded and no
    /// MIDI system started. Ports and sync are not there (null functions).
    static std::unique_ptr<TMidiDriver> filesOnly();
    /// The file a load with that libraryPath would try: libraryPath, else
    /// $KESTROW_MIDIDRV, else the one beside the executable, else the bare
    /// name for the library path.
    static std::string libraryToLoad(const std::string& libraryPath = {});
    /// Whether that file is there (a bare name is looked for only by the
    /// load itself, so it counts as there).
    static bool libraryPresent(const std::string& libraryPath = {});
    /// Frees the library; a failure is written to stderr, since a throwing
    /// destructor would end the program (call Unload to see it raised).
    ~TMidiDriver();
    TMidiDriver(const TMidiDriver&) = delete;
    TMidiDriver& operator=(const TMidiDriver&) = delete;

    /// Frees the library now; raises "FreeLibrary failed". Afterwards the
    /// functions are gone: only destroy the object.
    void Unload();

    std::uint16_t GetDriverVersion() const { return m_version; }
    const MidiDriverApi& api() const { return m_api; }
    /// The file that was loaded.
    const std::string& libraryPath() const { return m_path; }

private:
    struct FilesOnly { };
    explicit TMidiDriver(FilesOnly) { }

    void* m_library = nullptr;
    MidiDriverApi m_api;
    std::uint16_t m_version = 0;
    std::string m_path;
};

} // namespace kestrow
