// The plotter's "List All" and "On Position" through the shared window of
// available charts (TChartAvail): the charts of the catalog sorted by
// scale, the column captions and the window title from the language file,
// the headings turning the order, and a click on a row opening that chart.
#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "ChartFixtures.h"
#include "PlotterFixture.h"
#include "charts/ChartList.h"
#include "plotter/MainForm.h"
#include "sharedui/ChartAvail.h"

namespace {


struct TShown {
  std::string title;
  std::vector<std::string> headings;
  std::vector<std::vector<std::string>> rows;  // name, scale, file
};

TShown Read(TChartAvail& avail) {
  TShown s;
  s.title = avail.windowTitle().toStdString();
  QTreeWidgetItem* h = avail.ChartList->headerItem();
  for (int c = 0; c < avail.ChartList->columnCount(); ++c) s.headings.push_back(h->text(c).toStdString());
  for (int i = 0; i < avail.ChartList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = avail.ChartList->topLevelItem(i);
    s.rows.push_back({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString()});
  }
  return s;
}

std::vector<std::string> Column(const TShown& s, int c) {
  std::vector<std::string> v;
  for (const auto& r : s.rows) v.push_back(r[static_cast<size_t>(c)]);
  return v;
}

void ClickHeading(TChartAvail& avail, int column) {
  QHeaderView* header = avail.ChartList->header();
  const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
  SendMouse(header->viewport(), QEvent::MouseButtonPress, at);
  SendMouse(header->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
  QCoreApplication::processEvents();
}

class ChartAvailWindow : public PlotterTest {
 protected:
  // Four small charts of different scales, in the catalog in this order.
  void WriteCharts() {
    TChartList list;
    chartfix::AddFourCharts(dir_.path(), list);
    ASSERT_TRUE(list.SaveToFile(dir_ / "BRAINDEX.BIN"));
  }
};

TEST_F(ChartAvailWindow, ListAllShowsTheChartsSortedByScaleWithTheLanguageFilesTexts) {
  WriteCharts();
  const std::string lng = dir_ / "svenska.lng";
  WriteTestFile(lng,
                "[Text_2]\r\n"
                "_Form.TX_MESSAGES.Lines.55=Beskrivning\r\n"
                "_Form.TX_MESSAGES.Lines.56=Skala\r\n"
                "ChartAvail.ChartAvail.Caption=Tillgängliga sjökort\r\n"
                "ChartAvail.FileCaption.Caption=Fil\r\n");
  T_Form& f = Start(std::string(kQuietSettings) + "LanguageFile=" + lng + "\r\n");
  Show();
  ASSERT_TRUE(f.ChartList);
  ASSERT_EQ(f.ChartList->Count(), 4);

  std::vector<TShown> shown;
  int answer = QDialog::Rejected;
  f.RunDialog = [&](QDialog& d) {
    auto* avail = qobject_cast<TChartAvail*>(&d);
    if (!avail) return int(QDialog::Rejected);
    d.show();
    QCoreApplication::processEvents();
    shown.push_back(Read(*avail));
    if (answer == QDialog::Rejected) {
      // The headings turn the order: "Scale" again gives the largest
      // first; "Description" then "Scale", the smallest first again.
      ClickHeading(*avail, 1);
      shown.push_back(Read(*avail));
      ClickHeading(*avail, 0);
      shown.push_back(Read(*avail));
      ClickHeading(*avail, 1);
      shown.push_back(Read(*avail));
      d.reject();
      return d.result();
    }
    // A click on the row of "Bay Entrance".
    QTreeWidget* list = avail->ChartList;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      if (list->topLevelItem(i)->text(0) == "Bay Entrance") {
        const QPoint at = list->visualItemRect(list->topLevelItem(i)).center();
        SendMouse(list->viewport(), QEvent::MouseButtonPress, at);
        SendMouse(list->viewport(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        QCoreApplication::processEvents();
      }
    EXPECT_FALSE(d.isVisible());
    return d.result();
  };

  f.ListAllChartsClick();
  ASSERT_EQ(shown.size(), 4u);
  const TShown& first = shown[0];
  EXPECT_EQ(first.title, "Tillgängliga sjökort");
  EXPECT_EQ(first.headings, (std::vector<std::string>{"Beskrivning", "Skala", "Fil"}));
  EXPECT_EQ(Column(first, 0),
            (std::vector<std::string>{"Inner Harbour", "Harbour Approach", "Bay Entrance", "coastal passage"}));
  EXPECT_EQ(Column(first, 1), (std::vector<std::string>{"1:10000", "1:25000", "1:50000", "1:250000"}));
  EXPECT_EQ(Column(first, 2), (std::vector<std::string>{dir_ / "C.PNG", dir_ / "B.PNG", dir_ / "D.PNG", dir_ / "A.PNG"}));
  EXPECT_EQ(Column(shown[1], 1), (std::vector<std::string>{"1:250000", "1:50000", "1:25000", "1:10000"}));
  EXPECT_EQ(Column(shown[2], 0),
            (std::vector<std::string>{"Bay Entrance", "coastal passage", "Harbour Approach", "Inner Harbour"}));
  EXPECT_EQ(Column(shown[3], 1), (std::vector<std::string>{"1:10000", "1:25000", "1:50000", "1:250000"}));
  // Nothing chosen: no chart was opened.
  EXPECT_EQ(f.Chart().CurrentChartFile, "");

  // Chosen with a click: that chart opens.
  answer = QDialog::Accepted;
  shown.clear();
  f.ListAllChartsClick();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(Column(shown[0], 1), (std::vector<std::string>{"1:10000", "1:25000", "1:50000", "1:250000"}));
  EXPECT_EQ(f.Chart().CurrentChartFile, dir_ / "D.PNG");
  EXPECT_EQ(f.Chart().ChartInfo.Layout.Name, "Bay Entrance");
}

TEST_F(ChartAvailWindow, OnPositionListsTheChartsThereAndListAllTheWholeCatalogAgain) {
  WriteCharts();
  T_Form& f = Start();
  Show();
  std::vector<TShown> shown;
  f.RunDialog = [&](QDialog& d) {
    if (auto* avail = qobject_cast<TChartAvail*>(&d)) {
      d.show();
      QCoreApplication::processEvents();
      shown.push_back(Read(*avail));
    }
    d.reject();
    return int(QDialog::Rejected);
  };
  // Inside "Harbour Approach" (10.0 .. 10.5 E) and nothing else.
  f.Chart().MenuPos = {10.25 * kDegToRad, 54.35 * kDegToRad};
  f.Chart().MenuPosValid = true;
  f.OnPosition1Click();
  f.ListAllChartsClick();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(Column(shown[0], 0), (std::vector<std::string>{"Harbour Approach"}));
  EXPECT_EQ(shown[0].headings, (std::vector<std::string>{"Description", "Scale", "File"}));
  EXPECT_EQ(Column(shown[1], 1), (std::vector<std::string>{"1:10000", "1:25000", "1:50000", "1:250000"}));
}

}  // namespace
