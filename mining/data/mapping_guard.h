#pragma once

#include <cstddef>

namespace mining {

// Keeps a reader alive when a file it has mapped is cut short by another process: reading a
// mapped page that lies beyond the file's new end raises SIGBUS, which would kill the process.
// While a mapping is guarded, a handler (installed on first use, on every thread) maps zero pages
// over the mapping from the faulting page to its end and marks the mapping, so the read goes on
// over zeros and the reader can say afterwards that the file changed. A SIGBUS at any other
// address goes to the handler that was there before, or kills the process as it would have.

// The most mappings guarded at once; a further one is left unguarded.
inline constexpr int kGuardedMappings = 16;

// Guards the mapping of `size` bytes at `begin` (as mmap returned it). Returns the guard's slot,
// or -1 when every slot is taken or the handler could not be installed (the mapping is then
// unguarded).
int guardMapping(const void* begin, std::size_t size);

// Returns true when a page of the mapping guarded in `slot` was gone when read (and now reads as
// zeros). Requires a slot guardMapping() returned.
bool mappingFaulted(int slot);

// Stops guarding `slot`, before the mapping is unmapped. Does nothing for -1.
void unguardMapping(int slot);

}  // namespace mining
