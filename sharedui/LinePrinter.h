// Printing lines of text page by page: the title with the page number at
// the top of every page ("title (2/5)"), then the lines from two line
// heights below the top margin, each cut at the right margin (no wrapping).
// "Courier New" 10 point; margins 15 mm top, left and bottom, 5 mm right.
#pragma once

#include <string>
#include <vector>

class QPrinter;

struct TLinePages {
  int LinesPerPage = 0;  // trunc(printable height / line height) - 2, at least 1
  int Pages = 0;         // 0 when there are no lines
};
TLinePages LinePageLayout(int lineCount, double printableHeight, double lineHeight);
// "title (page/pages)".
std::string LinePageTitle(const std::string& title, int page, int pages);

// Prints the lines (nothing when there are none). False when the printer
// could not be started.
bool PrintLines(QPrinter& printer, const std::string& title, const std::vector<std::string>& lines);
