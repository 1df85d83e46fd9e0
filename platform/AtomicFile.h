// The one way a file is written as a whole: the new content goes to a
// temporary file in the same directory, is flushed to the disk and then
// renamed over the old file, so a crash or power loss leaves either the old
// or the new file, never a torn one.
#pragma once

#include <string>
#include <string_view>

// Writes `bytes` to `path` atomically. An existing file keeps its
// permission bits. On failure the old file is untouched, the temporary file
// is removed, false is returned and `error` (when given) says why.
bool AtomicWriteFile(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error = nullptr);
