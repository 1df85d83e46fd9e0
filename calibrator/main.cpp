// teskor, the chart calibration tool.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Teskor");
  QMainWindow w;
  w.setObjectName("_Form");
  w.setWindowTitle("Teskor");
  w.show();
  return app.exec();
}
