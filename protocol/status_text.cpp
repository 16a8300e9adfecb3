#include "protocol/status_text.h"

namespace kestrow::status {

namespace {

    std::string joined(const std::vector<std::string>& parts, const char* separator)
    {
        std::string out;
        for (const std::string& part : parts) {
            if (!out.empty())
                out += separator;
            out += part;
        }
        return out;
    }

    /// Milliseconds as seconds with one decimal: 1200 gives "1.2".
    std::string seconds(int milliseconds)
    {
        const int tenths = (milliseconds + 50) / 100;
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    }

} // namespace

std::string sending(int sent, int total)
{
    return "Sending preset " + std::to_string(sent) + " of " + std::to_string(total);
}

std::string transferStopped(int sent, int total, const std::string& reason)
{
    return "Sending stopped at preset " + std::to_string(sent) + " of " + std::to_string(total)
        + ": " + reason;
}

std::string noReply(const std::vector<std::string>& what, int waitedMs)
{
    return "No reply from the device within " + seconds(waitedMs) + " s (asked for "
        + joined(what, ", ")
        + "): check that the input port is the device's and that its cable is in";
}

namespace {

    std::string quotedNames(const std::vector<std::string>& names)
    {
        std::vector<std::string> quoted;
        for (const std::string& name : names)
            quoted.push_back("\"" + name + "\"");
        return joined(quoted, " and ");
    }

} // namespace

std::string portsGone(const std::vector<std::string>& names)
{
    return quotedNames(names)
        + (names.size() == 1 ? " has gone: the device was unplugged, switched off or closed"
                             : " have gone: the device was unplugged, switched off or closed");
}

std::string noVerifyAfterSend(const std::string& reason)
{
    return "No verify after the send: " + reason;
}

std::string portsBack(const std::vector<std::string>& names)
{
    return quotedNames(names) + (names.size() == 1 ? " is back" : " are back");
}

} // namespace kestrow::status
