// Pasted clipboard text: refused as a whole for a foreign character, or packets
// whose bytes are made of the text's hex digits (a pair, or a digit alone).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "packets/text_paste.h"

using namespace pakscope;

namespace {

bool hexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto list = ParsePastedHex(text);
  size_t digits = 0;
  bool foreign = false;
  for (char c : text) {
    if (hexDigit(c))
      ++digits;
    else if (c != ' ' && c != '\r' && c != '\n')
      foreign = true;
  }
  if (foreign != !list.has_value()) std::abort();  // refused exactly for foreign characters
  if (!list) return 0;
  // Every packet byte takes one or two digits of the text; none is made up, a
  // final lone digit is the only one left out, and no packet is empty.
  size_t bytes = 0;
  for (const PACKET& p : *list) {
    if (p.length == 0) std::abort();
    bytes += p.length;
  }
  if (bytes > digits || digits > 2 * bytes + 1) std::abort();
  return 0;
}
