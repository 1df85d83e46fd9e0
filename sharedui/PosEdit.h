// A position entry field. It shows a latitude or longitude as
// "059°30.500 N" and hands the program the nine-character form of the same
// text, "05930500N" (degrees in three digits, thousandths of a minute in
// five, the hemisphere letter), without the "°", "." and blank between.
// With four decimals of minutes ("059°30.5000 N") the form has ten
// characters ("059305000N").
//
// The field's input mask asks for every digit and one letter, turned to
// upper case; the letter must be a hemisphere of the field's kind (N or S,
// E or W).
#pragma once

#include <QLineEdit>

#include <optional>
#include <string>

class TPosEdit : public QLineEdit {
  Q_OBJECT
 public:
  TPosEdit(bool longitude, QWidget* parent = nullptr);
  // minuteDecimals: 3 (the nine-character form) or 4 (ten characters).
  TPosEdit(bool longitude, int minuteDecimals, QWidget* parent);

  bool IsLongitude() const { return longitude_; }
  int MinuteDecimals() const { return decimals_; }
  // Shows a nine- (ten-) character text (shorter text is padded with "0"
  // on the left, as it is read).
  void SetMaskText(const std::string& text);
  // The nine- (ten-) character form of what the field shows; a place not
  // yet typed reads as a blank.
  std::string MaskText() const;
  // Shows a value (radians).
  void SetValue(double radians);
  // The value (radians) when every place is typed, the minutes are below 60
  // and the value is a latitude up to 90 degrees or a longitude up to 180;
  // nothing otherwise, so that a half-typed field is never read as 0.
  std::optional<double> Value() const;

 private:
  bool longitude_;
  int decimals_;
};

// The field's input mask: three and two digits, three decimals, a letter.
inline constexpr const char* kPosInputMask = "999°99.999 >A;_";

// "05930500N" -> "059°30.500 N" (ten characters: four decimals).
QString MaskTextToDisplay(const std::string& text, int minuteDecimals = 3);
// The text a position field shows (with "_" for places not typed) -> the
// nine- (ten-) character form, blanks where nothing was typed.
std::string DisplayToMaskText(const QString& shown, int minuteDecimals = 3);
