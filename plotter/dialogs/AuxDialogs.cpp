#include "plotter/dialogs/AuxDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "charts/ChartList.h"
#include "foundation/GenUtil.h"
#include "plotter/PosEdit.h"
#include "plotter/core/SysInfo.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  return b;
}

template <class W>
W* Named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QLabel* Label(QWidget* parent, const char* name, const char* caption, QWidget* buddy = nullptr) {
  auto* l = Named(new QLabel(QString::fromUtf8(caption), parent), name);
  if (buddy) l->setBuddy(buddy);
  return l;
}

// The cancelling keys of the dialogs: Escape and the break key.
bool CancelKey(int key) { return key == Qt::Key_Escape || key == Qt::Key_Pause || key == Qt::Key_Cancel; }
bool EnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The characters of a mask that hold stored text: "0" (a digit) and "L" (a
// letter), up to the first ";" (the rest says how the text is stored).
bool MaskPlace(QChar c) { return c == u'0' || c == u'L' || c == u'9' || c == u'A'; }
QString MaskBody(const std::string& mask) {
  const QString m = Q(mask);
  const qsizetype semi = m.indexOf(u';');
  QString body = semi < 0 ? m : m.left(semi);
  body.remove(u'>');
  body.remove(u'<');
  return body;
}

// The same mask in the form of Qt's input masks: required digits and
// letters, every other character literal.
QString QtInputMask(const std::string& mask) {
  const QString m = Q(mask);
  const qsizetype semi = m.indexOf(u';');
  const QString body = semi < 0 ? m : m.left(semi);
  QString out;
  for (QChar c : body) {
    if (c == u'0')
      out += u'9';
    else if (c == u'L')
      out += u'A';
    else if (c == u'>' || c == u'<')
      out += c;
    else if (QStringLiteral("AaNnXx90Dd#HhBb!{}[]\\").contains(c))
      out += u'\\', out += c;
    else
      out += c;
  }
  return out + QStringLiteral(";_");
}

// Draws masked cells through their mask and edits them with it.
class TMaskDelegate : public QStyledItemDelegate {
 public:
  TMaskDelegate(std::vector<std::string> masks, QObject* parent)
      : QStyledItemDelegate(parent), masks_(std::move(masks)) {}
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const std::string& mask = MaskOf(index.column());
    if (!mask.empty()) option->text = Q(MaskedDisplay(mask, S(index.data(Qt::EditRole).toString())));
  }
  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* e = new QLineEdit(parent);
    const std::string& mask = MaskOf(index.column());
    if (!mask.empty()) e->setInputMask(QtInputMask(mask));
    return e;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* e = static_cast<QLineEdit*>(editor);
    const std::string& mask = MaskOf(index.column());
    const std::string stored = S(index.data(Qt::EditRole).toString());
    e->setText(mask.empty() ? Q(stored) : Q(MaskedDisplay(mask, stored)));
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* e = static_cast<QLineEdit*>(editor);
    const std::string& mask = MaskOf(index.column());
    model->setData(index, mask.empty() ? e->text() : Q(MaskedStored(mask, S(e->displayText()))), Qt::EditRole);
  }

 private:
  const std::string& MaskOf(int column) const {
    static const std::string none;
    return column >= 0 && static_cast<size_t>(column) < masks_.size() ? masks_[static_cast<size_t>(column)] : none;
  }
  std::vector<std::string> masks_;
};

}  // namespace

// ---------------------------------------------------------------------------

void FillTickList(QListWidget* list, const std::vector<std::string>& names, const std::vector<bool>& ticked) {
  list->clear();
  for (size_t i = 0; i < names.size(); ++i) {
    auto* item = new QListWidgetItem(Q(names[i]), list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(i < ticked.size() && ticked[i] ? Qt::Checked : Qt::Unchecked);
  }
}

std::vector<bool> TickedItems(const QListWidget* list) {
  std::vector<bool> v;
  for (int i = 0; i < list->count(); ++i) v.push_back(list->item(i)->checkState() == Qt::Checked);
  return v;
}

std::string MaskedDisplay(const std::string& mask, const std::string& stored) {
  const QString body = MaskBody(mask);
  const QString s = Q(stored);
  QString out;
  qsizetype k = 0;
  for (QChar c : body) {
    if (MaskPlace(c))
      out += k < s.size() ? s[k++] : QChar(u'_');
    else
      out += c;
  }
  return S(out);
}

std::string MaskedStored(const std::string& mask, const std::string& shown) {
  const QString body = MaskBody(mask);
  const QString s = Q(shown);
  QString out;
  for (qsizetype i = 0; i < body.size(); ++i)
    if (MaskPlace(body[i])) out += i < s.size() && s[i] != u'_' ? s[i].toUpper() : QChar(u' ');
  return S(out);
}

// ---------------------------------------------------------------------------
// Edit Position

TWptEdFrm::TWptEdFrm(QWidget* parent) : TPlotterDialog("TWptEdFrm", "WptEdFrm", "Edit Position", parent) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* v = new QVBoxLayout(this);
  auto* group = Named(new QGroupBox(tr("Position"), this), "GroupBox1");
  auto* g = new QGridLayout(group);
  WPLat = Named(new TPosEdit(false, group), "WPLat");
  WPLong = Named(new TPosEdit(true, group), "WPLong");
  g->addWidget(Label(group, "Label1", "Lat", WPLat), 0, 0);
  g->addWidget(WPLat, 0, 1);
  g->addWidget(Label(group, "Label2", "Long", WPLong), 1, 0);
  g->addWidget(WPLong, 1, 1);
  v->addWidget(group);
  auto* fields = new QGridLayout;
  WPText = Named(new QLineEdit(this), "WPText");
  WPText->setMaxLength(kMaxName);
  WPComment = Named(new QPlainTextEdit(this), "WPComment");
  WPComment->setTabChangesFocus(true);
  WPComment->setMinimumHeight(fontMetrics().lineSpacing() * 4);
  fields->addWidget(Label(this, "Label3", "Name", WPText), 0, 0);
  fields->addWidget(WPText, 0, 1);
  fields->addWidget(Label(this, "Label4", "Comment", WPComment), 1, 0, Qt::AlignTop);
  fields->addWidget(WPComment, 1, 1);
  v->addLayout(fields);
  auto* buttons = new QHBoxLayout;
  btnUpdate = Button(this, "btnUpdate", "Save");
  btnCancel = Button(this, "btnCancel", "Cancel");
  buttons->addStretch();
  buttons->addWidget(btnUpdate);
  buttons->addWidget(btnCancel);
  v->addLayout(buttons);
  connect(btnUpdate, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // The comment holds at most kMaxComment characters.
  connect(WPComment, &QPlainTextEdit::textChanged, this, [this] {
    const QString t = WPComment->toPlainText();
    if (t.size() <= kMaxComment) return;
    const QSignalBlocker quiet(WPComment);
    WPComment->setPlainText(t.left(kMaxComment));
    WPComment->moveCursor(QTextCursor::End);
  });
  // The form sees the keys first: Enter saves, also in the comment.
  for (QWidget* w : {static_cast<QWidget*>(WPLat), static_cast<QWidget*>(WPLong), static_cast<QWidget*>(WPText),
                     static_cast<QWidget*>(WPComment)})
    w->installEventFilter(this);
}

bool TWptEdFrm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(e)->key();
    if (EnterKey(key)) {
      accept();
      return true;
    }
    if (CancelKey(key)) {
      reject();
      return true;
    }
  }
  return TPlotterDialog::eventFilter(watched, e);
}

void TWptEdFrm::keyPressEvent(QKeyEvent* e) {
  if (EnterKey(e->key()))
    accept();
  else if (CancelKey(e->key()))
    reject();
  else
    TPlotterDialog::keyPressEvent(e);
}

void TWptEdFrm::showEvent(QShowEvent* e) {
  TPlotterDialog::showEvent(e);
  WPText->setFocus();
}

// ---------------------------------------------------------------------------
// Browser

TBrowser::TBrowser(QWidget* parent) : TPlotterDialog("TBrowser", "Browser", "Browser", parent) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* v = new QVBoxLayout(this);
  Grid = Named(new QTableWidget(this), "Grid");
  Grid->verticalHeader()->setVisible(false);
  Grid->verticalHeader()->setDefaultSectionSize(std::max(16, fontMetrics().height() + 4));
  Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                        QAbstractItemView::AnyKeyPressed);
  v->addWidget(Grid);
  auto* buttons = new QHBoxLayout;
  UpdateButton = Button(this, "BitBtn1", "Update");
  CancelButton = Button(this, "BitBtn2", "Cancel");
  buttons->addStretch();
  buttons->addWidget(UpdateButton);
  buttons->addWidget(CancelButton);
  v->addLayout(buttons);
  connect(UpdateButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  resize(640, 300);
}

void TBrowser::SetGrid(const std::vector<std::string>& titles, const std::vector<int>& widths,
                       const std::vector<std::string>& masks, const std::vector<TRouteGridRow>& rows, int lastColumn,
                       int lastRow) {
  Grid->clear();
  Grid->setColumnCount(static_cast<int>(titles.size()));
  Grid->setRowCount(static_cast<int>(rows.size()));
  QStringList labels;
  for (const std::string& t : titles) labels << Q(t);
  Grid->setHorizontalHeaderLabels(labels);
  // Widths in pixels at the design font, grown with a larger font.
  const double grow = std::max(1.0, fontMetrics().averageCharWidth() / 6.0);
  for (size_t c = 0; c < widths.size(); ++c)
    Grid->setColumnWidth(static_cast<int>(c), static_cast<int>(widths[c] * grow));
  Grid->setItemDelegate(new TMaskDelegate(masks, Grid));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < Grid->columnCount() && c < kRouteGridColumns; ++c) {
      auto* item = new QTableWidgetItem(Q(rows[static_cast<size_t>(r)][static_cast<size_t>(c)]));
      const bool selectable = c >= 1 && c <= lastColumn && r <= lastRow;
      item->setFlags(selectable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::ItemIsEnabled);
      if (c == 0) item->setBackground(palette().button());
      Grid->setItem(r, c, item);
    }
  // No cell cut off: a column is at least as wide as its widest text.
  int total = 0;
  for (int c = 0; c < Grid->columnCount(); ++c) {
    const int wanted = Grid->columnWidth(c);
    Grid->resizeColumnToContents(c);
    Grid->setColumnWidth(c, std::max(wanted, Grid->columnWidth(c) + 4));
    total += Grid->columnWidth(c);
  }
  const int margins = Grid->frameWidth() * 2 + Grid->verticalScrollBar()->sizeHint().width() +
                      layout()->contentsMargins().left() + layout()->contentsMargins().right();
  resize(std::max(640, total + margins), height());
  if (Grid->rowCount() > 0 && Grid->columnCount() > 1) Grid->setCurrentCell(0, 1);
}

std::string TBrowser::Cell(int row, int column) const {
  const QTableWidgetItem* item = Grid->item(row, column);
  return item ? S(item->data(Qt::EditRole).toString()) : std::string();
}

void TBrowser::SetCell(int row, int column, const std::string& stored) {
  if (QTableWidgetItem* item = Grid->item(row, column)) item->setData(Qt::EditRole, Q(stored));
}

std::vector<TRouteGridRow> TBrowser::Rows() const {
  std::vector<TRouteGridRow> rows;
  for (int r = 0; r < Grid->rowCount(); ++r) {
    TRouteGridRow row;
    for (int c = 0; c < kRouteGridColumns && c < Grid->columnCount(); ++c) row[static_cast<size_t>(c)] = Cell(r, c);
    rows.push_back(row);
  }
  return rows;
}

// ---------------------------------------------------------------------------
// Preferred Charts

TPSForm::TPSForm(QWidget* parent) : TPlotterDialog("TPSForm", "PSForm", "Preferred Charts", parent) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* h = new QHBoxLayout(this);
  GroupPanel = Named(new QWidget(this), "GroupPanel");
  auto* gv = new QVBoxLayout(GroupPanel);
  gv->setContentsMargins(0, 0, 0, 0);
  BGL = Named(new QListWidget(GroupPanel), "BGL");
  gv->addWidget(Label(GroupPanel, "Label1", "Prefered Groups", BGL));
  gv->addWidget(BGL);
  h->addWidget(GroupPanel, 1);
  auto* right = new QVBoxLayout;
  PSSetB = Named(new QRadioButton(tr("Set Preferred"), this), "PSSetB");
  PSMaxB = Named(new QRadioButton(tr("Max Scale"), this), "PSMaxB");
  PSSetB->setChecked(true);
  right->addWidget(Label(this, "Label2", "Prefered Scale"));
  right->addWidget(PSSetB);
  right->addWidget(PSMaxB);
  auto* scale = new QHBoxLayout;
  PSVal = Named(new QSpinBox(this), "PSVal");
  PSVal->setRange(0, 10000000);
  PSVal->setSingleStep(1000);
  scale->addWidget(Label(this, "Label3", "1:", PSVal));
  scale->addWidget(PSVal, 1);
  right->addLayout(scale);
  right->addStretch();
  SpeedButton2 = Button(this, "SpeedButton2", "Ok");
  SpeedButton1 = Button(this, "SpeedButton1", "Cancel");
  right->addWidget(SpeedButton2);
  right->addWidget(SpeedButton1);
  h->addLayout(right);
  connect(PSSetB, &QRadioButton::toggled, this, [this] { PSSetBClick(); });
  connect(SpeedButton2, &QPushButton::clicked, this, &QDialog::accept);
  connect(SpeedButton1, &QPushButton::clicked, this, &QDialog::reject);
  // The form sees the keys first, whichever control has the focus (the
  // group list would take "M" as a search for a group's name).
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

bool TPSForm::FormKey(int key) {
  if (CancelKey(key) || key == Qt::Key_M) {
    reject();
    return true;
  }
  if (EnterKey(key)) {
    accept();
    return true;
  }
  return false;
}

bool TPSForm::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && FormKey(static_cast<QKeyEvent*>(e)->key())) return true;
  return TPlotterDialog::eventFilter(watched, e);
}

void TPSForm::PSSetBClick() { PSVal->setEnabled(PSSetB->isChecked()); }

void TPSForm::showEvent(QShowEvent* e) {
  const bool groups = BGL->count() > 0;
  GroupPanel->setVisible(groups);
  PSSetBClick();
  adjustSize();
  resize(std::max(groups ? 412 : 146, sizeHint().width()), height());
  TPlotterDialog::showEvent(e);
}

void TPSForm::keyPressEvent(QKeyEvent* e) {
  if (!FormKey(e->key())) TPlotterDialog::keyPressEvent(e);
}

// ---------------------------------------------------------------------------
// Manage Chart Groups

TGRP_Org::TGRP_Org(QWidget* parent) : TPlotterDialog("TGRP_Org", "GRP_Org", "Manage Chart Groups", parent) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  auto* v = new QVBoxLayout(this);
  PC1 = Named(new QTabWidget(this), "PC1");
  // Every page's tab in sight, whatever the font.
  PC1->tabBar()->setUsesScrollButtons(false);
  v->addWidget(PC1);

  OTab = Named(new QWidget(PC1), "OTab");
  {
    auto* g = new QGridLayout(OTab);
    GrpLst = Named(new QComboBox(OTab), "GrpLst");
    FltLst = Named(new QComboBox(OTab), "FltLst");
    LB1 = Named(new QListWidget(OTab), "LB1");
    LB2 = Named(new QListWidget(OTab), "LB2");
    LB1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LB2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    SpeedButton1 = Button(OTab, "SpeedButton1", "<<");
    SpeedButton2 = Button(OTab, "SpeedButton2", ">>");
    SpeedButton1->setToolTip(tr("Add to group"));
    SpeedButton2->setToolTip(tr("Remove from group"));
    C_Det = Named(new QLabel(OTab), "C_Det");
    C_Det2 = Named(new QLabel(OTab), "C_Det2");
    C_Det2->setWordWrap(true);
    g->addWidget(Label(OTab, "Label1", "Current Group", GrpLst), 0, 0);
    g->addWidget(Label(OTab, "Label2", "Directory Filter", FltLst), 0, 2);
    g->addWidget(GrpLst, 1, 0);
    g->addWidget(FltLst, 1, 2);
    g->addWidget(Label(OTab, "Label3", "Charts in Group", LB1), 2, 0);
    g->addWidget(Label(OTab, "Label4", "Available Charts", LB2), 2, 2);
    g->addWidget(LB1, 3, 0);
    auto* mid = new QVBoxLayout;
    mid->addStretch();
    mid->addWidget(SpeedButton1);
    mid->addWidget(SpeedButton2);
    mid->addStretch();
    g->addLayout(mid, 3, 1);
    g->addWidget(LB2, 3, 2);
    g->addWidget(C_Det, 4, 0, 1, 3);
    g->addWidget(C_Det2, 5, 0, 1, 3);
    PC1->addTab(OTab, tr("Organize Charts"));
  }
  ATab = Named(new QWidget(PC1), "ATab");
  {
    auto* g = new QGridLayout(ATab);
    AGL = Named(new QListWidget(ATab), "AGL");
    AGL2 = Named(new QListWidget(ATab), "AGL2");
    g->addWidget(Label(ATab, "Label5", "Automatic On groups", AGL), 0, 0);
    g->addWidget(Label(ATab, "Label6", "Automatic Off groups", AGL2), 0, 1);
    g->addWidget(AGL, 1, 0);
    g->addWidget(AGL2, 1, 1);
    PC1->addTab(ATab, tr("Autoload Groups"));
  }
  GTab = Named(new QWidget(PC1), "GTab");
  {
    auto* h = new QHBoxLayout(GTab);
    MGrpLst = Named(new QListWidget(GTab), "MGrpLst");
    h->addWidget(MGrpLst, 1);
    auto* b = new QVBoxLayout;
    BtnNewGrp = Button(GTab, "BtnNewGrp", "New Group");
    BtnRenGrp = Button(GTab, "BtnRenGrp", "Rename Group");
    BtnDelGrp = Button(GTab, "BtnDelGrp", "Delete Group");
    b->addWidget(BtnNewGrp);
    b->addWidget(BtnRenGrp);
    b->addWidget(BtnDelGrp);
    b->addStretch();
    h->addLayout(b);
    PC1->addTab(GTab, tr("Group Setup"));
  }
  auto* buttons = new QHBoxLayout;
  BtnOk = Button(this, "BtnOk", "Ok");
  BtnCancel = Button(this, "BtnCancel", "Cancel");
  buttons->addStretch();
  buttons->addWidget(BtnOk);
  buttons->addWidget(BtnCancel);
  v->addLayout(buttons);
  resize(560, 420);

  connect(PC1, &QTabWidget::currentChanged, this, [this](int page) {
    // Leaving the "Autoload Groups" page keeps its ticks.
    if (shownPage_ == PC1->indexOf(ATab) && page != shownPage_) StoreAutoload();
    shownPage_ = page;
    PageSetUp(page);
  });
  connect(GrpLst, &QComboBox::currentIndexChanged, this, [this] { GrpLstChange(); });
  connect(FltLst, &QComboBox::currentIndexChanged, this, [this] { GrpLstChange(); });
  connect(SpeedButton1, &QPushButton::clicked, this, [this] { AddClick(); });
  connect(SpeedButton2, &QPushButton::clicked, this, [this] { RemoveClick(); });
  connect(LB2, &QListWidget::itemDoubleClicked, this, [this] { AddClick(); });
  connect(LB1, &QListWidget::itemDoubleClicked, this, [this] { RemoveClick(); });
  connect(LB1, &QListWidget::itemClicked, this, [this] { ShowDetails(LB1, LB2); });
  connect(LB2, &QListWidget::itemClicked, this, [this] { ShowDetails(LB2, LB1); });
  connect(BtnNewGrp, &QPushButton::clicked, this, [this] { BtnNewGrpClick(); });
  connect(BtnRenGrp, &QPushButton::clicked, this, [this] { BtnRenGrpClick(); });
  connect(BtnDelGrp, &QPushButton::clicked, this, [this] { BtnDelGrpClick(); });
  connect(BtnOk, &QPushButton::clicked, this, [this] {
    if (PC1->currentWidget() == ATab) StoreAutoload();
    accept();
  });
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TGRP_Org::SetDirectories(const std::vector<std::string>& directories) {
  const QSignalBlocker quiet(FltLst);
  FltLst->clear();
  FltLst->addItem(QStringLiteral("*.*"));
  for (const std::string& d : directories) FltLst->addItem(Q(d));
  FltLst->setCurrentIndex(-1);
}

void TGRP_Org::showEvent(QShowEvent* e) {
  {
    const QSignalBlocker q1(GrpLst);
    GrpLst->setCurrentIndex(-1);
  }
  MGrpLst->setCurrentRow(-1);
  shownPage_ = PC1->currentIndex();
  PageSetUp(shownPage_);
  LB1->clear();
  LB2->clear();
  C_Det->clear();
  C_Det2->clear();
  // Chart names of a usual length fit the lists.
  const int listWidth = fontMetrics().averageCharWidth() * 26;
  LB1->setMinimumWidth(listWidth);
  LB2->setMinimumWidth(listWidth);
  resize(std::max(width(), sizeHint().width()), std::max(height(), sizeHint().height()));
  TPlotterDialog::showEvent(e);
}

void TGRP_Org::PageSetUp(int page) {
  std::vector<std::string> names;
  if (Catalog) Catalog->ListGroups(names);
  QWidget* w = PC1->widget(page);
  if (w == OTab) {
    const QSignalBlocker quiet(GrpLst);
    GrpLst->clear();
    for (const std::string& n : names) GrpLst->addItem(Q(n));
    GrpLst->setCurrentIndex(-1);
    LB1->clear();
    LB2->clear();
  } else if (w == GTab) {
    MGrpLst->clear();
    for (const std::string& n : names) MGrpLst->addItem(Q(n));
  } else if (w == ATab) {
    std::vector<bool> autoTicks, browseTicks;
    for (const std::string& n : names) {
      const int32_t bit = Catalog ? Catalog->GroupBit(n) : 0;
      autoTicks.push_back(Settings && (Settings->AutoGroups & bit) != 0);
      browseTicks.push_back(Settings && (Settings->BrowseGroups & bit) != 0);
    }
    FillTickList(AGL, names, autoTicks);
    FillTickList(AGL2, names, browseTicks);
  }
}

void TGRP_Org::StoreAutoload() {
  if (!Catalog || !Settings) return;
  std::vector<int32_t> bits;
  for (int i = 0; i < AGL->count(); ++i) bits.push_back(Catalog->GroupBit(S(AGL->item(i)->text())));
  Settings->AutoGroups = TickedGroupMask(bits, TickedItems(AGL));
  bits.clear();
  for (int i = 0; i < AGL2->count(); ++i) bits.push_back(Catalog->GroupBit(S(AGL2->item(i)->text())));
  Settings->BrowseGroups = TickedGroupMask(bits, TickedItems(AGL2));
}

void TGRP_Org::GrpLstChange() {
  LB1->clear();
  LB2->clear();
  if (!Catalog || GrpLst->currentIndex() < 0) return;
  ChosenBit = Catalog->GroupBit(S(GrpLst->currentText()));
  if (ChosenBit == 0) return;
  // Each item names one catalog entry by its index: two charts of the same
  // name are two members.
  std::vector<int> members, others;
  const std::string filter = FltLst->currentIndex() < 0 ? std::string() : S(FltLst->currentText());
  Catalog->ListEntries(ChosenBit, members, filter, others);
  auto add = [this](QListWidget* list, int index) {
    auto* item = new QListWidgetItem(Q(Catalog->Entry(index)->Name), list);
    item->setData(Qt::UserRole, index);
  };
  for (int i : members) add(LB1, i);
  for (int i : others) add(LB2, i);
  LB1->sortItems();
  LB2->sortItems();
}

void TGRP_Org::Move(QListWidget* from, QListWidget* to, bool join) {
  if (!Catalog || ChosenBit == 0) return;
  for (int i = from->count() - 1; i >= 0; --i) {
    QListWidgetItem* item = from->item(i);
    if (!item->isSelected()) continue;
    const int index = item->data(Qt::UserRole).toInt();
    if (const RChartLayout* e = Catalog->Entry(index))
      Catalog->SetGroupMask(index, join ? (e->GroupMask | ChosenBit) : (e->GroupMask & ~ChosenBit));
    to->addItem(from->takeItem(i));
  }
  LB1->sortItems();
  LB2->sortItems();
}

void TGRP_Org::AddClick() { Move(LB2, LB1, true); }
void TGRP_Org::RemoveClick() { Move(LB1, LB2, false); }

void TGRP_Org::ShowDetails(QListWidget* list, QListWidget* other) {
  other->clearSelection();
  QListWidgetItem* item = list->currentItem();
  if (!item || !Catalog) return;
  const int index = item->data(Qt::UserRole).toInt();
  const RChartLayout* e = Catalog->Entry(index);
  if (!e) return;
  C_Det->setText(Q(e->Name + " 1:" + std::to_string(e->Scale)));
  C_Det2->setText(Q(Catalog->ResolvedFileName(index)));
}

void TGRP_Org::RefillGroupLists() {
  std::vector<std::string> names;
  if (Catalog) Catalog->ListGroups(names);
  {
    const QSignalBlocker quiet(GrpLst);
    const QString chosen = GrpLst->currentText();
    GrpLst->clear();
    for (const std::string& n : names) GrpLst->addItem(Q(n));
    GrpLst->setCurrentIndex(GrpLst->findText(chosen));
  }
  MGrpLst->clear();
  for (const std::string& n : names) MGrpLst->addItem(Q(n));
}

void TGRP_Org::BtnNewGrpClick() {
  if (!Catalog || Catalog->GroupCount() >= kChartGroupCount || !InputQuery) return;
  const std::optional<std::string> name = InputQuery(NewGroupTitle, GroupNamePrompt, std::string());
  if (!name || TrimBlanks(*name).empty()) return;
  // A name the table has already would make two groups of one name, of
  // which only the first could be chosen.
  if (Catalog->GroupIndex(*name) >= 0) return;
  Catalog->AddGroup(*name);
  RefillGroupLists();
}

void TGRP_Org::BtnRenGrpClick() {
  if (!Catalog || !InputQuery || !MGrpLst->currentItem()) return;
  const std::string old = S(MGrpLst->currentItem()->text());
  const int slot = Catalog->GroupIndex(old);
  if (slot < 0) return;
  const std::optional<std::string> name = InputQuery(ChangeGroupTitle, GroupNamePrompt, old);
  if (!name || TrimBlanks(*name).empty()) return;
  // The slot, its bit and its members stay: the autoload ticks and the
  // charts' memberships follow the new name.
  if (!Catalog->RenameGroup(old, *name)) return;
  RefillGroupLists();
}

void TGRP_Org::BtnDelGrpClick() {
  if (!Catalog || !MGrpLst->currentItem()) return;
  const std::string name = S(MGrpLst->currentItem()->text());
  if (AskYes && !AskYes(name + DeleteQuestion)) return;
  Catalog->DeleteGroup(name);
  RefillGroupLists();
  LB1->clear();
  LB2->clear();
}

// ---------------------------------------------------------------------------
// Chart Search

TS_Frm::TS_Frm(QWidget* parent) : TPlotterDialog("TS_Frm", "S_Frm", "Chart Search", parent) {
  setWindowFlags(Qt::Tool);
  auto* v = new QVBoxLayout(this);
  auto* groups = new QGroupBox(this);
  {
    auto* gv = new QVBoxLayout(groups);
    CB_SG = Named(new QCheckBox(tr("Search on Groups"), groups), "CB_SG");
    BGL = Named(new QListWidget(groups), "BGL");
    BGL->setMinimumHeight(fontMetrics().lineSpacing() * 5);
    gv->addWidget(CB_SG);
    gv->addWidget(BGL);
  }
  v->addWidget(groups, 1);
  auto* name = new QGroupBox(this);
  {
    auto* gv = new QVBoxLayout(name);
    CB_SC = Named(new QCheckBox(tr("Search on Chart Name"), name), "CB_SC");
    S_Txt = Named(new QLineEdit(name), "S_Txt");
    gv->addWidget(CB_SC);
    gv->addWidget(S_Txt);
  }
  v->addWidget(name);
  auto* pos = new QGroupBox(this);
  {
    auto* g = new QGridLayout(pos);
    CB_SP = Named(new QCheckBox(tr("Search on Position"), pos), "CB_SP");
    S_Lat = Named(new TPosEdit(false, pos), "S_Lat");
    S_Long = Named(new TPosEdit(true, pos), "S_Long");
    S_Lat->setToolTip(tr("Waypoint Latitude"));
    S_Long->setToolTip(tr("Waypoint Longitude"));
    g->addWidget(CB_SP, 0, 0, 1, 2);
    g->addWidget(Label(pos, "Label1", "Lat", S_Lat), 1, 0);
    g->addWidget(S_Lat, 1, 1);
    g->addWidget(Label(pos, "Label2", "Long", S_Long), 2, 0);
    g->addWidget(S_Long, 2, 1);
  }
  v->addWidget(pos);
  auto* buttons = new QHBoxLayout;
  OkButton = Button(this, "OkButton", "Ok");
  CancelButton = Button(this, "CancelButton", "Cancel");
  OkButton->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  v->addLayout(buttons);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  // Any change in a panel ticks its box.
  connect(BGL, &QListWidget::itemClicked, this, [this] { CB_SG->setChecked(true); });
  connect(BGL, &QListWidget::itemChanged, this, [this] { CB_SG->setChecked(true); });
  connect(S_Txt, &QLineEdit::textChanged, this, [this] { CB_SC->setChecked(true); });
  connect(S_Lat, &QLineEdit::textChanged, this, [this] { CB_SP->setChecked(true); });
  connect(S_Long, &QLineEdit::textChanged, this, [this] { CB_SP->setChecked(true); });
}

void TS_Frm::SetPosition(const TFPoint& pos) {
  const bool ticked = CB_SP->isChecked();
  S_Lat->SetMaskText(PosToMaskText(false, pos.Y));
  S_Long->SetMaskText(PosToMaskText(true, pos.X));
  CB_SP->setChecked(ticked);
}

// ---------------------------------------------------------------------------
// Select Route

TRLForm::TRLForm(QWidget* parent) : TPlotterDialog("TRLForm", "RLForm", "Select Route", parent) {
  setWindowFlags(Qt::Tool);
  auto* v = new QVBoxLayout(this);
  RList = Named(new QListWidget(this), "RList");
  v->addWidget(RList);
  connect(RList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    RList->setCurrentItem(item);
    accept();
  });
}

int TRLForm::Chosen() const { return RList->currentRow(); }

// ---------------------------------------------------------------------------
// About

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(tr("About"));
  auto* v = new QVBoxLayout(this);
  ProductName = Named(new QLabel(QStringLiteral("Brismare"), this), "ProductName");
  QFont big = ProductName->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  ProductName->setFont(big);
  Version = Named(new QLabel(tr("Version ") + Q(ProgramVersion()), this), "Version");
  auto* comments = Named(new QLabel(tr("A chart plotter for small boats on scanned raster charts."), this), "Comments");
  comments->setWordWrap(true);
  OKButton = Button(this, "OKButton", "OK");
  v->addWidget(ProductName, 0, Qt::AlignHCenter);
  v->addWidget(Version, 0, Qt::AlignHCenter);
  v->addWidget(comments);
  v->addWidget(OKButton, 0, Qt::AlignHCenter);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  for (QLabel* l : {ProductName, Version, comments}) l->installEventFilter(this);
}

void TAboutBox::mousePressEvent(QMouseEvent*) { accept(); }

bool TAboutBox::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress) {
    accept();
    return true;
  }
  return QDialog::eventFilter(watched, e);
}
