// File and folder choosers of the window programs.
#pragma once

#include <QStringList>

#include <string_view>

#include "platform/FileDialogs.h"

// Modal QFileDialogs over the active window.
class TQtFileDialogs final : public IFileDialogs {
 public:
  std::optional<std::string> OpenFile(const TFileDialogOptions& options) override;
  std::optional<std::vector<std::string>> OpenFiles(const TFileDialogOptions& options) override;
  std::optional<std::string> SaveFile(const TFileDialogOptions& options) override;
  std::optional<std::string> PickFolder(const std::string& title, const std::string& initialDir) override;
};

// A classic filter ("Route Files|*.SRW;*.RTE|Any File|*.*") as Qt name
// filters ("Route Files (*.SRW *.srw *.RTE *.rte)", "Any File (*)"). The
// file names on Linux are case-sensitive, so every pattern also appears in
// lower case; "*.*" becomes "*" so that names without a dot show too.
QStringList QtNameFilters(std::string_view classicFilter);
