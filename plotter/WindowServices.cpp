#include "plotter/WindowServices.h"

#include <QAction>

void TWindowFeature::WireCommand(const char* name, std::function<void()> command) {
  QAction* a = window_.MenuItem(name);
  if (!a) return;
  a->setEnabled(true);
  QObject::connect(a, &QAction::triggered, &links_, [command = std::move(command)] { command(); });
}

QAction& TWindowFeature::Item(const char* name) const {
  QAction* a = window_.MenuItem(name);
  if (!a) throw std::runtime_error(std::string("no menu item ") + name);
  return *a;
}
