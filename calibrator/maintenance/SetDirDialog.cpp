#include "calibrator/maintenance/SetDirDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>
#include <string>
#include <vector>

#include "charts/HeaderText.h"
#include "foundation/qt/Language.h"
#include "platform/FileDialogs.h"
#include "platform/Paths.h"
#include "platform/Questions.h"
#include "sharedui/DialogSupport.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::string Trimmed(const QString& s) { return s.trimmed().toStdString(); }

}  // namespace

T_SetDir::T_SetDir(const std::string& iniFile, const std::string& dataDir, QWidget* parent)
    : QDialog(parent), iniFile_(iniFile), dataDir_(WithTrailingSlash(dataDir)) {
  setObjectName(QStringLiteral("_SetDir"));
  setWindowTitle(QStringLiteral("Set Directories"));
  auto* g = new QGridLayout(this);
  auto browse = [this](const char* name) {
    auto* b = new QPushButton(QStringLiteral("<<"), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("<<<<")) + 8);
    return b;
  };
  auto* chtLabel = new QLabel(QStringLiteral("Chart Directories"), this);
  chtLabel->setObjectName(QStringLiteral("L_Cht"));
  g->addWidget(chtLabel, 0, 0, 1, 2);
  DIR_Cht = new QPlainTextEdit(this);
  DIR_Cht->setObjectName(QStringLiteral("DIR_Cht"));
  DIR_Cht->setLineWrapMode(QPlainTextEdit::NoWrap);
  DIR_Cht->setProperty(kTagProperty, 1);  // the directories, not a text to translate
  g->addWidget(DIR_Cht, 1, 0);
  ChtBrowse = browse("ChtBrowse");
  g->addWidget(ChtBrowse, 1, 1, Qt::AlignTop);
  int row = 2;
  auto edit = [&](const char* name, const char* caption, const char* button, QPushButton*& b) {
    auto* label = new QLabel(QString::fromLatin1(caption), this);
    label->setObjectName(QStringLiteral("L_") + QString::fromLatin1(name + 4));  // "DIR_Rt" -> "L_Rt"
    g->addWidget(label, row++, 0, 1, 2);
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    g->addWidget(e, row, 0);
    b = browse(button);
    g->addWidget(b, row++, 1);
    connect(b, &QPushButton::clicked, this, [this, e, caption] { BrowseEdit(e, caption); });
    return e;
  };
  DIR_Rt = edit("DIR_Rt", "Route Directory", "RtBrowse", RtBrowse);
  DIR_Wp = edit("DIR_Wp", "Waypoint Directory", "WpBrowse", WpBrowse);
  DIR_Tr = edit("DIR_Tr", "Tracks Directory", "TrBrowse", TrBrowse);
  DIR_Tmp = edit("DIR_Tmp", "Temp Directory", "TmpBrowse", TmpBrowse);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  OkButton = new QPushButton(QStringLiteral("Ok"), this);
  OkButton->setObjectName(QStringLiteral("OkButton"));
  OkButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  CancelButton->setAutoDefault(false);
  buttons->addWidget(OkButton);
  buttons->addWidget(CancelButton);
  g->addLayout(buttons, row, 0, 1, 2);
  g->setColumnStretch(0, 1);
  g->setRowStretch(1, 1);
  resize(420, 420);
  connect(ChtBrowse, &QPushButton::clicked, this, [this] { BrowseChartDir(); });
  connect(OkButton, &QPushButton::clicked, this, [this] { OkClick(); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
  Load();
}

void T_SetDir::Load() {
  shown_ = ReadDirectorySettings(iniFile_);
  shownLines_ = ChartDirToLines(shown_.ChartDir);
  DIR_Cht->setPlainText(Q(shownLines_));
  DIR_Rt->setText(Q(shown_.RouteDir));
  DIR_Wp->setText(Q(shown_.WaypointDir));
  DIR_Tr->setText(Q(shown_.TrackDir));
  DIR_Tmp->setText(Q(shown_.TempDir));
}

TDirectorySettings T_SetDir::Edited() const {
  TDirectorySettings s;
  // The memo as shown keeps the stored text, even one the join would tidy.
  const std::string lines = DIR_Cht->toPlainText().toStdString();
  s.ChartDir = lines == shownLines_ ? shown_.ChartDir : ChartDirFromLines(lines);
  s.RouteDir = Trimmed(DIR_Rt->text());
  s.WaypointDir = Trimmed(DIR_Wp->text());
  s.TrackDir = Trimmed(DIR_Tr->text());
  s.TempDir = Trimmed(DIR_Tmp->text());
  return s;
}

std::string T_SetDir::StartDir(const std::string& text) const {
  if (text.empty()) return std::string();
  return ResolveStoredPath(text, dataDir_);
}

void T_SetDir::BrowseEdit(QLineEdit* edit, const char* caption) {
  const std::optional<std::string> folder = PickFolderDialog(caption, StartDir(Trimmed(edit->text())));
  if (folder && !folder->empty()) edit->setText(Q(*folder));
}

void T_SetDir::BrowseChartDir() {
  std::string text = DIR_Cht->toPlainText().toStdString();
  const std::vector<std::string> lines = SplitTextLines(text);
  std::string last;
  for (auto it = lines.rbegin(); it != lines.rend() && last.empty(); ++it) last = std::string(TrimText(*it));
  // "*" (take in the subdirectories) is no part of the folder's name.
  std::erase(last, '*');
  const std::optional<std::string> folder = PickFolderDialog("Chart Directories", StartDir(last));
  if (!folder || folder->empty()) return;
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += ChartDirLineOfFolder(*folder);
  DIR_Cht->setPlainText(Q(text));
  DIR_Cht->moveCursor(QTextCursor::End);
}

void T_SetDir::OkClick() {
  std::string error;
  if (!SaveDirectorySettings(iniFile_, shown_, Edited(), &error)) {
    // Nothing typed is lost: the dialog stays open.
    ProgramMessage("The directories could not be stored: " + error, mfOk | mfIconError);
    return;
  }
  accept();
}
