#include "platform/qt/WindowPicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <string_view>

#include "platform/AtomicFile.h"

bool SaveWidgetPicture(QWidget& widget, const std::string& file) {
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !widget.grab().save(&buffer, "PNG")) return false;
  buffer.close();
  return AtomicWriteFile(file, std::string_view(png.constData(), static_cast<size_t>(png.size())));
}
