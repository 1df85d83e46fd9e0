#include "calibrator/mapview/Readouts.h"

#include <QLabel>

#include <cmath>

#include "calibrator/calibration/core/Calibration.h"
#include "foundation/GenUtil.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TReadouts::TReadouts(const TReadoutControls& controls, const TCalibration& cal, const TSidePages& pages,
                     TCalViews& views)
    : c_(controls), cal_(cal), pages_(pages) {
  views.Add(*this);
}

void TReadouts::ShowPointer(const TFPoint& px) {
  if (!cal_.IsOpen()) return;
  c_.Xl.setText(QString::number(std::lround(px.X)));
  c_.Yl.setText(QString::number(std::lround(px.Y)));
  TFPoint pos;
  const bool ok = cal_.PixelToGeo(px, pos);
  c_.H.setText(ok ? Q(LatToStr(pos.Y)) : QString());
  c_.W.setText(ok ? Q(LonToStr(pos.X)) : QString());
  if (!pages_.OnCalPage() && cal_.BorderCount() >= 3 && ok)
    c_.Inside.setText(cal_.InsideBorder(pos) ? QStringLiteral("INSIDE") : QStringLiteral("OUTSIDE"));
  else if (cal_.BorderCount() < 3)
    c_.Inside.clear();
}

void TReadouts::Refresh() {
  c_.Hgt.setText(cal_.IsOpen() ? QString::number(cal_.Height()) : QString());
  c_.Wth.setText(cal_.IsOpen() ? QString::number(cal_.Width()) : QString());
  TFPoint ul, lr;
  const bool ok = cal_.IsOpen() && cal_.PixelToGeo({0, 0}, ul) &&
                  cal_.PixelToGeo({double(cal_.Width() - 1), double(cal_.Height() - 1)}, lr);
  c_.ULLat.setText(ok ? Q(LatToStr(ul.Y)) : QString());
  c_.ULLong.setText(ok ? Q(LonToStr(ul.X)) : QString());
  c_.LRLat.setText(ok ? Q(LatToStr(lr.Y)) : QString());
  c_.LRLong.setText(ok ? Q(LonToStr(lr.X)) : QString());
}
