#pragma once

// The folders kestrow-cli reads and writes preset files in.

#include <string>

namespace kestrow::cli {

/// Before a command uses the file at `path`: the temporaries and interrupted
/// saves an earlier command left in its folder are put right. With `writing`
/// a folder that a running editor holds is refused (a Failure), since the
/// editor's close would replace what is written there; a folder it holds is
/// otherwise left to it.
void prepareFolderOf(const std::string& path, bool writing);

/// Ignores SIGXFSZ and SIGPIPE, so that a file-size limit, a closed pipe or a
/// JACK server that died under a transfer fail the write (reported with the
/// reason) instead of ending the program.
void ignoreWriteSignals();

} // namespace kestrow::cli
