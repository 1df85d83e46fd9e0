#include "sharedui/ChartAvail.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "charts/ChartList.h"
#include "foundation/NumText.h"

namespace {

std::optional<int64_t> ScaleOf(const std::string& text) {
  std::string_view t = text;
  if (t.substr(0, 2) == "1:") t.remove_prefix(2);
  return TryStrToInt64(t);
}

// -1, 0, 1 by the upper-cased texts.
int CompareNoCase(const std::string& a, const std::string& b) {
  const std::string ua = CatalogUpper(a), ub = CatalogUpper(b);
  return ua < ub ? -1 : (ub < ua ? 1 : 0);
}

}  // namespace

bool ChartRowBefore(const TChartRow& a, const TChartRow& b, int key) {
  if (key == 0) return CompareNoCase(a.Name, b.Name) < 0;
  if (key == 2 || key == -2) {
    const int c = CompareNoCase(a.File, b.File);
    return key > 0 ? c < 0 : c > 0;
  }
  const std::optional<int64_t> sa = ScaleOf(a.ScaleText), sb = ScaleOf(b.ScaleText);
  if (!sa || !sb) return sa && !sb;  // numbers first; non-numbers equal among themselves
  return key > 0 ? *sa < *sb : *sa > *sb;
}

void SortChartRows(std::vector<TChartRow>& rows, int key) {
  std::stable_sort(rows.begin(), rows.end(),
                   [key](const TChartRow& a, const TChartRow& b) { return ChartRowBefore(a, b, key); });
}

int NextSortKey(int key, int column) {
  if (column < 0 || column > 2) return key;
  return column == (key < 0 ? -key : key) ? -key : column;
}

TChartAvail::TChartAvail(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ChartAvail"));
  setWindowTitle(QStringLiteral("Available Charts"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  ChartList = new QTreeWidget(this);
  ChartList->setObjectName(QStringLiteral("ChartList"));
  ChartList->setColumnCount(3);
  ChartList->setRootIsDecorated(false);
  ChartList->setUniformRowHeights(true);
  ChartList->setSelectionBehavior(QAbstractItemView::SelectRows);
  ChartList->setSelectionMode(QAbstractItemView::SingleSelection);
  ChartList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ChartList->setAllColumnsShowFocus(true);
  ChartList->header()->setSectionsClickable(true);
  ChartList->header()->setStretchLastSection(true);
  ChartList->setColumnWidth(0, 260);
  ChartList->setColumnWidth(1, 105);
  layout->addWidget(ChartList);
  // The column captions as the language file knows them.
  descCaption_ = new QLabel(QStringLiteral("Description"), this);
  descCaption_->setObjectName(QStringLiteral("DescriptionCaption"));
  scaleCaption_ = new QLabel(QStringLiteral("Scale"), this);
  scaleCaption_->setObjectName(QStringLiteral("ScaleCaption"));
  fileCaption_ = new QLabel(QStringLiteral("File"), this);
  fileCaption_->setObjectName(QStringLiteral("FileCaption"));
  for (QLabel* l : {descCaption_, scaleCaption_, fileCaption_}) l->hide();
  resize(640, 420);

  connect(ChartList->header(), &QHeaderView::sectionClicked, this, [this](int c) { ChartListColumnClick(c); });
  connect(ChartList, &QTreeWidget::itemClicked, this, [this] { Choose(); });
  connect(ChartList, &QTreeWidget::itemActivated, this, [this] { Choose(); });
}

void TChartAvail::ResetList() {
  rows_.clear();
  ChartList->clear();
  filled_ = false;
}

void TChartAvail::AddChartItem(const std::string& name, int32_t scale, const std::string& file) {
  rows_.push_back({name, "1:" + std::to_string(scale), file});
  auto* item = new QTreeWidgetItem(ChartList);
  item->setText(0, QString::fromStdString(name));
  item->setText(1, QString::fromStdString(rows_.back().ScaleText));
  item->setText(2, QString::fromStdString(file));
}

void TChartAvail::FillFromCatalog(const TChartList& catalog) {
  const int count = catalog.Count();
  ReportProgress("Generating list", 0, count);
  ResetList();
  ChartList->setUpdatesEnabled(false);
  for (int i = 0; i < count; ++i) {
    if (const RChartLayout* e = catalog.Entry(i)) AddChartItem(e->Name, e->Scale, catalog.ResolvedFileName(i));
    ReportProgress("Generating list", i + 1, count);
  }
  Sort();
  ChartList->setUpdatesEnabled(true);
  filled_ = true;
  ReportProgress(std::string(), 0, 0);
}

void TChartAvail::Sort() {
  SortChartRows(rows_, SortKey);
  ShowRows();
}

void TChartAvail::ShowRows() {
  ChartList->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows_.size()));
  for (const TChartRow& r : rows_) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(r.Name));
    item->setText(1, QString::fromStdString(r.ScaleText));
    item->setText(2, QString::fromStdString(r.File));
    items.push_back(item);
  }
  ChartList->addTopLevelItems(items);
}

void TChartAvail::ChartListColumnClick(int column) {
  SortKey = NextSortKey(SortKey, column);
  Sort();
}

void TChartAvail::Choose() {
  QTreeWidgetItem* item = ChartList->currentItem();
  if (!item) return;
  const int row = ChartList->indexOfTopLevelItem(item);
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  SelectedName = rows_[static_cast<size_t>(row)].Name;
  accept();
}

void TChartAvail::SetColumnCaptions(const QString& description, const QString& scale) {
  descOverride_ = description;
  scaleOverride_ = scale;
}

void TChartAvail::SetListColours(const QColor& background, const QColor& text) {
  QPalette p = ChartList->palette();
  p.setColor(QPalette::Base, background);
  p.setColor(QPalette::Text, text);
  ChartList->setPalette(p);
}

void TChartAvail::showEvent(QShowEvent* e) {
  ChartList->setHeaderLabels({descOverride_.isEmpty() ? descCaption_->text() : descOverride_,
                              scaleOverride_.isEmpty() ? scaleCaption_->text() : scaleOverride_,
                              fileCaption_->text()});
  SelectedName.clear();
  if (!filled_ && Catalog)
    FillFromCatalog(*Catalog);
  else if (SortKey != 0)
    Sort();
  ChartList->setFocus();
  QDialog::showEvent(e);
}
