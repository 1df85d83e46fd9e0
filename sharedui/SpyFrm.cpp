#include "sharedui/SpyFrm.h"

#include <QButtonGroup>
#include <QFont>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "foundation/GenUtil.h"
#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/Questions.h"
#include "sharedui/DialogSupport.h"
#include "sharedui/LinePrinter.h"

namespace {

// The monitors keep this many lines before a new one.
constexpr int kMonitorLines = 100;

// A small printer picture for the print button.
QIcon PrinterIcon() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::white);
  p.drawRect(4, 1, 7, 5);  // paper
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(1, 6, 13, 6);  // body
  p.setBrush(Qt::white);
  p.drawRect(4, 10, 7, 4);  // printed sheet
  return QIcon(pm);
}

QToolButton* FlatButton(QWidget* parent, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoRaise(true);
  return b;
}

}  // namespace

TSpyFrm::TSpyFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SpyFrm"));
  setWindowTitle(QStringLiteral("Spy Window"));
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinMaxButtonsHint);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(2, 2, 2, 2);
  outer->setSpacing(2);
  auto* bar = new QHBoxLayout;
  SpeedButton4 = FlatButton(this, "SpeedButton4");
  SpeedButton4->setIcon(PrinterIcon());
  SpeedButton4->setToolTip(QStringLiteral("Print"));
  SpeedButton3 = FlatButton(this, "SpeedButton3");
  SpeedButton3->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  SpeedButton3->setToolTip(QStringLiteral("Save"));
  SpeedButton5 = FlatButton(this, "SpeedButton5");
  SpeedButton5->setText(QStringLiteral("X"));
  QFont bold = SpeedButton5->font();
  bold.setBold(true);
  SpeedButton5->setFont(bold);
  bar->addWidget(SpeedButton4);
  bar->addWidget(SpeedButton3);
  bar->addWidget(SpeedButton5);
  Control = new QWidget(this);
  Control->setObjectName(QStringLiteral("Control"));
  auto* controlLayout = new QHBoxLayout(Control);
  controlLayout->setContentsMargins(8, 0, 0, 0);
  SpeedButton1 = FlatButton(Control, "SpeedButton1");
  SpeedButton1->setText(QStringLiteral(">"));
  SpeedButton2 = FlatButton(Control, "SpeedButton2");
  SpeedButton2->setText(QStringLiteral("||"));
  for (QToolButton* b : {SpeedButton1, SpeedButton2}) {
    b->setCheckable(true);
    controlLayout->addWidget(b);
  }
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  group->addButton(SpeedButton1);
  group->addButton(SpeedButton2);
  SpeedButton1->setChecked(true);
  bar->addWidget(Control);
  bar->addStretch(1);
  outer->addLayout(bar);

  SpyTxt = new QPlainTextEdit(this);
  SpyTxt->setObjectName(QStringLiteral("SpyTxt"));
  SpyTxt->setReadOnly(true);
  SpyTxt->setLineWrapMode(QPlainTextEdit::NoWrap);
  SpyTxt->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont mono(QStringLiteral("Courier"), 10);
  mono.setStyleHint(QFont::Monospace);
  SpyTxt->setFont(mono);
  // Shows data, not fixed text: the language file leaves it alone.
  SpyTxt->setProperty("tag", 1);
  outer->addWidget(SpyTxt, 1);
  resize(520, 360);

  connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
  connect(SpeedButton5, &QToolButton::clicked, this, [this] { SpeedButton5Click(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SetRunning(true); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SetRunning(false); });
}

void TSpyFrm::SetPreview(const std::string& title) {
  setWindowTitle(QString::fromStdString(title));
  printTitle_ = title;
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  preview_ = true;
  Control->hide();
}

void TSpyFrm::SetRunning(bool running) {
  running_ = running;
  SpeedButton1->setChecked(running);
  SpeedButton2->setChecked(!running);
}

void TSpyFrm::showEvent(QShowEvent* e) {
  SetRunning(true);
  QDialog::showEvent(e);
}

void TSpyFrm::AddLine(const std::string& text) { SpyTxt->appendPlainText(QString::fromStdString(text)); }

void TSpyFrm::AddLimited(const std::string& text) {
  QTextDocument* doc = SpyTxt->document();
  while (doc->blockCount() > kMonitorLines) {
    QTextCursor c(doc->firstBlock());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
  }
  AddLine(text);
}

void TSpyFrm::AddInputLine(const std::string& text) {
  if (running_) AddLimited(text);
}

void TSpyFrm::AddOutputLine(const std::string& text) {
  if (!running_) return;
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  AddLimited(t);
}

void TSpyFrm::AddInfoLine(const std::string& label, const std::string& value) {
  if (value.empty() || value[0] == '?') return;
  AddLine(PadRight(label, ' ', 10) + "\t" + value);
}

void TSpyFrm::Clear() { SpyTxt->clear(); }

std::vector<std::string> TSpyFrm::Lines() const {
  std::vector<std::string> out;
  if (SpyTxt->document()->isEmpty()) return out;
  for (QTextBlock b = SpyTxt->document()->begin(); b.isValid(); b = b.next()) out.push_back(b.text().toStdString());
  return out;
}

int TSpyFrm::LineCount() const { return SpyTxt->document()->isEmpty() ? 0 : SpyTxt->document()->blockCount(); }

void TSpyFrm::SpeedButton4Click() {
  QPrinter printer;
  bool chosen = false;
  if (ChoosePrinter) {
    chosen = ChoosePrinter(printer);
  } else {
    QPrintDialog dialog(&printer, this);
    chosen = dialog.exec() == QDialog::Accepted;
  }
  if (!chosen) return;
  if (!PrintLines(printer, printTitle_, Lines())) ProgramMessage("The printer could not be started", mfOk | mfIconError);
  if (preview_) close();
}

void TSpyFrm::SpeedButton3Click() {
  TFileDialogOptions o;
  o.filter = "Text Files|*.TXT";
  o.defaultExt = "TXT";
  o.overwritePrompt = true;
  const std::optional<std::string> file = SaveFileDialog(o);
  if (file && !file->empty()) {
    std::string text;
    for (const std::string& line : Lines()) text += line + "\r\n";
    std::string error;
    if (!AtomicWriteFile(*file, text, &error)) ProgramMessage("Unable to write to " + *file + ": " + error, mfOk | mfIconError);
  }
  if (preview_) close();
}

void TSpyFrm::SpeedButton5Click() { close(); }
