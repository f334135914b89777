#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "packets/host.h"
#include "packets/mapped_file.h"
#include "packets/packet.h"
#include "packets/record_parser.h"

namespace pakscope {

// Limits of the reader, replaceable so that tests can reach the size cap and
// the retry path without files of hundreds of megabytes.
struct ReaderOptions {
  uint64_t sizeCap = 800'000'000;   // at most this much of a file is read
  uint64_t stepDown = 100'000'000;  // view reduction per retry when mapping fails
  MapFunction map = MapReadOnly;
};

enum class PacketFormat { None, Qpk, Lqpk, Pcap, Pcapng };

// What a load learnt about the file besides its packets.
struct LoadDetails {
  PacketFormat format = PacketFormat::None;
  bool bigEndian = false;           // libpcap: headers in big-endian order
  bool nanoseconds = false;         // libpcap: nanosecond time stamps
  uint32_t interfaces = 0;          // pcapng: interfaces described, all sections
  std::vector<uint32_t> linkTypes;  // distinct, in order of appearance
  bool fileShrank = false;          // the file was cut while it was read
};

// Status panel 1 after a load during which the file was cut short.
inline constexpr std::string_view kFileChangedText =
    "Файл изменился во время загрузки: пакеты за его новым концом отброшены";

// The last line of the message about a file over the size cap: the
// command-line tool has no cap.
inline constexpr std::string_view kWholeFileHint =
    "pakscope-cli обрабатывает файл целиком: например, «pakscope-cli select» отберёт из него "
    "нужные пакеты.";

// Reads a QPK, LQPK, libpcap or pcapng file into `list` (passed empty), with
// the main window's gauge, STOP button and status texts. Returns the longest
// packet length, 0 when nothing usable was read (the list is then empty or
// holds only empty packets).
uint32_t OpenPacketFile(const std::string& fileName, PacketList& list, CHost& host,
                        const ReaderOptions& options = {}, LoadDetails* details = nullptr);

// The same without progress display, STOP or status texts: the loader of the
// append command. Messages still go to the host.
uint32_t AppendLoad(const std::string& fileName, PacketList& list, CHost& host,
                    const ReaderOptions& options = {}, LoadDetails* details = nullptr);

// Checks the header of a libpcap or pcapng file at the start of `head` as a
// load does (same messages): sets the walk's kind (Pcap or Pcapng) and start
// and what the header tells. False when the file holds no records to walk.
bool StartCaptureWalk(std::span<const uint8_t> head, PacketFileKind named, CHost& host,
                      PacketFileKind& kind, RecordCursor& cursor, LoadDetails& details);

// "Формат: pcapng, интерфейсов: 2, тип данных: ETHERNET, PPP": link types by
// the chooser's names, by number where it has none.
std::string DescribeFormat(const LoadDetails& details);

// "Время загрузки 3725,50сек (12 МБ)": the load-time text of status panel 1.
// The decimal separator is the user locale's unless one is given.
std::string FormatLoadTime(double seconds, uint64_t bytesConsumed, char decimalSeparator = 0);

}  // namespace pakscope
