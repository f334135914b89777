#pragma once

#include <string>

namespace pakscope {

// The temporary files being written right now, so that a program ended by a
// signal can remove them instead of leaving hidden half-written files behind.
// Registering and removing are safe from several threads; RemoveTemporaryFiles
// is also safe inside a signal handler.
namespace temp_files {

// Returns the slot to give back to Forget; -1 when the registry is full (the
// file is then simply not removed on a signal) or the path too long.
int Remember(const std::string& path) noexcept;
void Forget(int slot) noexcept;

// Unlinks every remembered file. Async-signal-safe.
void RemoveAll() noexcept;

}  // namespace temp_files
}  // namespace pakscope
