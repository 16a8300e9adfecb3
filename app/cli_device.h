#pragma once

#include <span>

namespace kestrow::cli {

// kestrow-cli's device commands, over the editor's own protocol and pacing.
// Each returns the exit code or throws Failure.

/// `ports`: every output and input port name, one a line.
int listPorts(std::span<char* const> rest);
/// `backup --port NAME OUT.MID [--dial]`: all presets into a preset file.
int backupDevice(std::span<char* const> rest);
/// `send FILE.MID --port NAME [--delay MS] [--presets LIST] [--verify]`.
int sendToDevice(std::span<char* const> rest);
/// `verify FILE.MID --port NAME [--presets LIST]`.
int verifyDevice(std::span<char* const> rest);

} // namespace kestrow::cli
