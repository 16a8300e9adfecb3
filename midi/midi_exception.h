#pragma once

#include <stdexcept>
#include <string>

namespace kestrow {

/// Every failure of the MIDI toolkit, with its fixed text ("midiOut not
/// open", "SMF cant read", ...): callers and users rely on those words.
class EMidiException : public std::runtime_error {
public:
    explicit EMidiException(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace kestrow
