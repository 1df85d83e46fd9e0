#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/qt/QtCanvas.h"

namespace {

TEST(QtCanvas, FillsAndStretchesImagesWithoutSmoothing) {
  QImage target(8, 4, QImage::Format_RGB32);
  target.fill(Qt::white);
  {
    QPainter painter(&target);
    TQtCanvas canvas(painter, target.width(), target.height());
    canvas.FillRect({0, 0, 2, 4}, 0x0000FF);
    // A 2x1 image, black and red, stretched into 4x2: each source pixel
    // becomes a 2x2 block with no blended colours in between.
    std::vector<uint32_t> pixels = {0xFF000000u, 0xFFFF0000u};
    canvas.DrawImage({4, 0, 8, 2}, TImageView{pixels.data(), 2, 1, 2}, {0, 0, 2, 1});
  }
  EXPECT_EQ(target.pixel(1, 3) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(target.pixel(2, 0) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(target.pixel(4, 1) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(target.pixel(5, 1) & 0xFFFFFF, 0x000000u);
  EXPECT_EQ(target.pixel(6, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(target.pixel(7, 1) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(target.pixel(6, 2) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(QtCanvas, KeptTextLayoutsDrawAsThePainterDoesInEachFont) {
  // Each text is drawn twice (laid out, then from the cache) in two fonts,
  // and must look as the painter draws it with its top at the point.
  for (const int points : {8, 14}) {
    for (const std::string text : {"VESSEL 12", "Ålesund", "VESSEL 12"}) {
      SCOPED_TRACE(std::to_string(points) + " " + text);
      QImage ours(160, 40, QImage::Format_RGB32), theirs(160, 40, QImage::Format_RGB32);
      ours.fill(Qt::white);
      theirs.fill(Qt::white);
      TCanvasPoint extent;
      for (int pass = 0; pass < 2; ++pass) {
        QPainter painter(&ours);
        TQtCanvas canvas(painter, ours.width(), ours.height());
        canvas.SetFont({"", points, false, 0x0000FF});
        canvas.DrawText({5, 7}, text);
        extent = canvas.TextExtent(text);
      }
      QPainter painter(&theirs);
      QFont font = painter.font();
      font.setPointSize(points);
      painter.setFont(font);
      painter.setPen(QColor(0, 0, 255));
      const QFontMetrics fm(font);
      const QString q = QString::fromStdString(text);
      for (int pass = 0; pass < 2; ++pass) painter.drawText(5, 7 + fm.ascent(), q);
      painter.end();
      EXPECT_EQ(ours, theirs);
      EXPECT_NE(ours.copy(0, 0, 160, 40), [] {
        QImage blank(160, 40, QImage::Format_RGB32);
        blank.fill(Qt::white);
        return blank;
      }()) << "nothing was drawn";
      EXPECT_EQ(extent.X, fm.horizontalAdvance(q));
      EXPECT_EQ(extent.Y, fm.height());
    }
  }
}

TEST(QtCanvas, IgnoresImageViewsThatDoNotDescribePixels) {
  QImage target(4, 4, QImage::Format_RGB32);
  target.fill(Qt::white);
  QPainter painter(&target);
  TQtCanvas canvas(painter, 4, 4);
  uint32_t px = 0;
  canvas.DrawImage({0, 0, 4, 4}, TImageView{nullptr, 1, 1, 1}, {0, 0, 1, 1});
  canvas.DrawImage({0, 0, 4, 4}, TImageView{&px, 2, 1, 1}, {0, 0, 1, 1});  // stride shorter than a row
  painter.end();
  EXPECT_EQ(target.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

}  // namespace
