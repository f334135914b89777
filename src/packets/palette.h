#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pakscope {

struct PaletteColour {
  uint8_t r, g, b;
  std::string_view button;  // name of the packet window's colour button
};

// The colour marks a packet can carry; index 0 (white) means "not marked".
inline constexpr std::array<PaletteColour, 10> kPalette{{
    {255, 255, 255, "ColorWhite"},
    {255, 0, 0, "ColorRed"},
    {255, 255, 0, "ColorYellow"},
    {0, 255, 0, "ColorLime"},
    {0, 128, 0, "ColorGreen"},
    {0, 0, 255, "ColorBlue"},
    {0, 255, 255, "ColorLightBlue"},
    {128, 0, 128, "ColorViolet"},
    {192, 192, 192, "ColorLightGray"},
    {128, 128, 128, "ColorGray"},
}};

inline constexpr uint8_t kPaletteSize = 10;

}  // namespace pakscope
