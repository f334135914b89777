#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pakscope {

struct LinkType {
  std::string_view caption;
  uint32_t number;
};

inline constexpr size_t kLinkTypeCount = 76;

// The link types offered when a list is saved as a libpcap file, in the order
// of the chooser's list.
extern const std::array<LinkType, kLinkTypeCount> kLinkTypes;

// Link-type number of the entry at `position`; 0 outside 0..75.
uint32_t LinkTypeNumber(int position);

// The caption of the first entry with this number; the number in decimal when
// the table has none.
std::string LinkTypeName(uint32_t number);

// Position of the entry with this caption (compared without regard to case).
std::optional<int> LinkTypePosition(std::string_view caption);

}  // namespace pakscope
