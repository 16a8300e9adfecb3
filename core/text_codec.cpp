#include "text_codec.h"
namespace kestrow {
std::string cp1252ToUtf8(std::string_view bytes) { return std::string(bytes); }
std::string utf8ToCp1252(std::string_view utf8) { return std::string(utf8); }
} // namespace kestrow
