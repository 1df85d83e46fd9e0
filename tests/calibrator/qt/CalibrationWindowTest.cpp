// The calibration tool's window on the offscreen platform, driven the way a
// user drives it: right clicks on the map and the map's menu place the
// reference points, key presses type their positions, mouse clicks on
// "Activate Changes", the "Border" page and "Set border to Image"; the
// calibration is saved, the image closed and opened again, and the
// calibration it then has must reproduce the source chart's own
// georeference (brtool chart pix2geo on the KAP) within one pixel over the
// whole image. The same through a WCI file, and through an image whose own
// ".CAL" file is put right. The check grid lies where brtool puts the whole
// minutes of the KAP.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "calibrator/MainForm.h"
#include "calibrator/border/CheckGrid.h"
#include "calibrator/mapview/MapView.h"
#include "charts/ChartInfo.h"
#include "charts/WCIWriter.h"
#include "foundation/NumText.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "plotter/ChartFixtures.h"
#include "sharedui/ChartCanvas.h"
#include "sharedui/ChartInfoDialog.h"
#include "sharedui/PosEdit.h"

namespace {

using chartfix::TChartPlan;

// ---------------------------------------------------------------------------
// Events as the window system delivers them

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

void Mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button) {
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

void Click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  Mouse(w, QEvent::MouseButtonPress, at, button);
  Mouse(w, QEvent::MouseButtonRelease, at, button);
  Settle();
}

void Click(QWidget* w) { Click(w, w->rect().center()); }

void Key(QWidget* w, int key, const QString& text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(w, &release);
}

// Clicks into a field and types the text from its first place.
void Type(QLineEdit* field, const std::string& text, bool fromStart = true) {
  Click(field);
  if (fromStart) Key(field, Qt::Key_Home);
  for (char c : text) {
    int key = c;
    if (c >= 'a' && c <= 'z') key = Qt::Key_A + (c - 'a');
    Key(field, key, QString(QChar(c)));
  }
  Settle();
}

// Picks an item of a menu that is open with the mouse.
void ChooseMenuItem(QMenu* menu, const char* name) {
  Settle();
  ASSERT_TRUE(menu->isVisible()) << menu->objectName().toStdString() << " is not open";
  QAction* a = menu->findChild<QAction*>(QString::fromLatin1(name));
  ASSERT_NE(a, nullptr) << name;
  ASSERT_TRUE(a->isEnabled()) << name;
  Click(menu, menu->actionGeometry(a).center());
  EXPECT_FALSE(menu->isVisible());
}

// ---------------------------------------------------------------------------
// Charts and the oracle

// "x y" of brtool.
bool TwoNumbers(const std::string& text, double& a, double& b) {
  std::istringstream in(text);
  std::string x, y;
  if (!(in >> x >> y)) return false;
  const auto px = TryStrToFloatDot(x), py = TryStrToFloatDot(y);
  if (!px || !py) return false;
  a = *px;
  b = *py;
  return true;
}

// Degrees (longitude, latitude) of a pixel of a chart, by brtool.
TFPoint Pix2Geo(const std::string& chart, double x, double y) {
  TFPoint g{NAN, NAN};
  EXPECT_TRUE(TwoNumbers(Brtool("chart pix2geo \"" + chart + "\" " + FloatToStrDot(x) + " " + FloatToStrDot(y)).out,
                         g.X, g.Y))
      << chart;
  return g;
}

TFPoint Geo2Pix(const std::string& chart, double lon, double lat) {
  TFPoint p{NAN, NAN};
  EXPECT_TRUE(TwoNumbers(Brtool("chart geo2pix \"" + chart + "\" " + FloatToStrDot(lon) + " " + FloatToStrDot(lat)).out,
                         p.X, p.Y))
      << chart;
  return p;
}

struct TRef {
  int x, y;
  double lat, lon;  // degrees
};

// A KAP chart of the fixtures' picture with these reference points.
std::string WriteKap(const std::string& path, const TChartPlan& s, const std::vector<TRef>& refs) {
  TKapImage k;
  k.Width = s.width;
  k.Height = s.height;
  k.Depth = 3;
  k.Header = {"! source chart of the calibration window tests", "VER/3.0",
              "BSB/NA=" + s.name + ",NU=T1,RA=" + std::to_string(s.width) + "," + std::to_string(s.height) + ",DU=254",
              "KNP/SC=" + std::to_string(s.scale) + ",GD=WGS84,PR=MERCATOR,PP=0.0,PI=UNKNOWN,SP=,SK=0.0",
              "    TA=90.0,UN=METERS,SD=LAT,DX=5.0,DY=5.0", "IFM/3"};
  for (int c = 1; c <= 7; ++c) {
    const TRgb v = chartfix::ColourOf(c);
    k.Header.push_back("RGB/" + std::to_string(c) + "," + std::to_string(RgbRed(v)) + "," +
                       std::to_string(RgbGreen(v)) + "," + std::to_string(RgbBlue(v)));
  }
  int n = 1;
  for (const TRef& r : refs)
    k.Header.push_back("REF/" + std::to_string(n++) + "," + std::to_string(r.x) + "," + std::to_string(r.y) + "," +
                       FloatToStrDot(r.lat) + "," + FloatToStrDot(r.lon));
  n = 1;
  for (const TFPoint& b : chartfix::Border(s))
    k.Header.push_back("PLY/" + std::to_string(n++) + "," + FloatToStrDot(b.Y * kRadToDeg) + "," +
                       FloatToStrDot(b.X * kRadToDeg));
  k.Header.push_back("DTM/0.0,0.0");
  k.Rows.resize(static_cast<size_t>(s.height));
  for (int y = 0; y < s.height; ++y) {
    k.Rows[static_cast<size_t>(y)].resize(static_cast<size_t>(s.width));
    for (int x = 0; x < s.width; ++x)
      k.Rows[static_cast<size_t>(y)][static_cast<size_t>(x)] = chartfix::PixelColour(x, y);
  }
  WriteTestFile(path, WriteKap(k));
  return path;
}

// The ten-character text of a position field with four decimals of
// minutes ("054123456N"), rounded as a user would type it.
std::string PositionText(double degrees, bool longitude) {
  const char h = longitude ? (degrees < 0 ? 'W' : 'E') : (degrees < 0 ? 'S' : 'N');
  long tenThousandths = std::lround(std::fabs(degrees) * 60 * 10000);
  const long deg = tenThousandths / (60 * 10000);
  tenThousandths -= deg * 60 * 10000;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%03ld%06ld%c", deg, tenThousandths, h);
  return buf;
}

// ---------------------------------------------------------------------------

class CalibrationWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_PROGRAM("brtool");
    previousQuestions_ = SetUserQuestions(&questions_);
    previousDialogs_ = SetFileDialogs(&dialogs_);
    // The source chart: the fixtures' picture with five reference points
    // inside the image, whose positions come from the fixtures' KAP.
    const std::string corners = chartfix::WriteKapChart(dir_ / "CORNERS.KAP", plan_);
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{37, 29}, {361, 22}, {355, 271}, {48, 266}, {203, 148}}) {
      const TFPoint g = Pix2Geo(corners, x, y);
      refs_.push_back({x, y, g.Y, g.X});
    }
    kap_ = WriteKap(dir_ / "SOURCE.KAP", plan_, refs_);
  }
  void TearDown() override {
    form_.reset();
    SetFileDialogs(previousDialogs_);
    SetUserQuestions(previousQuestions_);
  }

  T_Form& Start() {
    TTeskorOptions options;
    options.ShowSaveAsCal = true;
    form_ = std::make_unique<T_Form>(options, dir_.path());
    T_Form& f = *form_;
    // The chart information window opens at once for an image without
    // points: the user names the chart, picks Mercator and presses "Ok".
    f.Dialogs().RunDialog = [this](QDialog& d) {
      auto* info = qobject_cast<T_CHInfo*>(&d);
      if (!info) return int(QDialog::Rejected);
      ++infoShown_;
      d.show();
      Settle();
      if (info->CHName->text().isEmpty()) Type(info->CHName, "CAL TEST");
      // A scale of 1 or more is asked for.
      if (info->CScale->text().toInt() < 1) {
        Click(info->CScale);
        Key(info->CScale, Qt::Key_A, QString(), Qt::ControlModifier);
        Type(info->CScale, "25000", false);
      }
      info->Proj->setFocus();
      while (info->Proj->currentIndex() < kProjMercator) Key(info->Proj, Qt::Key_Down);
      Settle();
      Click(info->OkButton);
      EXPECT_FALSE(d.isVisible()) << "the chart information window refused \"Ok\"";
      return d.result();
    };
    f.show();
    f.activateWindow();
    Settle();
    return f;
  }

  std::vector<std::string> Asked() const {
    std::vector<std::string> texts;
    for (const auto& q : questions_.asked()) texts.push_back(q.text);
    return texts;
  }

  // "Open Image" with the file chosen in the file dialog.
  void OpenImage(T_Form& f, const std::string& file) {
    dialogs_.Answer(file);
    f.MenuItem("OpenImage")->trigger();
    Settle();
    ASSERT_TRUE(f.Cal.IsOpen()) << file;
    EXPECT_EQ(f.Cal.FileName(), file);
  }

  // Types the position of the selected reference point.
  void TypePosition(T_Form& f, const TRef& r) {
    Type(f.CalLat, PositionText(r.lat, false));
    Type(f.CalLong, PositionText(r.lon, true));
    const int i = f.Cal.SelectedRef;
    ASSERT_GE(i, 0);
    EXPECT_NEAR(f.Cal.Ref(i).Lat * kRadToDeg, r.lat, 1e-6);
    EXPECT_NEAR(f.Cal.Ref(i).Lon * kRadToDeg, r.lon, 1e-6);
  }

  // Right click at the pixel, "Add New Cal. Point", the position typed.
  void PlacePoint(T_Form& f, const TRef& r) {
    const int before = f.Cal.RefCount();
    Click(f.MapCanvas, f.Map().MapPointOf({double(r.x), double(r.y)}), Qt::RightButton);
    ChooseMenuItem(f.MapPopup, "AddPoint");
    ASSERT_EQ(f.Cal.RefCount(), before + 1);
    ASSERT_EQ(f.Cal.SelectedRef, before);
    EXPECT_EQ(f.Cal.Ref(before).X, r.x);
    EXPECT_EQ(f.Cal.Ref(before).Y, r.y);
    EXPECT_EQ(f.CPList->currentItem()->text().toStdString(), "Point " + std::to_string(before + 1));
    TypePosition(f, r);
  }

  void Activate(T_Form& f) {
    questions_.Clear();
    Click(f.BCalActivate);
    EXPECT_EQ(Asked(), std::vector<std::string>{});
    EXPECT_TRUE(f.Cal.FitValid());
  }

  // The "Border" page (activating what was edited on "Cal"), "Set border
  // to Image", back to "Cal".
  void BorderToImage(T_Form& f) {
    QTabBar* tabs = f.TabPage->tabBar();
    Click(tabs, tabs->tabRect(1).center());
    ASSERT_EQ(f.TabPage->currentWidget(), f.BorderPage);
    Click(f.SetBorderButton);
    ASSERT_EQ(f.Cal.BorderCount(), 4);
    TFPoint px;
    ASSERT_TRUE(f.Cal.BorderPixel(2, px));
    EXPECT_NEAR(px.X, plan_.width - 5, 1e-6);
    EXPECT_NEAR(px.Y, plan_.height - 5, 1e-6);
    Click(tabs, tabs->tabRect(0).center());
    ASSERT_EQ(f.TabPage->currentWidget(), f.CalPage);
  }

  void Save(T_Form& f, const std::string& expected) {
    questions_.Clear();
    f.MenuItem("SaveCalibration")->trigger();
    Settle();
    EXPECT_EQ(Asked(), std::vector<std::string>{expected});
    EXPECT_FALSE(f.Cal.Changed());
  }

  // The calibration the window has now against the source KAP: over a
  // grid of pixels of the whole image, the KAP's position of the pixel
  // comes back to within one pixel of it.
  void ExpectKapGeoreference(T_Form& f) {
    ASSERT_TRUE(f.Cal.FitValid());
    double worst = 0;
    for (double x : {0.0, 100.0, 200.0, 300.0, 399.0})
      for (double y : {0.0, 75.0, 150.0, 225.0, 299.0}) {
        const TFPoint g = Pix2Geo(kap_, x, y);
        TFPoint px;
        ASSERT_TRUE(f.Cal.GeoToPixel({g.X * kDegToRad, g.Y * kDegToRad}, px)) << x << " " << y;
        const double d = std::hypot(px.X - x, px.Y - y);
        worst = std::max(worst, d);
        EXPECT_LT(d, 1.0) << "pixel " << x << " " << y << " comes back at " << px.X << " " << px.Y;
      }
    std::printf("worst difference from the KAP's georeference: %.4f pixels\n", worst);
  }

  // Closes the image and opens it again: no chart information question
  // (it has points now).
  void Reopen(T_Form& f, const std::string& file) {
    f.MenuItem("CloseImage")->trigger();
    Settle();
    EXPECT_FALSE(f.Cal.IsOpen());
    EXPECT_EQ(f.CPList->count(), 0);
    const int shown = infoShown_;
    OpenImage(f, file);
    EXPECT_EQ(infoShown_, shown);
    EXPECT_EQ(f.Cal.RefCount(), static_cast<int>(refs_.size()));
  }

  // Closes the window: after a save the question "Some calibrations may
  // have changed", answered Yes.
  void CloseWindow(T_Form& f) {
    questions_.Clear();
    questions_.Answer(idYes);
    EXPECT_TRUE(f.close());
    EXPECT_EQ(Asked(), (std::vector<std::string>{"Some calibrations may have changed. Quit anyway?"}));
  }

  TTempDir dir_;
  TChartPlan plan_;
  std::vector<TRef> refs_;
  std::string kap_;
  TScriptedQuestions questions_;
  TScriptedFileDialogs dialogs_;
  IUserQuestions* previousQuestions_ = nullptr;
  IFileDialogs* previousDialogs_ = nullptr;
  std::unique_ptr<T_Form> form_;
  int infoShown_ = 0;
};

TEST_F(CalibrationWindow, APngMadeFromAKapIsCalibratedSavedAndReopened) {
  const std::string png = dir_ / "SOURCE.PNG";
  ASSERT_EQ(Brtool("chart decode \"" + kap_ + "\" \"" + png + "\" --png").status, 0);
  T_Form& f = Start();
  EXPECT_EQ(f.windowTitle().toStdString(), "Brismare Calibration Utility");
  OpenImage(f, png);
  // No points: the chart information window came at once.
  EXPECT_EQ(infoShown_, 1);
  EXPECT_EQ(f.Cal.Info().Layout.Name, "CAL TEST");
  EXPECT_EQ(f.Cal.Info().Projection, kProjMercator);
  EXPECT_EQ(f.windowTitle().toStdString(), "Brismare Calibration Utility [CAL TEST]=[" + png + "]");
  EXPECT_EQ(f.Wth->text(), "400");
  EXPECT_EQ(f.Hgt->text(), "300");

  // "+" three times: 126 %, 159 %, 200 % (2.0004 snapped).
  for (const char* percent : {"126", "159", "200"}) {
    Click(f.ZoomIn);
    EXPECT_EQ(f.Zl->text().toStdString(), percent);
  }
  EXPECT_EQ(f.MapCanvas->width(), 800);

  for (size_t i = 0; i + 1 < refs_.size(); ++i) PlacePoint(f, refs_[i]);
  // A half-typed position is not taken, and activation is refused while
  // it is half typed.
  const TGridPoint before = f.Cal.Ref(1);
  f.CPList->setFocus();
  Click(f.CPList->viewport(), f.CPList->visualItemRect(f.CPList->item(1)).center());
  ASSERT_EQ(f.Cal.SelectedRef, 1);
  Click(f.CalLat);
  Key(f.CalLat, Qt::Key_End);
  Key(f.CalLat, Qt::Key_Backspace);  // the hemisphere letter
  Key(f.CalLat, Qt::Key_Home);
  Key(f.CalLat, Qt::Key_1, QStringLiteral("1"));
  Settle();
  EXPECT_FALSE(f.CalLat->Value().has_value()) << f.CalLat->text().toStdString();
  EXPECT_EQ(f.Cal.Ref(1), before);
  questions_.Clear();
  Click(f.BCalActivate);
  EXPECT_EQ(Asked(), std::vector<std::string>{"Incomplete position: Cal. Point 2"});
  EXPECT_FALSE(f.Cal.FitValid());
  TypePosition(f, refs_[1]);

  PlacePoint(f, refs_.back());
  Activate(f);
  EXPECT_NE(f.ULLat->text(), QString());
  BorderToImage(f);
  Save(f, "Calibration saved to section SOURCE.PNG in file " + (dir_ / "CHARTCAL.DIR"));
  EXPECT_FALSE(TestFileExists(dir_ / "SOURCE.CAL"));

  Reopen(f, png);
  EXPECT_EQ(f.Zl->text(), "100");
  EXPECT_EQ(f.Cal.Info().Layout.Name, "CAL TEST");
  EXPECT_EQ(f.Cal.BorderCount(), 4);
  ExpectKapGeoreference(f);
  // The plotter reads the same calibration (brtool reads the image with it).
  const TFPoint kapMiddle = Pix2Geo(kap_, 150, 100), pngMiddle = Pix2Geo(png, 150, 100);
  EXPECT_NEAR(pngMiddle.X, kapMiddle.X, 1e-4);
  EXPECT_NEAR(pngMiddle.Y, kapMiddle.Y, 1e-4);

  // The check grid: its lines lie where brtool puts the KAP's whole
  // minutes.
  f.ShowGrid->setFocus();
  Key(f.ShowGrid, Qt::Key_Down);
  Key(f.ShowGrid, Qt::Key_Down);
  Settle();
  ASSERT_EQ(f.ShowGrid->currentText(), "Normal Grid");
  const TCalGrid& grid = f.Grid().Shown();
  ASSERT_FALSE(grid.Lines.empty());
  EXPECT_EQ(grid.LatStepMinutes, 1);  // 20 lines over 18'
  EXPECT_EQ(grid.LonStepMinutes, 5);  // 20 lines over 30' (1' would need 30)
  int checked = 0;
  for (const TGridLine& line : grid.Lines) {
    const double minutes = line.Value * kRadToDeg * 60;
    EXPECT_NEAR(minutes, std::round(minutes), 1e-6);
    for (size_t k : {size_t(0), line.Pixels.size() / 2, line.Pixels.size() - 1}) {
      const TFPoint& px = line.Pixels[k];
      if (px.X < 0 || px.Y < 0 || px.X > plan_.width || px.Y > plan_.height) continue;
      TFPoint pos;
      ASSERT_TRUE(f.Cal.PixelToGeo(px, pos));
      const double lon = line.Latitude ? pos.X : line.Value, lat = line.Latitude ? line.Value : pos.Y;
      const TFPoint kapPx = Geo2Pix(kap_, lon * kRadToDeg, lat * kRadToDeg);
      EXPECT_LT(std::hypot(kapPx.X - px.X, kapPx.Y - px.Y), 1.0)
          << (line.Latitude ? "parallel " : "meridian ") << minutes << "'";
      ++checked;
    }
  }
  EXPECT_GT(checked, 20);
  CloseWindow(f);
}

TEST_F(CalibrationWindow, AWciChartIsCalibratedIntoItsOwnText) {
  // A WCI of the picture whose text has a name and nothing else.
  chartfix::TPictureSource picture(plan_.width, plan_.height);
  TWCIWriter writer;
  writer.ConfirmReplace = false;
  const std::string wci = dir_ / "SOURCE.WCI";
  ASSERT_GT(writer.Convert(picture, wci, {"NA=WCI TEST", "SD=LAT"}), 0);
  T_Form& f = Start();
  OpenImage(f, wci);
  EXPECT_EQ(infoShown_, 1);
  EXPECT_EQ(f.Cal.Info().Layout.Name, "WCI TEST");
  EXPECT_EQ(f.Cal.Info().Projection, kProjMercator);
  EXPECT_EQ(f.Cal.Info().Layout.Scale, 25000);
  for (const TRef& r : refs_) PlacePoint(f, r);
  Activate(f);
  BorderToImage(f);
  Save(f, "Calibration updated in " + wci);
  Reopen(f, wci);
  EXPECT_EQ(f.Cal.Info().Projection, kProjMercator);
  ExpectKapGeoreference(f);
  EXPECT_EQ(f.Cal.Info().SoundingDatum, "LAT");
  CloseWindow(f);
}

TEST_F(CalibrationWindow, AnImageWithItsOwnCalFileIsPutRightThere) {
  // The picture with a ".CAL" whose positions are 0.05 deg off the
  // chart's, and a sounding datum the tool does not model.
  const std::string png = dir_ / "OWN.PNG";
  ASSERT_EQ(Brtool("chart decode \"" + kap_ + "\" \"" + png + "\" --png").status, 0);
  TChartPlan wrong = plan_;
  wrong.north += 0.05;
  wrong.south += 0.05;
  TChartHeadBaseCodec cal;
  cal.Lines = chartfix::CalibrationLines(wrong, "OWN.PNG");
  cal.Lines.push_back("SD=MLLW");
  ASSERT_TRUE(cal.SaveToFile(dir_ / "OWN.CAL"));

  T_Form& f = Start();
  OpenImage(f, png);
  EXPECT_EQ(infoShown_, 0);
  ASSERT_EQ(f.Cal.RefCount(), 4);
  // Each point chosen in the list gets the position the KAP gives its pixel.
  refs_.clear();
  for (int i = 0; i < 4; ++i) {
    Click(f.CPList->viewport(), f.CPList->visualItemRect(f.CPList->item(i)).center());
    ASSERT_EQ(f.Cal.SelectedRef, i);
    EXPECT_EQ(f.CalX->text().toInt(), std::lround(f.Cal.Ref(i).X));
    const TFPoint g = Pix2Geo(kap_, f.Cal.Ref(i).X, f.Cal.Ref(i).Y);
    refs_.push_back({int(f.Cal.Ref(i).X), int(f.Cal.Ref(i).Y), g.Y, g.X});
    TypePosition(f, refs_.back());
  }
  Activate(f);
  Save(f, "Calibration saved to file " + (dir_ / "OWN.CAL"));
  EXPECT_FALSE(TestFileExists(dir_ / "CHARTCAL.DIR"));
  TChartHeadBaseCodec written;
  ASSERT_TRUE(written.LoadFromFile(dir_ / "OWN.CAL"));
  EXPECT_EQ(written.GetValue("SD="), "MLLW");
  Reopen(f, png);
  ExpectKapGeoreference(f);
  CloseWindow(f);
}

TEST_F(CalibrationWindow, AFailedActivationKeepsTheBorderOnItsPixels) {
  // The fixtures' PNG with its own ".CAL": four corner points and a border.
  const std::string png = chartfix::WritePngChart(dir_ / "T.PNG", plan_);
  T_Form& f = Start();
  OpenImage(f, png);
  ASSERT_EQ(f.Cal.BorderCount(), 4);
  std::vector<TFPoint> pixels(4);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(f.Cal.BorderPixel(i, pixels[static_cast<size_t>(i)]));
  const TFPointArray border = f.Cal.Info().Layout.Border;

  // "Lock Lat && Long"; point 4 deleted from the map's menu; point 3 moved
  // with the scroll bars onto the line of points 1 and 2 and given a
  // position on their parallel: three points on a line.
  Click(f.RefPosLock);
  ASSERT_TRUE(f.Cal.LockPositions);
  Click(f.CPList->viewport(), f.CPList->visualItemRect(f.CPList->item(3)).center());
  Click(f.MapCanvas, f.Map().MapPointOf({200, 150}), Qt::RightButton);
  ChooseMenuItem(f.MapPopup, "DeleteSelected");
  ASSERT_EQ(f.Cal.RefCount(), 3);
  Click(f.CPList->viewport(), f.CPList->visualItemRect(f.CPList->item(2)).center());
  f.PH->setValue(200);
  f.PV->setValue(0);
  Settle();
  EXPECT_EQ(f.Cal.Ref(2).X, 200);
  EXPECT_EQ(f.Cal.Ref(2).Y, 0);
  const TRef onTheLine{200, 0, plan_.north, (plan_.west + plan_.east) / 2};
  TypePosition(f, onTheLine);
  questions_.Clear();
  Click(f.BCalActivate);
  EXPECT_EQ(Asked(), std::vector<std::string>{"Error in calibration parameters"});
  EXPECT_FALSE(f.Cal.FitValid());
  EXPECT_EQ(f.Cal.Info().Layout.Border, border);
  EXPECT_TRUE(f.Grid().Shown().Lines.empty());

  // Put right: point 3 back at its corner and point 4 placed again, each
  // with positions a little off the old ones, so the fit moves.
  const double off = 0.01;
  f.PH->setValue(399);
  f.PV->setValue(299);
  Settle();
  TFPoint kapPos = Pix2Geo(kap_, 399, 299);
  TypePosition(f, {399, 299, kapPos.Y + off, kapPos.X + off});
  kapPos = Pix2Geo(kap_, 1, 299);
  PlacePoint(f, {1, 299, kapPos.Y + off, kapPos.X + off});
  for (int i = 0; i < 2; ++i) {
    Click(f.CPList->viewport(), f.CPList->visualItemRect(f.CPList->item(i)).center());
    kapPos = Pix2Geo(kap_, f.Cal.Ref(i).X, f.Cal.Ref(i).Y);
    TypePosition(f, {int(f.Cal.Ref(i).X), int(f.Cal.Ref(i).Y), kapPos.Y + off, kapPos.X + off});
  }
  Activate(f);
  for (int i = 0; i < 4; ++i) {
    TFPoint px;
    ASSERT_TRUE(f.Cal.BorderPixel(i, px));
    EXPECT_NEAR(px.X, pixels[static_cast<size_t>(i)].X, 1e-6) << i;
    EXPECT_NEAR(px.Y, pixels[static_cast<size_t>(i)].Y, 1e-6) << i;
  }
  EXPECT_NEAR(f.Cal.Border(0).Y, border[0].Y + off * kDegToRad, 1e-6);
}

TEST_F(CalibrationWindow, DraggingAPointMovesItsPixelAndFollowsTheFitUnlessLocked) {
  const std::string png = chartfix::WritePngChart(dir_ / "T.PNG", plan_);
  T_Form& f = Start();
  OpenImage(f, png);
  ASSERT_TRUE(f.Cal.FitValid());
  // Point 2 sits at the top right corner (400, 0); grabbed a pixel off its
  // middle and dragged 30 pixels left and 20 down, a few pixels at a time,
  // it lands where the mouse lets it go: (369, 21).
  auto drag = [&](int index, QPoint by) {
    const QPoint from = f.Map().MapPointOf({f.Cal.Ref(index).X, f.Cal.Ref(index).Y}) + QPoint(-1, 1);
    Mouse(f.MapCanvas, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int k = 1; k <= 10; ++k) {
      QMouseEvent move(QEvent::MouseMove, QPointF(from + by * k / 10), QPointF(f.MapCanvas->mapToGlobal(from + by * k / 10)),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(f.MapCanvas, &move);
    }
    Mouse(f.MapCanvas, QEvent::MouseButtonRelease, from + by, Qt::LeftButton);
    Settle();
  };
  drag(1, {-30, 20});
  EXPECT_EQ(f.Cal.SelectedRef, 1);
  EXPECT_EQ(f.Cal.Ref(1).X, 369);
  EXPECT_EQ(f.Cal.Ref(1).Y, 21);
  EXPECT_EQ(f.CalX->text(), "369");
  EXPECT_EQ(f.CalY->text(), "21");
  // Not locked: the point's position is the fit's position of its new pixel
  // (the fit itself did not change).
  const TFPoint kap = Pix2Geo(kap_, 369, 21);
  EXPECT_NEAR(f.Cal.Ref(1).Lon * kRadToDeg, kap.X, 1e-9);
  EXPECT_NEAR(f.Cal.Ref(1).Lat * kRadToDeg, kap.Y, 1e-9);
  // Locked: the position stays.
  Click(f.RefPosLock);
  const TGridPoint before = f.Cal.Ref(1);
  drag(1, {10, 10});
  EXPECT_EQ(f.Cal.Ref(1).X, 378);
  EXPECT_EQ(f.Cal.Ref(1).Y, 32);
  EXPECT_EQ(f.Cal.Ref(1).Lon, before.Lon);
  EXPECT_EQ(f.Cal.Ref(1).Lat, before.Lat);
  EXPECT_TRUE(f.Cal.Changed());
  // Closing with the change unsaved asks first; "No" keeps the window.
  questions_.Clear();
  questions_.Answer(idNo);
  EXPECT_FALSE(f.close());
  EXPECT_EQ(Asked(), std::vector<std::string>{"Changes not saved. Continue?"});
  EXPECT_TRUE(f.isVisible());
}

TEST_F(CalibrationWindow, AKapChartOpensReadOnly) {
  T_Form& f = Start();
  OpenImage(f, kap_);
  EXPECT_EQ(f.windowTitle().toStdString(),
            "Brismare Calibration Utility [" + plan_.name + "]=[" + kap_ + "]:Read-Only");
  EXPECT_EQ(infoShown_, 0);
  EXPECT_FALSE(f.BCalActivate->isEnabled());
  Click(f.MapCanvas, f.Map().MapPointOf({100, 100}), Qt::RightButton);
  Settle();
  ASSERT_TRUE(f.MapPopup->isVisible());
  EXPECT_FALSE(f.MenuItem("AddPoint")->isEnabled());
  f.MapPopup->hide();
  f.MenuItem("AddPoint")->trigger();
  EXPECT_EQ(f.Cal.RefCount(), static_cast<int>(refs_.size()));
  ExpectKapGeoreference(f);
  // Nothing changed: no question on closing.
  questions_.Clear();
  EXPECT_TRUE(f.close());
  EXPECT_EQ(Asked(), std::vector<std::string>{});
}

}  // namespace
