#pragma once

#include <string>
#include <string_view>

namespace pakscope {

// Descriptions are Windows-1251 text while the rest of the program speaks UTF-8;
// these convert between the two. Bytes with no character (0x98) become U+FFFD,
// and characters outside the code page become "?".
std::string Utf8FromCp1251(std::string_view text);
std::string Cp1251FromUtf8(std::string_view text);

}  // namespace pakscope
