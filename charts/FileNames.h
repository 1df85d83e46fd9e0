// Parts of the native file names the chart readers are given.
#pragma once

#include <string>
#include <string_view>

#include "charts/HeaderText.h"

// The extension with its dot, upper-cased ("" when the last name has none).
inline std::string UpperExtension(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string();
  return UpperAscii(path.substr(dot));
}

// The directory part with its final "/" ("" when there is none).
inline std::string DirectoryOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}
