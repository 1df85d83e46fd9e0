// File and folder choosers. Every open, save and folder dialog of the
// programs goes through one installable interface: the window programs
// install a Qt implementation, tests a scripted one. With nothing installed
// every dialog counts as cancelled.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One entry of a file-type filter: a description and its name patterns.
struct TFileFilterEntry {
  std::string description;
  std::vector<std::string> patterns;
  friend bool operator==(const TFileFilterEntry&, const TFileFilterEntry&) = default;
};

// Splits a filter in the classic form "Description|*.A;*.B|Description|*.C"
// into its entries. Blanks around patterns are dropped, empty patterns
// skipped; an entry without any pattern is left out. A trailing description
// without a pattern part is ignored.
std::vector<TFileFilterEntry> ParseFileFilter(std::string_view filter);

struct TFileDialogOptions {
  std::string title;
  // Classic filter text, see ParseFileFilter; empty shows every file.
  std::string filter;
  // 1-based entry of the filter selected first.
  int filterIndex = 1;
  // Extension (with or without the leading ".") added to a chosen name
  // that has none.
  std::string defaultExt;
  std::string initialDir;
  // Proposed file name; may hold a directory, which then wins over
  // initialDir.
  std::string fileName;
  // Save dialogs: ask before replacing an existing file.
  bool overwritePrompt = false;
};

class IFileDialogs {
 public:
  virtual ~IFileDialogs() = default;
  // An existing file, or nullopt when cancelled.
  virtual std::optional<std::string> OpenFile(const TFileDialogOptions& options) = 0;
  // One or more existing files, or nullopt when cancelled.
  virtual std::optional<std::vector<std::string>> OpenFiles(const TFileDialogOptions& options) = 0;
  virtual std::optional<std::string> SaveFile(const TFileDialogOptions& options) = 0;
  virtual std::optional<std::string> PickFolder(const std::string& title, const std::string& initialDir) = 0;
};

// Records every request and answers from a script; an empty script answers
// with a cancel.
class TScriptedFileDialogs final : public IFileDialogs {
 public:
  enum class Kind { Open, OpenMany, Save, Folder };
  struct Request {
    Kind kind;
    TFileDialogOptions options;  // for Folder: title and initialDir only
  };

  std::optional<std::string> OpenFile(const TFileDialogOptions& options) override;
  std::optional<std::vector<std::string>> OpenFiles(const TFileDialogOptions& options) override;
  std::optional<std::string> SaveFile(const TFileDialogOptions& options) override;
  std::optional<std::string> PickFolder(const std::string& title, const std::string& initialDir) override;

  // The next dialog of any kind returns these names; nullopt or an empty
  // list means Cancel. A single-file dialog takes the first name.
  void Answer(std::optional<std::vector<std::string>> names) { script_.push_back(std::move(names)); }
  void Answer(const std::string& name) { script_.push_back(std::vector<std::string>{name}); }
  void Cancel() { script_.push_back(std::nullopt); }

  const std::vector<Request>& requests() const { return requests_; }
  void Clear() {
    requests_.clear();
    script_.clear();
  }

 private:
  std::optional<std::vector<std::string>> Next(Kind kind, const TFileDialogOptions& options);
  std::deque<std::optional<std::vector<std::string>>> script_;
  std::vector<Request> requests_;
};

IFileDialogs* SetFileDialogs(IFileDialogs* dialogs);  // returns the previous one
IFileDialogs* FileDialogs();                          // may be nullptr

// Through the installed dialogs; nullopt (cancelled) when none is installed.
std::optional<std::string> OpenFileDialog(const TFileDialogOptions& options);
std::optional<std::vector<std::string>> OpenFilesDialog(const TFileDialogOptions& options);
std::optional<std::string> SaveFileDialog(const TFileDialogOptions& options);
std::optional<std::string> PickFolderDialog(const std::string& title, const std::string& initialDir);
