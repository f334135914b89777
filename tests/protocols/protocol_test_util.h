#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packets/packet.h"
#include "protocols/cp1251.h"
#include "protocols/description_compiler.h"
#include "protocols/fcs.h"
#include "protocols/pr_analizer.h"
#include "support/recording_host.h"

namespace pakscope::test {

// A description file's bytes from UTF-8 text: Windows-1251 with CRLF line ends.
inline std::vector<uint8_t> DescriptionBytes(std::string_view utf8) {
  std::string text;
  for (char c : Cp1251FromUtf8(utf8)) {
    if (c == '\n') text += '\r';
    text += c;
  }
  return {text.begin(), text.end()};
}

// Compiles the descriptions in order and appends the built-in protocols, as a
// load from a folder would.
inline ProtocolTables CompileAll(std::span<const std::string_view> descriptions,
                                 RecordingHost& host) {
  ProtocolTables tables;
  uint32_t unnamed = 1;
  int n = 0;
  for (std::string_view d : descriptions)
    CompileDescription(DescriptionBytes(d), "T" + std::to_string(n++) + ".CFG", tables, unnamed,
                       host);
  if (tables.count() > 0) AppendBuiltInProtocols(tables);
  return tables;
}

inline ProtocolTables CompileAll(std::initializer_list<std::string_view> descriptions,
                                 RecordingHost& host) {
  return CompileAll(std::span(descriptions.begin(), descriptions.size()), host);
}

inline TPrAnalizer MakeAnalyser(std::span<const std::string_view> descriptions) {
  RecordingHost host;
  return TPrAnalizer(CompileAll(descriptions, host));
}

inline TPrAnalizer MakeAnalyser(std::initializer_list<std::string_view> descriptions) {
  return MakeAnalyser(std::span(descriptions.begin(), descriptions.size()));
}

// The bytes with their FCS-16 appended, as a sound frame ends.
inline std::vector<uint8_t> WithFcs16(std::vector<uint8_t> bytes) {
  const uint16_t fcs = ComputeFcs16(bytes);
  bytes.push_back(static_cast<uint8_t>(fcs));
  bytes.push_back(static_cast<uint8_t>(fcs >> 8));
  return bytes;
}

inline PACKET Packet(std::initializer_list<int> bytes) {
  std::vector<uint8_t> v;
  for (int b : bytes) v.push_back(static_cast<uint8_t>(b));
  return PACKET(v);
}

inline PACKET Packet(const std::vector<uint8_t>& bytes) {
  return PACKET(bytes);
}

// Layers as "name@offset+length" joined by blanks.
inline std::string LayerText(const TPrAnalizer& a, const PACKET& p) {
  std::string s;
  for (const TPacketProtInfo& l : p.layers()) {
    if (!s.empty()) s += ' ';
    s += a.protocolName(l.protocol) + "@" + std::to_string(l.offset) + "+" +
         std::to_string(l.headerLength);
  }
  return s;
}

// The tree table as "depth:name:count" joined by blanks.
inline std::string TreeText(const TPrAnalizer& a) {
  std::string s;
  for (const TProtocolNode& n : a.tree()) {
    if (!s.empty()) s += ' ';
    s += std::to_string(n.depth) + ":" + a.protocolName(n.protocol) + ":" + std::to_string(n.count);
  }
  return s;
}

}  // namespace pakscope::test
