#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

// A missing peer tool (libpcap, editcap, tshark) skips the comparison with its
// note on a developer's machine; where the run promises every peer
// (PAKSCOPE_REQUIRE_PEERS, set by the CI script) it fails the test instead.
#define PAKSCOPE_SKIP_WITHOUT_PEER(note)                           \
  do {                                                             \
    const char* required = std::getenv("PAKSCOPE_REQUIRE_PEERS");  \
    if (required != nullptr && std::string_view(required) != "" && \
        std::string_view(required) != "0")                         \
      GTEST_FAIL() << "required: " << note;                        \
    GTEST_SKIP() << note;                                          \
  } while (0)
