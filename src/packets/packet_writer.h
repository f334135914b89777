#pragma once

#include <cstdint>
#include <string>

#include "packets/byte_sink.h"
#include "packets/host.h"
#include "packets/packet.h"
#include "packets/packet_encoder.h"

namespace pakscope {

inline constexpr uint32_t kQpkMaxLength = 65535;
// Other capture tools refuse libpcap and pcapng packets longer than this.
inline constexpr uint32_t kCaptureToolsMaxLength = 262144;

// Writes `list` as QPK, LQPK, libpcap (with `linkType` in the header), pcapng
// (`linkType` for the packets that carry none) or
// hexadecimal text. Returns false when the file could not be created or
// completely written (the target is then left as it was), and when a QPK save
// holds a packet longer than 65,535 bytes (nothing is written).
bool SavePacketFile(const PacketList& list, const std::string& fileName, SaveFormat format,
                    uint32_t linkType = 0);

// Writes the bytes of all packets one after another (BIT).
bool SaveHeaderless(const PacketList& list, const std::string& fileName);

// The encoders behind the writers, for any output (stdout included).
void WritePackets(const PacketList& list, SaveFormat format, uint32_t linkType, ByteSink& sink);
void WriteHeaderless(const PacketList& list, ByteSink& sink);

// True when every packet fits a QPK record.
bool FitsQpk(const PacketList& list);
// True when no packet is longer than other capture tools accept.
bool FitsCaptureTools(const PacketList& list);

// What the user is told before a libpcap or pcapng save of packets that other
// capture tools refuse.
std::string LongCaptureText(SaveFormat format);

// The refusal of a QPK save of packets longer than 65,535 bytes ("Ограничение").
void ReportQpkLimit(CHost& host);
// The error box of a save that could not write `fileName` ("Ошибка").
void ReportWriteFailure(const std::string& fileName, CHost& host);

enum class LongCaptures { Ask, Write };

// The save the user asked for, with its messages: refuses a QPK save of long
// packets ("Ограничение"), asks before a libpcap or pcapng save of packets
// other tools refuse (unless told to write them), writes, and reports a
// failed write ("Ошибка"). `format` 0 means BIT. Returns true when the file
// was written.
bool SaveWithMessages(const PacketList& list, const std::string& fileName, int format,
                      uint32_t linkType, CHost& host,
                      LongCaptures longCaptures = LongCaptures::Ask);

}  // namespace pakscope
