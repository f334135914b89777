#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocols/decoded_program.h"
#include "protocols/protocol_tables.h"

namespace pakscope {

// Which protocols can possibly accept a header below a given outer protocol.
// A program whose own score cannot reach 75 on any path, whatever the packet
// bytes and values, rejects without changing anything (every instruction with
// an effect waits for that score), so it need not run. Most descriptions begin
// with a МАМА condition, which the outer protocol's name decides, and running
// only the others is what makes a layer cheap when the history guess misses.
class TCandidateFilter {
 public:
  // With `analyse` false every protocol stays a candidate everywhere.
  static TCandidateFilter From(const DecodedPrograms& programs, const ProtocolTables& tables,
                               bool analyse = true);

  // Which outer names to ask for: the first layer's, and that of a protocol.
  uint32_t firstLayer() const noexcept { return firstLayer_; }
  uint32_t outerOf(uint16_t protocol) const noexcept {
    return protocol < nameOf_.size() ? nameOf_[protocol] : firstLayer_;
  }
  bool mayAccept(uint32_t outer, uint16_t protocol) const noexcept {
    if (!enabled_) return true;
    const size_t bit = size_t{outer} * stride_ + protocol;
    return (bits_[bit / 64] >> (bit % 64) & 1) != 0;
  }
  // The described protocols that may accept below `outer`, in load order;
  // every described protocol when the filter is off.
  std::span<const uint16_t> candidates(uint32_t outer) const noexcept {
    if (!enabled_) return all_;
    return std::span(lists_).subspan(listStart_[outer], listStart_[outer + 1] - listStart_[outer]);
  }

 private:
  bool enabled_ = false;
  uint32_t firstLayer_ = 0;
  size_t stride_ = 0;
  std::vector<uint32_t> nameOf_;  // per protocol, the id of its name
  std::vector<uint64_t> bits_;    // per outer name id, a bit per protocol
  std::vector<uint16_t> lists_;
  std::vector<uint32_t> listStart_;
  std::vector<uint16_t> all_;
};

}  // namespace pakscope
