// The one way a file is written as a whole: the new content goes to a
// temporary file in the same directory, is flushed to the disk and then
// renamed over the old file, so a crash or power loss leaves either the old
// or the new file, never a torn one.
//
// Temporary files are named "<file name>.tmp-XXXXXX" and are locked (flock)
// by their writer from creation until the rename. A writer that is killed
// leaves its temporary file behind; the next AtomicWriteFile of the same
// target removes every such file that no live writer holds a lock on before
// it creates its own. So at most one stale temporary file per target exists
// at any time, and it never replaces the target.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to `path` atomically. An existing file keeps its permission
// bits (and, where the process may set it, its owner); a new file gets 0644.
// When `path` is a symbolic link, the file it points to is replaced and the
// link stays. On failure the old file is untouched, the temporary file is
// removed, false is returned and `error` (when given) says why.
bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);

// True when `name` (a bare file name) has the form of a temporary file of
// AtomicWriteFile for the target named `target` (a bare file name).
bool IsAtomicTempName(std::string_view name, std::string_view target);
