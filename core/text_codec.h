#pragma once

#include <string>
#include <string_view>

namespace kestrow {

/// Windows-1252 bytes to UTF-8, a whole text at once. Every byte value maps to
/// one character (the five undefined bytes map to the C1 controls of the same
/// value).
std::string cp1252ToUtf8(std::string_view bytes);

/// UTF-8 to Windows-1252; a character the code page cannot hold becomes '?',
/// as does a malformed UTF-8 sequence.
std::string utf8ToCp1252(std::string_view utf8);

/// Windows-1252 text in lower case: A-Z, the accented capitals and the
/// capitals at 8A, 8C, 8E and 9F take their small forms; other bytes stay.
std::string lowerCase1252(std::string_view bytes);

} // namespace kestrow
