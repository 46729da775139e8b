#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "util/result.h"

namespace mining {

// One file a run writes, and what goes into it.
struct FileToWrite {
    std::string path;
    std::string content;
};

// Writes `files` so that each path holds either its old file or the whole new one, and so that
// none is replaced unless all could be written: first each content goes to a new temporary file
// in its path's folder, named PATH.tmp-PID-XXXXXX (PID the writer's process id) and held under a
// lock while it exists, which is flushed to disk; only when every one is written are they
// renamed over their paths, in the order given (the last one last). An existing path that is not
// a regular file (a device, FIFO, socket or folder) is never replaced: that is an error. A path
// that is a symbolic link is written through it: the file it points to is replaced, the link kept.
// A replaced file keeps its permissions and, where the process may set them, its owner and group; a
// new one gets an ordinary file's (0666 less the umask). Before writing, temporary files of the
// same names whose writers are gone (see removeStaleTemporaries) are removed. On failure every
// temporary file made is removed, every path is left as it was (unless a rename itself failed after
// others succeeded), and the error names the path and the system's reason. An existing path that
// the process may not write (read-only) is left as it was, and that is an error, although the
// folder would allow replacing it.
Status writeFilesAtomically(const std::vector<FileToWrite>& files);

// As writeFilesAtomically() for one file.
Status writeFileAtomically(const std::string& path, std::string_view content);

// Returns why a file of type `mode` (stat's st_mode) is not one that a run reads as data or
// replaces: "it is a device, not a regular file", "it is a folder, not a regular file", ...
std::string describeNonRegular(unsigned mode);

// Removes the temporary files that writers of `path` left beside it (PATH.tmp-PID-XXXXXX) when
// their writers are gone: no process of that id is alive and no process holds the file's lock.
// Files of a living writer are never touched, however old. Returns how many were removed.
std::size_t removeStaleTemporaries(const std::string& path);

}  // namespace mining
