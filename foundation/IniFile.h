// INI files with the semantics of the classic private-profile functions:
// section and key names compare case-insensitively; blanks around names and
// values are trimmed; a value wholly enclosed in double quotes loses them;
// the first of duplicate sections or keys wins; lines starting with ";" are
// comments; "Key=" is present-but-empty. Reading accepts CR LF, LF and CR
// line ends and UTF-8 or Windows-1252 text. Writing keeps every foreign
// section, key, comment and the order of lines; changed values replace the
// old one in place, new keys go to the end of their section, new sections to
// the end of the file; lines are written with CR LF in the encoding the file
// was read in (Windows-1252 for a new file).
//
// Changes are made in memory and written as a whole by UpdateFile, through
// the atomic write helper, so an interrupted save never leaves a torn file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/TextCodec.h"

// A write the platform refused: "Unable to write to <file name>".
class EIniWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIniFile {
 public:
  // Loads the file when it exists; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string fileName);
  // Parses text already in memory; UpdateFile writes it to fileName.
  static TIniFile FromBytes(std::string_view bytes, std::string fileName = {});
  // Writes pending changes (best effort; errors are swallowed here, so
  // callers that care call UpdateFile themselves).
  virtual ~TIniFile();
  TIniFile(TIniFile&&) noexcept;
  TIniFile& operator=(TIniFile&&) noexcept;

  const std::string& FileName() const;

  // The stored value, or nullopt when the section or key is missing.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  // Decimal or hexadecimal ("0x", "$"); Default when missing or malformed.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // True for any non-zero integer.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  // "." decimals; NaN, infinity, empty and malformed text give Default.
  double ReadFloat(std::string_view section, std::string_view key, double def) const;

  // Names with "=" (keys) or "]" (sections), a leading "[" or ";", or control
  // characters cannot be stored and raise std::invalid_argument. Line breaks
  // in values become blanks. A value that begins or ends with a blank is
  // stored in double quotes so that it reads back unchanged.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteFloat(std::string_view section, std::string_view key, double value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Section names, in file order.
  std::vector<std::string> ReadSections() const;
  // Key names of a section, in file order (first of duplicates only).
  std::vector<std::string> ReadSection(std::string_view section) const;
  // Key/value pairs of a section, in file order (first of duplicates only).
  std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
  void EraseSection(std::string_view section);
  void DeleteKey(std::string_view section, std::string_view key);

  bool Modified() const;
  // The encoding the file was read in and will be written in (see FileBytes).
  TTextEncoding Encoding() const;
  // The whole text as it would be written (UTF-8, CR LF line ends).
  std::string Text() const;
  // The bytes UpdateFile would write: Text() in the file's encoding, with
  // the byte-order mark when the file had one. A Windows-1252 file whose
  // text no longer fits the code page is written as UTF-8 instead.
  std::string FileBytes() const;
  // Writes the file atomically when something changed; raises
  // EIniWriteError("Unable to write to <file name>") when that fails, and
  // then the old file is untouched.
  void UpdateFile();

 private:
  TIniFile();
  struct Impl;
  std::unique_ptr<Impl> d_;
};

// Symmetric settings access: one procedure listing every key serves for
// loading (Write false) and saving (Write true). Each call returns Write.
class TRWIniFile : public TIniFile {
 public:
  using TIniFile::TIniFile;
  bool RWString(std::string_view section, std::string_view key, bool write, std::string& value,
                std::string_view def);
  bool RWInteger(std::string_view section, std::string_view key, bool write, int32_t& value, int32_t def);
  bool RWBool(std::string_view section, std::string_view key, bool write, bool& value, bool def);
  bool RWFloat(std::string_view section, std::string_view key, bool write, double& value, double def);
};
