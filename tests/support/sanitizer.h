#pragma once

namespace pakscope::test {

// AddressSanitizer reserves terabytes of address space and ends the process on
// a failed allocation instead of throwing: tests of a lowered RLIMIT_AS and of
// real allocation failures can only run without it.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

inline constexpr const char* kNoRlimitUnderSanitizer =
    "built with AddressSanitizer: RLIMIT_AS cannot be lowered and a failed allocation ends the "
    "process, so the refusal path is tested with an injected budget instead";

}  // namespace pakscope::test
