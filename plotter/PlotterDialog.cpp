#include "plotter/PlotterDialog.h"

#include <string>

#include "plotter/core/Lifecycle.h"

TPlotterDialog::TPlotterDialog(const char* className, const char* objectName, const char* caption,
                               QWidget* parent)
    : QDialog(parent) {
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QString::fromUtf8(caption));
  NoteLifecycle(std::string("form ") + className);
}
