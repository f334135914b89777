#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace pakscope::test {

// True where the run promises every peer tool (libpcap, editcap, tshark): the
// CI script sets PAKSCOPE_REQUIRE_PEERS, and there a missing one is a fault of
// the set-up, not a reason to skip the comparison.
inline bool PeersRequired() {
  const char* value = std::getenv("PAKSCOPE_REQUIRE_PEERS");
  return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

}  // namespace pakscope::test

// Skips the test with its note on a developer's machine; fails it in CI.
#define PAKSCOPE_SKIP_WITHOUT_PEER(note)                                         \
  do {                                                                           \
    if (::pakscope::test::PeersRequired()) GTEST_FAIL() << "required: " << note; \
    GTEST_SKIP() << note;                                                        \
  } while (0)
