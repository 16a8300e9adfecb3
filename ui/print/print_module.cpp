#include "ui/print/print_module.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace kestrow {

namespace {

    constexpr const char* kModuleName = "libkestrow-print.so";

    /// Found as the driver library is: the links in bin/ lead to the program
    /// beside it.
    std::string modulePath()
    {
        if (const char* env = std::getenv("KESTROW_PRINT_MODULE"); env && *env)
            return env;
        std::error_code ec;
        const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) {
            const auto candidate = exe.parent_path() / kModuleName;
            if (std::filesystem::exists(candidate, ec))
                return candidate.string();
        }
        return kModuleName;
    }

} // namespace

std::unique_ptr<PrinterSession> createPrinterSession(QString& failure)
{
    const std::string path = modulePath();
    // Never closed: the sessions it makes live until the program ends.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = ::dlerror();
        failure = QString::fromLocal8Bit(reason ? reason : path.c_str());
        return nullptr;
    }
    const auto create = reinterpret_cast<CreatePrinterSessionFunction>(
        ::dlsym(module, kCreatePrinterSessionName));
    if (!create) {
        ::dlclose(module);
        failure = QStringLiteral("%1 has no function %2")
                      .arg(QString::fromStdString(path), QLatin1String(kCreatePrinterSessionName));
        return nullptr;
    }
    return std::unique_ptr<PrinterSession>(create());
}

} // namespace kestrow
