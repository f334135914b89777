#pragma once

#include <string>
#include <string_view>

namespace pakscope {

// Descriptions are Windows-1251 text while the rest of the program speaks UTF-8;
// these convert between the two. Bytes with no character (0x98) become U+FFFD,
// and characters outside the code page become "?".
std::string Utf8FromCp1251(std::string_view text);
std::string Cp1251FromUtf8(std::string_view text);

// The first character of the UTF-8 text that Windows-1251 cannot hold (as its
// UTF-8 bytes, or the one malformed byte); empty when every character converts.
// Text typed by a user is checked with it, so that nothing turns into "?".
std::string_view FirstUnconvertible(std::string_view text);
// A character FirstUnconvertible found, for a message: "«é» (U+00E9)", or
// "0xC3" for a byte that starts no character.
std::string NameOfCharacter(std::string_view character);

}  // namespace pakscope
