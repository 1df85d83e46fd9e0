// The calibration tool's long commands (conversions, directory runs, catalog
// scans, imports) in its window: while one runs, the window serves events
// (its message panel repaints, "Cancel" can be pressed), but no command may
// start under it: not from the tool bar, a menu, a key, the mouse on the
// map, nor by closing the window. "Cancel" is offered where the command can
// stop, and stops it there.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest/QTest>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "TeskorFixture.h"
#include "charts/ImageChart.h"
#include "charts/WCIctrl.h"
#include "plotter/ChartFixtures.h"
#include "sharedui/ChartCanvas.h"

namespace {

using chartfix::TChartPlan;

void Click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), button, button,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(w->mapToGlobal(at)), button, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

// When a menu pops up (a tool bar button's menu runs its own event loop),
// picks that item in it with the mouse; nothing when none shows.
void PickWhenAMenuOpens(const char* item) {
  QTimer::singleShot(0, [item] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    QAction* a = menu->findChild<QAction*>(QString::fromLatin1(item));
    if (a && a->isEnabled())
      Click(menu, menu->actionGeometry(a).center());
    else
      menu->close();
  });
}

// Runs the steps from inside the command that runs next, one at each of
// its progress reports that `when` accepts (the message panel is then
// showing it and serving events).
class TDuringCommand {
 public:
  TDuringCommand(T_Form& form, std::function<bool()> when, std::vector<std::function<void()>> steps)
      : when_(std::move(when)), steps_(std::move(steps)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this, &form] {
      if (ran_ == steps_.size() || !form.MsgP->isVisible() || !when_()) return;
      const QString text = form.MsgT->text() + QString::number(form.MsgB->value());
      if (text == last_) return;  // the next report
      last_ = text;
      steps_[ran_++]();
    });
    timer_.start();
  }
  bool AllRan() const { return ran_ == steps_.size(); }

 private:
  QTimer timer_;
  std::function<bool()> when_;
  std::vector<std::function<void()>> steps_;
  size_t ran_ = 0;
  QString last_;
};

// The message panel shows a step with a bar (the WCI writer's rows).
bool ShowsBar(const T_Form& f) { return f.MsgB->isVisible() && f.MsgB->maximum() > 0; }

// Whether "Cancel" is shown at any time while a command runs.
class TCancelWatch : public QObject {
 public:
  explicit TCancelWatch(QPushButton* bt) : bt_(bt) { bt->installEventFilter(this); }
  bool Shown() const { return shown_; }
  void Reset() { shown_ = false; }

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == bt_ && e->type() == QEvent::Show) shown_ = true;
    return false;
  }

 private:
  QPushButton* bt_;
  bool shown_ = false;
};

// The row kinds of a WCI file (its row index): one colour, runs, deflate.
struct TRowKinds {
  int OneColour = 0, Runs = 0, Deflated = 0;
};
TRowKinds RowKinds(const std::string& wci) {
  const std::string b = ReadTestFile(wci);
  TRowKinds k;
  if (b.size() < 16) return k;
  const int h = static_cast<uint8_t>(b[14]) | static_cast<uint8_t>(b[15]) << 8;
  for (int y = 0; y < h && 24 + 4 * size_t(y) <= b.size(); ++y) {
    const uint8_t top = static_cast<uint8_t>(b[20 + 4 * size_t(y) + 3]) >> 6;
    (top == 3 ? k.OneColour : top == 1 ? k.Runs : k.Deflated)++;
  }
  return k;
}

int WciWidth(const std::string& wci) {
  TWCIDecoder d;
  return d.Open(wci) > 0 ? d.Width() : -1;
}

std::vector<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return {names.begin(), names.end()};
}

class LongCommands : public TeskorWindowTest {
 protected:
  std::string Png(const std::string& name, int w, int h, bool calibrated = true) {
    TChartPlan plan;
    plan.width = w;
    plan.height = h;
    return chartfix::WritePngChart(dir_ / name, plan, calibrated);
  }
  // A WinGPS chart index of one chart beside it.
  std::string Chi(const std::string& name) {
    WriteTestFile(dir_ / name,
                  "WinGPS chart index\r\n\r\nDescription=Kiel\r\nImageName=KIEL.BMP\r\nWidth=1000\r\n"
                  "Height=800\r\nScale=50000\r\nX1=0\r\nY1=0\r\nLatitude1=54.5\r\nLongitude1=10.0\r\n"
                  "X2=1000\r\nY2=800\r\nLatitude2=54.2\r\nLongitude2=10.5\r\nEND\r\n");
    return dir_ / name;
  }
  // An old chart list naming the images (full paths) in order.
  std::string OldList(const std::vector<std::string>& images) {
    std::string text = "[RegisterdCharts]\r\n";
    for (const std::string& image : images)
      text += std::filesystem::path(image).stem().string() + "=" + image +
              ";25000;05830500N;01015000E;05825000N;01025000E;1;0;0;WGS 84;\r\n";
    WriteTestFile(dir_ / "BRICHART.DIR", text);
    return dir_ / "BRICHART.DIR";
  }
};

// "Current to WCI" reads the open picture row by row while the window
// serves events: "Open Image" from the tool bar, its menu item and its key,
// "Close Image", the map's menu and closing the window are all refused
// until it ends. (A wider image opened under the writer made it copy rows
// past the end of its buffer.) Afterwards everything works again.
TEST_F(LongCommands, NothingChangesTheOpenImageWhileItIsConverted) {
  const std::string narrow = Png("narrow.png", 200, 150);
  const std::string wide = Png("wide.png", 1600, 150);
  T_Form& f = Start();
  int windowsShown = 0;  // the available charts, the chart information
  f.Dialogs().RunDialog = [&windowsShown](QDialog&) { return ++windowsShown, int(QDialog::Rejected); };
  f.activateWindow();
  QApplication::setActiveWindow(&f);
  dialogs_.Answer(narrow);
  f.MenuItem("OpenImage")->trigger();
  SettleTeskor();
  ASSERT_EQ(f.Cal.Width(), 200);

  // Idle, Alt+F opens the "File" menu, and its "Open Image" the dialog.
  const size_t before = dialogs_.requests().size();
  dialogs_.Cancel();
  PickWhenAMenuOpens("OpenImage");
  QTest::keyClick(&f, Qt::Key_F, Qt::AltModifier);
  SettleTeskor();
  ASSERT_EQ(dialogs_.requests().size(), before + 1) << "Alt+F, Open Image";

  const std::string target = dir_ / "narrow.WCI";
  dialogs_.Answer(target);
  for (int i = 0; i < 4; ++i) dialogs_.Answer(wide);
  const size_t dialogsBefore = dialogs_.requests().size() + 1;  // the WCI file's
  bool mapMenuShown = false, cancelShown = false;
  TDuringCommand during(f, [&f] { return ShowsBar(f); },
                        {
                            [&] {
                              cancelShown = f.BT->isVisible();
                              PickWhenAMenuOpens("OpenImage");
                              Click(f.FileButton, f.FileButton->rect().center());  // the tool bar
                            },
                            [&] { f.MenuItem("OpenImage")->trigger(); },  // the menu item
                            [&] {
                              PickWhenAMenuOpens("OpenImage");
                              QTest::keyClick(&f, Qt::Key_F, Qt::AltModifier);  // its key
                            },
                            [&] {
                              Click(f.MapCanvas, {20, 20}, Qt::RightButton);
                              mapMenuShown = f.MapPopup->isVisible();
                              f.MapPopup->close();
                            },
                            [&] { f.close(); },
                            [&] {
                              f.MenuItem("CloseImage")->trigger();
                              f.MenuItem("OpenFromList")->trigger();
                            },
                        });
  f.MenuItem("CurrentToWCI")->trigger();
  SettleTeskor();
  ASSERT_TRUE(during.AllRan());
  EXPECT_EQ(dialogs_.requests().size(), dialogsBefore) << "a dialog was opened during the conversion";
  EXPECT_EQ(windowsShown, 0);
  EXPECT_FALSE(mapMenuShown);
  EXPECT_TRUE(cancelShown) << "the conversion can stop";
  EXPECT_TRUE(f.isVisible()) << "the window closed under the conversion";
  EXPECT_EQ(f.Cal.FileName(), narrow);
  EXPECT_EQ(f.Cal.Width(), 200);
  EXPECT_EQ(WciWidth(target), 200);

  // All back as it was.
  EXPECT_FALSE(f.MsgP->isVisible());
  EXPECT_TRUE(f.TB->isEnabled());
  EXPECT_TRUE(f.MapCanvas->isEnabled());
  for (const char* item : {"OpenImage", "CloseImage", "CurrentToWCI", "ScanForNewCharts"})
    EXPECT_TRUE(f.MenuItem(item)->isEnabled()) << item;
  dialogs_.Clear();
  dialogs_.Answer(wide);
  f.MenuItem("OpenImage")->trigger();
  SettleTeskor();
  EXPECT_EQ(f.Cal.Width(), 1600);
}

// "Cancel" ends "Images in Dir to WCI" in the file in hand: it is shown all
// through the run, while the writer's bar moves too. The files written
// before stay, the file in hand and the rest are as they were.
TEST_F(LongCommands, CancelStopsADirectoryRunHalfWay) {
  std::filesystem::create_directories(dir_ / "src");
  std::filesystem::create_directories(dir_ / "dst");
  for (const char* name : {"src/a.png", "src/b.png", "src/c.png", "src/d.png"}) Png(name, 200, 150);
  WriteTestFile(dir_ / "dst/b.WCI", "old b");
  WriteTestFile(dir_ / "dst/c.WCI", "old c");
  T_Form& f = Start();
  dialogs_.Answer(dir_ / "src");
  dialogs_.Answer(dir_ / "dst");
  for (int i = 0; i < 3; ++i) questions_.Answer(idYes);  // go on, overwrite, uncalibrated too
  TCancelWatch watch(f.BT);
  bool inB = false, cancelShownWithBar = false;
  TDuringCommand during(
      f,
      [&] {
        inB = inB || f.MsgT->text().startsWith(QStringLiteral("Converting b.png"));
        return inB && ShowsBar(f);
      },
      {[&] {
        cancelShownWithBar = f.BT->isVisible();
        if (cancelShownWithBar) Click(f.BT, f.BT->rect().center());
      }});
  f.MenuItem("ImagesInDirToWCI")->trigger();
  SettleTeskor();
  ASSERT_TRUE(during.AllRan());
  ASSERT_TRUE(cancelShownWithBar) << "Cancel is hidden while the writer's bar shows";
  EXPECT_EQ(FilesIn(dir_ / "dst"), (std::vector<std::string>{"a.WCI", "b.WCI", "c.WCI"}));
  EXPECT_EQ(WciWidth(dir_ / "dst/a.WCI"), 200);
  EXPECT_EQ(ReadTestFile(dir_ / "dst/b.WCI"), "old b");
  EXPECT_EQ(ReadTestFile(dir_ / "dst/c.WCI"), "old c");
  ASSERT_FALSE(Asked().empty());
  EXPECT_EQ(Asked().back(),
            "--- WCI CONVERT RESULT ---\r\nTotal Files Scanned: 2\r\nTotal Files Converted: 1\r\n"
            "Files with calibration: 1\r\nFiles without calibration: 0\r\nCancelled.");
  EXPECT_FALSE(f.CommandRunning());
  EXPECT_TRUE(f.TB->isEnabled());
  EXPECT_FALSE(f.MsgP->isVisible());

  // The next run starts afresh: the cancel is not left over.
  questions_.Clear();
  dialogs_.Answer(dir_ / "src");
  dialogs_.Answer(dir_ / "dst");
  for (int i = 0; i < 3; ++i) questions_.Answer(idYes);
  f.MenuItem("ImagesInDirToWCI")->trigger();
  SettleTeskor();
  EXPECT_EQ(WciWidth(dir_ / "dst/d.WCI"), 200);
  EXPECT_EQ(WciWidth(dir_ / "dst/c.WCI"), 200);
}

// "Cancel" shows only for the commands that can stop (and read it): the
// conversions and the old calibrations' import. The catalog commands, the
// other import, the upkeep, a WCI's save and the cache marks run to their
// end, and show none.
TEST_F(LongCommands, CancelIsOfferedWhereACommandCanStop) {
  std::filesystem::create_directories(dir_ / "charts");
  Png("charts/harbour.png", 120, 90);
  Png("plain.png", 120, 90, false);
  WriteTestFile(dir_ / "BRISMARE_2.INI", "[Program Setup]\r\nChart Dir=" + dir_ / "charts" + "\r\n");
  WriteTestFile(dir_ / "charts/CHARTCAL.DIR", "[GONE.PNG]\r\nNA=Gone\r\n\r\n");
  const std::string wci = chartfix::WriteWciChart(dir_ / "chart.wci", TChartPlan());
  const std::string chi = Chi("kiel.chi");
  const std::string list = OldList({dir_ / "plain.png"});
  T_Form& f = Start();
  TCancelWatch watch(f.BT);
  struct Row {
    const char* item;
    std::function<void()> answers;
    bool cancel;
  };
  const Row rows[] = {
      {"ScanForNewCharts", [] {}, false},
      {"RemoveUnusedCalibrations",
       [&] {
         dialogs_.Answer(dir_ / "charts");
         questions_.Answer(idOk);
         questions_.Answer(idYes);  // remove it
       },
       false},
      {"ImportChiCalibrations", [&] { dialogs_.Answer(chi); }, false},
      {"ImportOldCalibrations", [&] { dialogs_.Answer(list); }, true},
      {"CacheDisable", [&] { dialogs_.Answer(std::vector<std::string>{wci}); }, false},
      {"SaveCalibration",
       [&] {
         dialogs_.Answer(wci);
         f.MenuItem("OpenImage")->trigger();
         SettleTeskor();
       },
       false},
      {"SingleFileToWCI",
       [&] {
         dialogs_.Answer(dir_ / "plain.png");
         dialogs_.Answer(dir_ / "plain.WCI");
       },
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item);
    row.answers();
    watch.Reset();
    f.MenuItem(row.item)->trigger();
    SettleTeskor();
    EXPECT_EQ(watch.Shown(), row.cancel);
    EXPECT_FALSE(f.MsgP->isVisible());
    EXPECT_TRUE(f.TB->isEnabled());
  }
  // Each did its work.
  EXPECT_EQ(f.Catalog->Count(), 1);
  EXPECT_EQ(ReadTestFile(dir_ / "charts/CHARTCAL.DIR").find("GONE"), std::string::npos);
  EXPECT_EQ(WciWidth(dir_ / "plain.WCI"), 120);
}

// "Cancel" in the old calibrations' import ends it after the chart in hand;
// what was imported stays.
TEST_F(LongCommands, CancelEndsTheOldCalibrationsImport) {
  const std::string list = OldList({Png("one.png", 120, 90, false), Png("two.png", 120, 90, false)});
  T_Form& f = Start();
  dialogs_.Answer(list);
  TDuringCommand during(
      f, [&f] { return f.MsgT->text().startsWith(QStringLiteral("Done with one.png")); },
      {[&f] {
        ASSERT_TRUE(f.BT->isVisible());
        Click(f.BT, f.BT->rect().center());
      }});
  f.MenuItem("ImportOldCalibrations")->trigger();
  SettleTeskor();
  ASSERT_TRUE(during.AllRan());
  const std::string cal = ReadTestFile(dir_ / "CHARTCAL.DIR");
  EXPECT_NE(cal.find("[one.png]"), std::string::npos) << cal;
  EXPECT_EQ(cal.find("[two.png]"), std::string::npos) << cal;
  ASSERT_FALSE(Asked().empty());
  EXPECT_NE(Asked().back().find("Total calibrations imported: 1\r\nCancelled."), std::string::npos)
      << Asked().back();
}

// The commands that close the open image first leave it, and do nothing,
// when the user keeps its unsaved changes.
TEST_F(LongCommands, NoToUnsavedChangesKeepsTheImageAndDoesNothing) {
  const std::string image = Png("harbour.png", 120, 90);
  const std::string chi = Chi("kiel.chi");
  std::filesystem::create_directories(dir_ / "dst");
  WriteTestFile(dir_ / "BRISMARE_2.INI", "[Program Setup]\r\nChart Dir=" + dir_.path() + "\r\n");
  T_Form& f = Start();
  dialogs_.Answer(image);
  f.MenuItem("OpenImage")->trigger();
  SettleTeskor();
  ASSERT_TRUE(f.Cal.IsOpen());
  f.Cal.SetChanged(true);
  struct Row {
    const char* item;
    std::function<void()> answers;
  };
  const Row rows[] = {
      {"ImportChiCalibrations", [&] { dialogs_.Answer(chi); }},
      {"SingleFileToWCI",
       [&] {
         dialogs_.Answer(image);
         dialogs_.Answer(dir_ / "dst/harbour.WCI");
       }},
      {"ImagesInDirToWCI",
       [&] {
         questions_.Answer(idYes);
         dialogs_.Answer(dir_.path());
         dialogs_.Answer(dir_ / "dst");
         questions_.Answer(idYes);
         questions_.Answer(idYes);
       }},
      {"ScanForNewCharts", [] {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.item);
    questions_.Clear();
    row.answers();
    questions_.Answer(idNo);  // "Changes not saved. Continue?"
    f.MenuItem(row.item)->trigger();
    SettleTeskor();
    ASSERT_FALSE(Asked().empty());
    EXPECT_EQ(Asked().back(), "Changes not saved. Continue?");
    EXPECT_TRUE(f.Cal.IsOpen());
    EXPECT_TRUE(f.Cal.Changed());
  }
  EXPECT_FALSE(TestFileExists(dir_ / "CHARTCAL.DIR"));
  EXPECT_TRUE(FilesIn(dir_ / "dst").empty());
  EXPECT_FALSE(TestFileExists(dir_ / "BRAINDEX.BIN"));
}

// "Compression Factor" decides how much deflate must beat run coding in the
// WCI files the tool writes: rows of short runs that deflate well are
// deflated at the usual 1.8, and kept as runs when it asks for 100.
TEST_F(LongCommands, CompressionFactorComesFromTheSettings) {
  TChartImage image;
  ASSERT_TRUE(image.Allocate(TImageFormat::Indexed8, 2000, 4, int64_t{1} << 20));
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) image.Pixels[size_t(y) * image.Stride + size_t(x)] = uint8_t(x % 7);
  for (int c = 0; c < 7; ++c) image.Palette.push_back(chartfix::ColourOf(c + 1));
  std::string png;
  ASSERT_TRUE(EncodePNG(image, png));
  WriteTestFile(dir_ / "stripes.png", png);
  for (const std::string factor : {"", "100"}) {
    SCOPED_TRACE(factor);
    if (!factor.empty()) WriteTestFile(dir_ / "BRISMARE_2.INI", "[Program Setup]\r\nCompression Factor=" + factor + "\r\n");
    T_Form& f = Start();
    const std::string wci = dir_ / ("stripes" + factor + ".WCI");
    dialogs_.Answer(dir_ / "stripes.png");
    dialogs_.Answer(wci);
    f.MenuItem("SingleFileToWCI")->trigger();
    SettleTeskor();
    const TRowKinds k = RowKinds(wci);
    EXPECT_EQ(k.Runs + k.Deflated, 4);
    EXPECT_EQ(k.Deflated, factor.empty() ? 4 : 0);
  }
}

}  // namespace
