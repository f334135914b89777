#pragma once

#include <cstddef>

namespace pakscope {

// Runs body(context) so that a bus error or segmentation fault raised by a read
// inside [begin, begin + length) ends the body instead of the program: on Linux,
// reading a mapped page of a file that another process has truncated raises
// SIGBUS. Returns false when the body was ended that way. Faults elsewhere go
// to whatever handler was installed before.
//
// The body must not keep objects with non-trivial destructors alive across a
// read of the guarded range: an interrupted body is left by a long jump.
bool RunWithFaultGuard(const void* begin, size_t length, void (*body)(void*), void* context);

}  // namespace pakscope
