#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hdlc/bit_file.h"
#include "packets/host.h"
#include "packets/packet.h"
#include "packets/packet_reader.h"

namespace pakscope {

// Opens a packet file directly and a bit file (.bit, .bin, or any other
// extension the user confirms) by converting it first into the QPK file
// fileName + ".qpk": by HDLC depacketization or, when no HDLC is found and the
// user agrees, by packetization with a period the user types. Returns the
// longest packet length, 0 when nothing was loaded. `details`, when given,
// receives what the loader learnt about the packet file it read.
uint32_t OpenAnyFile(const std::string& fileName, PacketList& list, CHost& host,
                     LoadDetails* details = nullptr);

// Treats any file as a bit file cut by a period the user types.
uint32_t OpenWithPacketization(const std::string& fileName, PacketList& list, CHost& host,
                               LoadDetails* details = nullptr);

// How the open flow converts a bit file.
struct ConversionOptions {
  ConversionReach reach = ConversionReach::LoaderLimit;
  uint64_t outputLimit = kMaxConversionOutput;  // lowered by tests
};

// The first half of OpenAnyFile (with `packetize`, of OpenWithPacketization):
// the questions, the conversion and what is said of its outcome. Returns the
// packet file to read (fileName itself for a packet file), nullopt when there
// is nothing to read.
std::optional<std::string> ConvertForOpen(const std::string& fileName, CHost& host, bool packetize,
                                          const ConversionOptions& options = {});

// The progress callback of the conversions: stop request in, gauge and events out.
void progressCallback(ProgressRecord& record, CHost& host);

// A period answer as a number of bits: a decimal integer from 1 to
// kMaxPeriodBits, blanks around it allowed; nullopt otherwise.
std::optional<int32_t> ParsePeriod(std::string_view text);

// What is said of an answer that ParsePeriod refuses.
inline constexpr std::string_view kBadPeriodText =
    "Период должен быть целым числом от 1 до 524280 бит.";

}  // namespace pakscope
