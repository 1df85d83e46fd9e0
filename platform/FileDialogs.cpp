#include "platform/FileDialogs.h"

#include <utility>

#include "platform/TextBasics.h"

namespace {

IFileDialogs* gDialogs = nullptr;

// Splits at `sep`, keeping empty fields.
std::vector<std::string_view> Split(std::string_view s, char sep) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    const size_t pos = s.find(sep, start);
    if (pos == std::string_view::npos) {
      out.push_back(s.substr(start));
      return out;
    }
    out.push_back(s.substr(start, pos - start));
    start = pos + 1;
  }
}

}  // namespace

std::vector<TFileFilterEntry> ParseFileFilter(std::string_view filter) {
  std::vector<TFileFilterEntry> out;
  if (filter.empty()) return out;
  const std::vector<std::string_view> fields = Split(filter, '|');
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    TFileFilterEntry entry;
    entry.description = std::string(TrimSpaceTab(fields[i]));
    for (std::string_view p : Split(fields[i + 1], ';')) {
      p = TrimSpaceTab(p);
      if (!p.empty()) entry.patterns.emplace_back(p);
    }
    if (!entry.patterns.empty()) out.push_back(std::move(entry));
  }
  return out;
}

std::optional<std::vector<std::string>> TScriptedFileDialogs::Next(Kind kind, const TFileDialogOptions& options) {
  requests_.push_back({kind, options});
  if (script_.empty()) return std::nullopt;
  std::optional<std::vector<std::string>> answer = std::move(script_.front());
  script_.pop_front();
  if (answer && answer->empty()) return std::nullopt;
  return answer;
}

std::optional<std::string> TScriptedFileDialogs::OpenFile(const TFileDialogOptions& options) {
  auto names = Next(Kind::Open, options);
  if (!names) return std::nullopt;
  return names->front();
}

std::optional<std::vector<std::string>> TScriptedFileDialogs::OpenFiles(const TFileDialogOptions& options) {
  return Next(Kind::OpenMany, options);
}

std::optional<std::string> TScriptedFileDialogs::SaveFile(const TFileDialogOptions& options) {
  auto names = Next(Kind::Save, options);
  if (!names) return std::nullopt;
  return names->front();
}

std::optional<std::string> TScriptedFileDialogs::PickFolder(const std::string& title, const std::string& initialDir) {
  TFileDialogOptions options;
  options.title = title;
  options.initialDir = initialDir;
  auto names = Next(Kind::Folder, options);
  if (!names) return std::nullopt;
  return names->front();
}

IFileDialogs* SetFileDialogs(IFileDialogs* dialogs) {
  IFileDialogs* previous = gDialogs;
  gDialogs = dialogs;
  return previous;
}

IFileDialogs* FileDialogs() { return gDialogs; }

std::optional<std::string> OpenFileDialog(const TFileDialogOptions& options) {
  return gDialogs ? gDialogs->OpenFile(options) : std::nullopt;
}

std::optional<std::vector<std::string>> OpenFilesDialog(const TFileDialogOptions& options) {
  return gDialogs ? gDialogs->OpenFiles(options) : std::nullopt;
}

std::optional<std::string> SaveFileDialog(const TFileDialogOptions& options) {
  return gDialogs ? gDialogs->SaveFile(options) : std::nullopt;
}

std::optional<std::string> PickFolderDialog(const std::string& title, const std::string& initialDir) {
  return gDialogs ? gDialogs->PickFolder(title, initialDir) : std::nullopt;
}
