// A position entry field. It shows a latitude or longitude as
// "059°30.500 N" and hands the program the nine-character form of the same
// text, "05930500N" (degrees in three digits, thousandths of a minute in
// five, the hemisphere letter), without the "°", "." and blank between.
//
// The field's input mask asks for every digit and one letter, turned to
// upper case; the letter must be a hemisphere of the field's kind (N or S,
// E or W).
#pragma once

#include <QLineEdit>

#include <string>

class TPosEdit : public QLineEdit {
  Q_OBJECT
 public:
  TPosEdit(bool longitude, QWidget* parent = nullptr);

  bool IsLongitude() const { return longitude_; }
  // Shows a nine-character text (shorter text is padded with "0" on the
  // left, as it is read).
  void SetMaskText(const std::string& nine);
  // The nine-character form of what the field shows; a place not yet typed
  // reads as a blank.
  std::string MaskText() const;

 private:
  bool longitude_;
};

// The field's input mask: three and two digits, three decimals, a letter.
inline constexpr const char* kPosInputMask = "999°99.999 >A;_";

// "05930500N" -> "059°30.500 N".
QString MaskTextToDisplay(const std::string& nine);
// The text a position field shows (with "_" for places not typed) -> the
// nine-character form, blanks where nothing was typed.
std::string DisplayToMaskText(const QString& shown);
