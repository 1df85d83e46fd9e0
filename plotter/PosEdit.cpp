#include "plotter/PosEdit.h"

#include <QValidator>

namespace {

// Positions in the shown text of the nine stored characters.
constexpr int kStoredPlaces[9] = {0, 1, 2, 4, 5, 7, 8, 9, 11};

// Accepts only the hemisphere letters of the field (or no letter yet).
class THemisphereValidator : public QValidator {
 public:
  THemisphereValidator(bool longitude, QObject* parent) : QValidator(parent), longitude_(longitude) {}
  State validate(QString& input, int&) const override {
    // Every other place of the mask is a digit or a fixed character, so a
    // letter anywhere is the hemisphere.
    for (const QChar ch : input) {
      if (!ch.isLetter()) continue;
      const QChar c = ch.toUpper();
      const bool ok = longitude_ ? (c == u'E' || c == u'W') : (c == u'N' || c == u'S');
      if (!ok) return Invalid;
    }
    return Acceptable;
  }

 private:
  bool longitude_;
};

}  // namespace

QString MaskTextToDisplay(const std::string& nine) {
  std::string t = nine.size() < 9 ? std::string(9 - nine.size(), '0') + nine : nine.substr(0, 9);
  const QString s = QString::fromLatin1(t.data(), 9);
  return s.mid(0, 3) + QStringLiteral("°") + s.mid(3, 2) + u'.' + s.mid(5, 3) + u' ' + s.mid(8, 1);
}

std::string DisplayToMaskText(const QString& shown) {
  std::string out;
  for (int place : kStoredPlaces) {
    const QChar c = place < shown.size() ? shown[place] : QChar(u' ');
    out += (c == u'_' || c.unicode() > 0x7F) ? ' ' : static_cast<char>(c.toLatin1());
  }
  return out;
}

TPosEdit::TPosEdit(bool longitude, QWidget* parent) : QLineEdit(parent), longitude_(longitude) {
  setInputMask(QString::fromUtf8(kPosInputMask));
  setValidator(new THemisphereValidator(longitude, this));
  SetMaskText(longitude ? "00000000E" : "00000000N");
}

void TPosEdit::SetMaskText(const std::string& nine) { setText(MaskTextToDisplay(nine)); }

std::string TPosEdit::MaskText() const { return DisplayToMaskText(displayText()); }
