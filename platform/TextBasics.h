// Small text rules shared by the platform layer and the libraries above it.
#pragma once

#include <string>
#include <string_view>

// The text without leading and trailing spaces and tabs.
std::string_view TrimSpaceTab(std::string_view s);

// The text with ASCII letters and the Latin-1 capitals U+00C0..U+00DE
// (except U+00D7, the multiplication sign) written in UTF-8 folded to lower
// case; every other byte unchanged. Settings keys and file names compare in
// this form.
std::string FoldCase(std::string_view s);
