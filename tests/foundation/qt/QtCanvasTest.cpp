#include <QImage>
#include <QPainter>
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
