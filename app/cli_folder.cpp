#include "app/cli_folder.h"

#include "app/cli_args.h"
#include "editor/instance_lock.h"
#include "storage/set_writer.h"

#include <csignal>
#include <filesystem>
#include <iostream>

namespace kestrow::cli {

void prepareFolderOf(const std::string& path, bool writing)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::absolute(path, error).parent_path();
    if (error || !fs::is_directory(folder, error))
        return; // the command reports the missing folder with its own words
    if (InstanceLock::heldByEditor(folder.string() + "/")) {
        if (writing)
            throw Failure { path
                + ": Kestrow Editor is running with this folder as its autosave folder and "
                  "would replace the file when it closes; close the editor, or write to "
                  "another folder" };
        return;
    }
    const SaveRecovery recovered = recoverInterruptedSaves(folder);
    for (const FileResult& problem : recovered.problems)
        std::cerr << problem.file << ": " << problem.reason << "\n";
    // A single file's temporaries (an export cut short): "." + name + six characters.
    const std::string prefix = "." + fs::path(path).filename().string() + ".";
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code ignored; // one that stays is tried again by the next command
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix))
            fs::remove(it->path(), ignored);
    }
}

void ignoreWriteSignals()
{
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN); // libjack writes to a dead server's socket
}

} // namespace kestrow::cli
