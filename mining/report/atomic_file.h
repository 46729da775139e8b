#pragma once

#include <string>
#include <string_view>

#include "util/result.h"

namespace mining {

// Writes `content` to `path` so that a reader sees either the old file or the whole new one:
// the content goes to a new temporary file in the same folder (path + ".tmp" + a unique part),
// which is flushed to disk and then renamed over `path`. On failure the temporary file is
// removed, `path` is left as it was, and the error names the path and the system's reason.
// An existing `path` that the process may not write (read-only) is left as it was, and that is
// an error, although the folder would allow replacing it.
Status writeFileAtomically(const std::string& path, std::string_view content);

}  // namespace mining
