// Translation of the visible texts of a window from a language file, and
// the writing of such a file from the program's own texts.
//
// A language file is an INI file with one section ("Text_2" for the
// plotter). Each key names one text of one object of a window:
//   Form.Component.Caption | .Hint | .Title
//   Form.Component.Items.N    (item N, from 0, of a combo box, list or radio group)
//   Form.Component.Lines.N    (line N, from 0, of a memo)
// where Form is the window's objectName and Component the object's
// objectName; the window's own title is Form.Form.Caption.
//
// What each name means on a Qt object:
//   Caption  the window title of the window itself; the text of a QLabel or
//            any button; the title of a QGroupBox or QMenu; the text of a
//            QAction; the tab text of a page of a QTabWidget. Menu texts keep
//            their "&" accelerators.
//   Hint     the tool tip (of a QAction only when one was set explicitly,
//            not the one Qt derives from its text).
//   Title    a dynamic property "title" (titles of dialogs a window opens).
//   Items    QComboBox and QListWidget items; the radio buttons of a radio
//            group: the QRadioButton children of a QGroupBox, or the buttons
//            of a QButtonGroup. Buttons that are items of a named group are
//            not handled again under their own Caption.
//   Lines    the lines of a QPlainTextEdit or QTextEdit.
// An integer dynamic property "tag" steers the pass: with bit 0 set an
// object keeps everything but its Hint (it shows data, not fixed text);
// with bit 1 set it also keeps its Hint.
//
// Only texts of at least two characters that do not begin with a digit,
// "_" or "-" take part, so numbers, placeholders and separators stay as
// they are; so do texts with line breaks (of a label, say), since a value
// in the file is one line. Loading replaces a text only when the file holds a non-empty
// value for it. Objects without a name, and Qt's own internal objects, are
// skipped. A failure on one text never stops the pass.
#pragma once

#include <string>
#include <vector>

class QWidget;
class TRWIniFile;

inline constexpr const char* kLanguageSection = "Text_2";
inline constexpr const char* kTagProperty = "tag";
inline constexpr const char* kTitleProperty = "title";

class TLanguage {
 public:
  explicit TLanguage(std::string section);

  const std::string& Section() const { return section_; }
  // The language file of the pass under way (or of the last one).
  const std::string& FileName() const { return fileName_; }

  // Save false: the texts found in the file replace those of the window.
  // Save true: the window's texts are written to the file, which is then
  // committed. Returns false only when that write failed; LastError() then
  // says "Unable to write to <file>".
  bool Translate(QWidget* form, const std::string& fileName, bool save);
  // The same pass over a file that is already open; nothing is committed.
  void Translate(QWidget* form, TRWIniFile& file, bool save);

  const std::string& LastError() const { return lastError_; }

 private:
  std::string section_;
  std::string fileName_;
  std::string lastError_;
};

enum class TLanguageResult {
  Nothing,      // no file named
  Loaded,       // texts read from the file
  Saved,        // texts written to the file
  Declined,     // the user chose not to overwrite an existing file
  WriteFailed,  // the file could not be written (the user was told)
};

// Translates (save false) or writes the texts of (save true) the windows in
// the order given, with one TLanguage on "Text_2"; a save is committed once
// after the last window. An empty file name does nothing. A failed write is
// shown to the user as "Unable to write to <file>".
TLanguageResult ApplyLanguage(const std::vector<QWidget*>& forms, const std::string& fileName, bool save);

// The "LanguageFile" setting after the user changed it. Empty: nothing.
// "SAVE:<path>" (the prefix in any case): the setting keeps only <path>,
// and the windows' texts are written there; when <path> already exists the
// user is first asked "<path> Exists! Overwrite?" and nothing is written on
// No. Anything else names a language file to translate from.
TLanguageResult ApplyLanguageSetting(const std::vector<QWidget*>& forms, std::string& setting);
