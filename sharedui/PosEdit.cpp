#include "sharedui/PosEdit.h"

#include <QValidator>

#include <cmath>

#include "foundation/GenUtil.h"

namespace {

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

int Decimals(int d) { return d == 4 ? 4 : 3; }

}  // namespace

QString MaskTextToDisplay(const std::string& text, int minuteDecimals) {
  const int d = Decimals(minuteDecimals);
  const size_t length = static_cast<size_t>(6 + d);
  const std::string t = text.size() < length ? std::string(length - text.size(), '0') + text : text.substr(0, length);
  const QString s = QString::fromLatin1(t.data(), static_cast<qsizetype>(length));
  return s.mid(0, 3) + QStringLiteral("°") + s.mid(3, 2) + u'.' + s.mid(5, d) + u' ' + s.mid(5 + d, 1);
}

std::string DisplayToMaskText(const QString& shown, int minuteDecimals) {
  const int d = Decimals(minuteDecimals);
  // Places of the stored characters in the shown text: "DDD°MM.mmm H".
  std::string out;
  auto take = [&](int place) {
    const QChar c = place < shown.size() ? shown[place] : QChar(u' ');
    out += (c == u'_' || c.unicode() > 0x7F) ? ' ' : static_cast<char>(c.toLatin1());
  };
  for (int place : {0, 1, 2, 4, 5}) take(place);
  for (int i = 0; i < d; ++i) take(7 + i);
  take(8 + d);
  return out;
}

TPosEdit::TPosEdit(bool longitude, QWidget* parent) : TPosEdit(longitude, 3, parent) {}

TPosEdit::TPosEdit(bool longitude, int minuteDecimals, QWidget* parent)
    : QLineEdit(parent), longitude_(longitude), decimals_(Decimals(minuteDecimals)) {
  setInputMask(decimals_ == 4 ? QStringLiteral("999°99.9999 >A;_") : QString::fromUtf8(kPosInputMask));
  setValidator(new THemisphereValidator(longitude, this));
  SetValue(0);
}

void TPosEdit::SetMaskText(const std::string& text) { setText(MaskTextToDisplay(text, decimals_)); }

std::string TPosEdit::MaskText() const { return DisplayToMaskText(displayText(), decimals_); }

void TPosEdit::SetValue(double radians) {
  SetMaskText(decimals_ == 4 ? PosToMaskText10(longitude_, radians) : PosToMaskText(longitude_, radians));
}

std::optional<double> TPosEdit::Value() const {
  const std::string t = MaskText();
  const size_t digits = static_cast<size_t>(5 + decimals_);
  if (t.size() != digits + 1) return std::nullopt;
  for (size_t i = 0; i < digits; ++i)
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
  const char h = t[digits];
  const bool hemisphereOk = longitude_ ? (h == 'E' || h == 'W') : (h == 'N' || h == 'S');
  if (!hemisphereOk || (t[3] - '0') * 10 + (t[4] - '0') >= 60) return std::nullopt;
  const double v = decimals_ == 4 ? MaskText10ToPos(t) : MaskTextToPos(t);
  if (!std::isfinite(v) || std::fabs(v) > (longitude_ ? 180 : 90) * kDegToRad + 1e-12) return std::nullopt;
  return v;
}
