#include <QApplication>
#include <QWidget>

#include "TestSupport.h"
#include "foundation/qt/SysColor.h"

namespace {

TColor ToColor(const QColor& c) { return MakeColor(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

// Every colour of every group and role of the application palette, with
// its alpha in the highest byte.
std::vector<uint32_t> AppColors() {
  const QPalette p = QApplication::palette();
  std::vector<uint32_t> out;
  for (int g = 0; g < QPalette::NColorGroups; ++g)
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
      if (r == QPalette::NoRole) continue;
      const QColor c = p.color(QPalette::ColorGroup(g), QPalette::ColorRole(r));
      out.push_back(ToColor(c) | (uint32_t(c.alpha()) << 24));
    }
  return out;
}

class SysColor : public ::testing::Test {
 protected:
  void SetUp() override {
    // A known palette with colours far from black and white.
    QPalette p;
    p.setColor(QPalette::Window, QColor(200, 100, 50));
    p.setColor(QPalette::WindowText, QColor(10, 20, 30));
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128, 100));
    original_ = QApplication::palette();
    QApplication::setPalette(p);
  }
  void TearDown() override { QApplication::setPalette(original_); }
  QPalette original_;
};

TEST_F(SysColor, ShadesEveryRoleAndRestores) {
  const std::vector<uint32_t> normal = AppColors();
  QWidget window;
  {
    TSYSCOLOR scheme;
    EXPECT_EQ(scheme.Level(), 0);

    for (int level : {40, -99}) {
      scheme.SetShade(level);
      EXPECT_EQ(scheme.Level(), level);
      const std::vector<uint32_t> shaded = AppColors();
      ASSERT_EQ(shaded.size(), normal.size());
      for (size_t i = 0; i < normal.size(); ++i)
        EXPECT_EQ(shaded[i], TSYSCOLOR::ShadeColor(level, normal[i])) << "level " << level << " entry " << i;
      // Windows follow the application palette.
      EXPECT_EQ(ToColor(window.palette().color(QPalette::Window)), ShadeColor(level, MakeColor(200, 100, 50)));
    }
    EXPECT_EQ(ToColor(QApplication::palette().color(QPalette::Base)), 0x000000u);  // white at -99
    // Disabled text keeps its alpha.
    EXPECT_EQ(QApplication::palette().color(QPalette::Disabled, QPalette::Text).alpha(), 100);

    scheme.Restore();
    EXPECT_EQ(scheme.Level(), 0);
    EXPECT_EQ(AppColors(), normal);
    EXPECT_EQ(ToColor(window.palette().color(QPalette::Window)), MakeColor(200, 100, 50));

    // The same level again does nothing, even when the palette was changed
    // meanwhile; a new level starts from the saved colours.
    scheme.SetShade(20);
    QPalette other = QApplication::palette();
    other.setColor(QPalette::Window, Qt::green);
    QApplication::setPalette(other);
    scheme.SetShade(20);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(Qt::green));
    scheme.SetShade(60);
    EXPECT_EQ(ToColor(QApplication::palette().color(QPalette::Window)), ShadeColor(60, MakeColor(200, 100, 50)));
  }
  // Destroyed while shaded: the palette is back to normal.
  EXPECT_EQ(AppColors(), normal);
}

TEST_F(SysColor, UnshadedSchemeLeavesLaterPaletteAlone) {
  QPalette later;
  {
    TSYSCOLOR scheme;
    later = QApplication::palette();
    later.setColor(QPalette::Window, Qt::blue);
    QApplication::setPalette(later);
  }
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(Qt::blue));
}

}  // namespace
