// Error texts of the platform layer's file operations (used inside platform
// only): "<what> <path>: <system message>".
#pragma once

#include <cstring>
#include <string>

inline std::string ErrnoText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}
