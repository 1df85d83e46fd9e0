// A picture of a window as a PNG file (screenshots for checking layouts).
#pragma once

#include <string>

class QWidget;

// Encoded in memory and written whole, so a reader never finds half a
// picture and a failed write leaves the earlier file as it was.
bool SaveWidgetPicture(QWidget& widget, const std::string& file);
