#include "sharedui/LinePrinter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

TLinePages LinePageLayout(int lineCount, double printableHeight, double lineHeight) {
  TLinePages p;
  if (!(lineHeight > 0) || !std::isfinite(printableHeight)) return p;
  p.LinesPerPage = std::max(1, static_cast<int>(std::trunc(printableHeight / lineHeight)) - 2);
  p.Pages = lineCount <= 0 ? 0 : (lineCount + p.LinesPerPage - 1) / p.LinesPerPage;
  return p;
}

std::string LinePageTitle(const std::string& title, int page, int pages) {
  return title + " (" + std::to_string(page) + "/" + std::to_string(pages) + ")";
}

bool PrintLines(QPrinter& printer, const std::string& title, const std::vector<std::string>& lines) {
  if (lines.empty()) return true;
  printer.setDocName(QString::fromStdString(title));
  printer.setPageMargins(QMarginsF(15, 15, 5, 15), QPageLayout::Millimeter);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QFont font(QStringLiteral("Courier New"), 10);
  font.setStyleHint(QFont::Monospace);
  painter.setFont(font);
  const QFontMetricsF metrics(font, &printer);
  const double lineHeight = metrics.height() + metrics.leading();
  // The painter's origin is the top-left corner of the area inside the
  // margins.
  const QRectF area(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
  const TLinePages layout = LinePageLayout(static_cast<int>(lines.size()), area.height(), lineHeight);
  // The page range the user chose (0: every page).
  const int from = printer.fromPage() > 0 ? printer.fromPage() : 1;
  const int to = printer.toPage() > 0 ? std::min(printer.toPage(), layout.Pages) : layout.Pages;
  size_t next = 0;
  bool first = true;
  for (int page = 1; page <= layout.Pages; ++page) {
    if (page < from || page > to) {
      next += static_cast<size_t>(layout.LinesPerPage);
      continue;
    }
    if (!first) printer.newPage();
    first = false;
    painter.save();
    painter.setClipRect(area);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop,
                     QString::fromStdString(LinePageTitle(title, page, layout.Pages)));
    double y = area.top() + 2 * lineHeight;
    for (int i = 0; i < layout.LinesPerPage && next < lines.size(); ++i, ++next) {
      painter.drawText(QPointF(area.left(), y + metrics.ascent()), QString::fromStdString(lines[next]));
      y += lineHeight;
    }
    painter.restore();
  }
  return painter.end();
}
