#pragma once

#include <string>
#include <vector>

namespace kestrow {

/// The window texts of device work: captions and warning boxes.
inline constexpr char kSendingPresetCaption[] = "Sending Preset:";
inline constexpr char kGettingPresetCaption[] = "Getting Preset:";
inline constexpr char kPortWarningTitle[] = "Warning !!!";
inline constexpr char kConfigureWarningTitle[] = "Warning";
inline constexpr char kConfigureWarningText[]
    = "You are going to change some internal zembraC settings\n"
      "The master channel can be reconfigured on the zembraC itself (see the manual)\n"
      "The Thru settings can only be changed in the editor !";

/// The warning of a command whose ports are not chosen, by its code (1
/// output, 2 input, 3 both; 0 none).
inline constexpr const char* kPortWarnings[] = {
    "",
    "You need to select the \"PC -> zembraControl\" port corresponding to your zembraDevice in "
    "the "
    "Device Settings Menu.",
    "You need to select the \"zembraControl -> PC\" port corresponding to your zembraDevice in "
    "the "
    "Device Settings Menu.",
    "You need to select the MidiIn/Out ports corresponding to your zembraDevice in the Device "
    "Settings Menu.",
};

/// What the main window's status line says about the device: progress,
/// completion and why a transfer or request came to nothing. Each text
/// names the port or the request it is about.
namespace status {

    inline constexpr char kNoOutputPort[] = "No output port: choose one in Device Settings";
    inline constexpr char kSent[] = "Sent";
    inline constexpr char kReceived[] = "Received";

    /// "Sending preset 37 of 128": preset `sent` (1-based) of `total` is going out.
    std::string sending(int sent, int total);
    /// A transfer given up at preset `sent` of `total`, and why.
    std::string transferStopped(int sent, int total, const std::string& reason);
    /// The request(s) `what` ("preset 6", "version", ...) got no reply
    /// within `waitedMs` milliseconds.
    std::string noReply(const std::vector<std::string>& what, int waitedMs);
    /// The ports `names` (quoted by this function) are no longer there.
    std::string portsGone(const std::vector<std::string>& names);
    /// The verify after a send could not start, and why.
    std::string noVerifyAfterSend(const std::string& reason);
    /// The ports `names` (quoted by this function) are there again and bound anew.
    std::string portsBack(const std::vector<std::string>& names);

} // namespace status

} // namespace kestrow
