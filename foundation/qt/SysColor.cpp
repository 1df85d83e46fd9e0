#include "foundation/qt/SysColor.h"

#include <QApplication>
#include <QColor>

namespace {

bool HaveApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

TSYSCOLOR::TSYSCOLOR() : saved_(HaveApplication() ? QApplication::palette() : QPalette()), shaded_(saved_) {}

TSYSCOLOR::~TSYSCOLOR() {
  if (shadedApplied_ && HaveApplication()) QApplication::setPalette(saved_);
}

void TSYSCOLOR::SetShade(int level) {
  if (level == level_) return;
  QPalette shaded = saved_;
  for (int g = 0; g < QPalette::NColorGroups; ++g) {
    const auto group = QPalette::ColorGroup(g);
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
      const auto role = QPalette::ColorRole(r);
      if (role == QPalette::NoRole) continue;
      const QColor c = saved_.color(group, role);
      const TColor s = ShadeColor(level, MakeColor(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())));
      shaded.setColor(group, role, QColor(ColorRed(s), ColorGreen(s), ColorBlue(s), c.alpha()));
    }
  }
  shaded_ = shaded;
  level_ = level;
  ApplyShade();
}

void TSYSCOLOR::ApplyShade() {
  Apply(shaded_);
  shadedApplied_ = true;
}

void TSYSCOLOR::Restore() {
  level_ = 0;
  shaded_ = saved_;
  Apply(saved_);
  shadedApplied_ = false;
}

void TSYSCOLOR::Apply(const QPalette& palette) {
  if (!HaveApplication()) return;
  QApplication::setPalette(palette);
  QCoreApplication::processEvents();
}
