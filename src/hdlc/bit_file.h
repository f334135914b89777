#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pakscope {

// The value a progress callback puts into stopMarker when the user asked to stop.
inline constexpr uint32_t kStopMarker = 0x12345678;

// Progress of a bit-file conversion, shared with the caller's callback. Sizes
// are 64-bit so that files beyond 4 GB report sensible percentages.
struct ProgressRecord {
  uint64_t total = 0;       // size of the bit file in bytes
  uint64_t done = 0;        // bytes read so far
  uint32_t stopMarker = 0;  // kStopMarker when the user pressed STOP
};

using ProgressCallback = std::function<void(ProgressRecord&)>;

enum class BitFileResult {
  Done,        // the packet file was written
  OutputFull,  // written up to the output limit; the rest of the stream was left
  NoPackets,   // nothing to write (no frame passed, or less than one period): no packet file
  NotFound,    // no HDLC framing in the detection sample; no packet file exists
  Unreadable,  // the bit file could not be opened or read; nothing was written
  Unwritable,  // the packet file could not be created or written
  BadPeriod,   // the period is outside 1 .. kMaxPeriodBits; nothing was touched
};

// The loader reads no more of a packet file than this, so a conversion (of a
// stream that may never end) writes no record past it.
inline constexpr uint64_t kMaxConversionOutput = 800'000'000;

// A period's packet must fit a QPK record: at most 65,535 bytes.
inline constexpr int32_t kMaxPeriodBits = 524'280;

// How much of a bit file a conversion writes. The window stops every input at
// outputLimit, which is all its loader reads; the command-line tool streams
// the packet file, so a regular file is converted whole (its size bounds the
// work), while a stream without a size (a pipe, a device) still stops there.
enum class ConversionReach {
  LoaderLimit,
  WholeRegularFile,
};

// Bytes read per piece, and the first bytes of the file that decide on HDLC.
inline constexpr uint32_t kDepacketizePiece = 1'000'000;
inline constexpr uint32_t kDetectionSample = 100'000;

// Both conversions write under a temporary name beside the packet file and
// rename it over an older one only when complete; a conversion that finds
// nothing to write deletes the older one. `outputLimit` exists for tests.

// Looks for HDLC in the first 100,000 bytes of the bit file, in both
// polarities; when exactly one shows it, decodes the whole file in that
// polarity and writes every frame of 6 to 4096 bytes (misaligned ones with
// their extra byte, check sequences kept and not tested) as a QPK record.
// The callback runs for every frame and
// after every piece; a stop ends the work after the current piece.
BitFileResult Depacketize(const std::string& bitFileName, const std::string& packetFileName,
                          const ProgressCallback& progress,
                          uint64_t outputLimit = kMaxConversionOutput,
                          ConversionReach reach = ConversionReach::LoaderLimit);

// Cuts the bit file into packets of periodBits bits, least significant bit
// first, and writes them as QPK records of ⌈periodBits/8⌉ bytes. Bits that do
// not fill a whole period at the end are dropped; the unused high bits of the
// last byte of a packet are zero. The callback runs about every 5 % of the file.
BitFileResult Packetize(const std::string& bitFileName, const std::string& packetFileName,
                        int32_t periodBits, const ProgressCallback& progress,
                        uint64_t outputLimit = kMaxConversionOutput,
                        ConversionReach reach = ConversionReach::LoaderLimit);

// What Depacketize would make of a whole bit file in the given polarity,
// counted without writing anything.
struct FrameTally {
  uint64_t bytes = 0;    // bytes of the bit file decoded
  uint64_t frames = 0;   // frames that reached their closing flag
  uint64_t packets = 0;  // of them, those Depacketize writes: 6 to 4096 bytes
};

// Decodes the bit file to its end; nullopt when it cannot be opened or read.
std::optional<FrameTally> TallyFrames(const std::string& bitFileName, bool inverted);

// The first `count` bytes of a bit file (fewer when it is shorter), read as the
// conversions read it: a named pipe without a writer gives no bytes instead of
// waiting. nullopt when the file cannot be opened or read.
std::optional<std::vector<uint8_t>> ReadBitFileStart(const std::string& bitFileName, size_t count);

}  // namespace pakscope
