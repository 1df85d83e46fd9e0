#include "platform/qt/QtFileDialogs.h"

#include <QApplication>
#include <QFileDialog>

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A dialog set up with everything the options say that applies to files.
void Prepare(QFileDialog& dialog, const TFileDialogOptions& options) {
  dialog.setWindowTitle(Q(options.title));
  if (!options.initialDir.empty()) dialog.setDirectory(Q(options.initialDir));
  const QStringList filters = QtNameFilters(options.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (options.filterIndex >= 1 && options.filterIndex <= filters.size())
      dialog.selectNameFilter(filters.at(options.filterIndex - 1));
  }
  QString ext = Q(options.defaultExt);
  while (ext.startsWith(u'.')) ext.remove(0, 1);
  dialog.setDefaultSuffix(ext);
  // A name carrying a directory moves the dialog there.
  if (!options.fileName.empty()) dialog.selectFile(Q(options.fileName));
}

std::optional<std::vector<std::string>> Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> names;
  for (const QString& f : dialog.selectedFiles())
    if (!f.isEmpty()) names.push_back(f.toStdString());
  if (names.empty()) return std::nullopt;
  return names;
}

std::optional<std::string> First(std::optional<std::vector<std::string>> names) {
  if (!names) return std::nullopt;
  return names->front();
}

}  // namespace

QStringList QtNameFilters(std::string_view classicFilter) {
  QStringList out;
  for (const TFileFilterEntry& entry : ParseFileFilter(classicFilter)) {
    QStringList patterns;
    for (const std::string& p : entry.patterns) {
      QString pattern = Q(p);
      if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
      for (const QString& variant : {pattern, pattern.toLower()})
        if (!patterns.contains(variant)) patterns << variant;
    }
    out << Q(entry.description) + QStringLiteral(" (") + patterns.join(u' ') + u')';
  }
  return out;
}

std::optional<std::string> TQtFileDialogs::OpenFile(const TFileDialogOptions& options) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  Prepare(dialog, options);
  return First(Run(dialog));
}

std::optional<std::vector<std::string>> TQtFileDialogs::OpenFiles(const TFileDialogOptions& options) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  Prepare(dialog, options);
  return Run(dialog);
}

std::optional<std::string> TQtFileDialogs::SaveFile(const TFileDialogOptions& options) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
  Prepare(dialog, options);
  return First(Run(dialog));
}

std::optional<std::string> TQtFileDialogs::PickFolder(const std::string& title, const std::string& initialDir) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setWindowTitle(Q(title));
  if (!initialDir.empty()) dialog.setDirectory(Q(initialDir));
  return First(Run(dialog));
}
