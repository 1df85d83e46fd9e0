// brismare, the chart plotter.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Brismare II");
  QMainWindow w;
  w.setObjectName("_Form");
  w.setWindowTitle("Brismare ");
  w.setMinimumSize(480, 480);
  w.show();
  return app.exec();
}
