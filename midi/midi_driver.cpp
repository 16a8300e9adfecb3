#include "midi/midi_driver.h"

#include "midi/midi_exception.h"
#include "platform/mididrv/smf_files.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <iostream>

namespace kestrow {

namespace {

    constexpr const char* kLibraryName = "libmididrv.so";

    std::string besideExecutable()
    {
        std::error_code ec;
        auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (ec)
            return {};
        auto candidate = exe.parent_path() / kLibraryName;
        return std::filesystem::exists(candidate, ec) ? candidate.string() : std::string();
    }

} // namespace

std::string TMidiDriver::libraryToLoad(const std::string& libraryPath)
{
    std::string path = libraryPath;
    if (path.empty()) {
        if (const char* env = std::getenv("KESTROW_MIDIDRV"); env && *env)
            path = env;
    }
    if (path.empty())
        path = besideExecutable();
    if (path.empty())
        path = kLibraryName;
    return path;
}

bool TMidiDriver::libraryPresent(const std::string& libraryPath)
{
    const std::string path = libraryToLoad(libraryPath);
    std::error_code ec;
    return path == kLibraryName || std::filesystem::exists(path, ec);
}

std::unique_ptr<TMidiDriver> TMidiDriver::filesOnly()
{
    std::unique_ptr<TMidiDriver> driver(new TMidiDriver(FilesOnly {}));
    MidiDriverApi& api = driver->m_api;
    api.OpenSMF = &mididrv::openSmf;
    api.CloseSMF = &mididrv::closeSmf;
    api.RewindSMF = &mididrv::rewindSmf;
    api.ReadSMF = &mididrv::readSmf;
    api.WriteSMF = &mididrv::writeSmf;
    api.GetSMFResolution = &mididrv::getSmfResolution;
    api.SetSMFResolution = &mididrv::setSmfResolution;
    api.ReadMetaEvent = &mididrv::readMeta;
    api.WriteMetaEvent = &mididrv::writeMeta;
    driver->m_path = "(built in)";
    return driver;
}

TMidiDriver::TMidiDriver(const std::string& libraryPath)
{
    const std::string path = libraryToLoad(libraryPath);
    // Lazy for the libraries it pulls in (RtMidi, JACK, ALSA: binding all
    // of them up front costs start-up time); the library itself is linked
    // with -z now, so a symbol it lacks still fails this load, not a call.
    m_library = ::dlopen(path.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!m_library)
        throw EMidiException("Load of libmididrv.so failed");
    m_path = path;
    const char* missing = nullptr;
#define KESTROW_MIDIDRV_RESOLVE(name)                                                              \
    if (!missing) {                                                                                \
        m_api.name = reinterpret_cast<decltype(m_api.name)>(::dlsym(m_library, #name));            \
        if (!m_api.name)                                                                           \
            missing = #name;                                                                       \
    }
    KESTROW_MIDIDRV_FUNCTIONS(KESTROW_MIDIDRV_RESOLVE)
#undef KESTROW_MIDIDRV_RESOLVE
    if (missing) {
        ::dlclose(m_library);
        m_library = nullptr;
        throw EMidiException(std::string("Failed to loadproc:") + missing);
    }
#define KESTROW_MIDIDRV_RESOLVE_OPTIONAL(name)                                                     \
    m_api.name = reinterpret_cast<decltype(m_api.name)>(::dlsym(m_library, #name));
    KESTROW_MIDIDRV_OPTIONAL_FUNCTIONS(KESTROW_MIDIDRV_RESOLVE_OPTIONAL)
#undef KESTROW_MIDIDRV_RESOLVE_OPTIONAL
    m_version = m_api.GetDriverVersion();
}

TMidiDriver::~TMidiDriver()
{
    try {
        Unload();
    } catch (const EMidiException& e) {
        std::cerr << "kestrow: " << e.what() << '\n';
    }
}

void TMidiDriver::Unload()
{
    if (!m_library)
        return;
    void* library = m_library;
    m_library = nullptr;
    m_api = {};
    if (::dlclose(library) != 0)
        throw EMidiException("FreeLibrary failed");
}

} // namespace kestrow
