#include "geodesy/CTrans.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

#include "foundation/GenUtil.h"
#include "foundation/NumText.h"
#include "geodesy/Datum.h"

namespace {

constexpr double kHalfPi = kPi / 2;
constexpr double kTwoPi = 2 * kPi;
constexpr double kEpsln = 1e-10;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Finite(const TFPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

bool ValidLat(double lat) { return std::isfinite(lat) && std::fabs(lat) <= kHalfPi + 1e-12; }

bool ValidEllipsoid(double invF, double a) {
  return std::isfinite(invF) && std::isfinite(a) && a > 0 && invF > 1;
}

double Asinz(double x) {
  if (x > 1) x = 1;
  if (x < -1) x = -1;
  return std::asin(x);
}

}  // namespace

double AdjustLon(double lon) {
  if (std::fabs(lon) <= kPi) return lon;
  NormAngleSigned(lon);
  return lon;
}

// ---------------------------------------------------------------------------
// TProjTrans

TProjTrans::TProjTrans() {
  SetTransverseMercator(1, kWgs84InvF, kWgs84A, 0, 0);
  SetMercator(1, 0);
  SetLambert(0, 0, 0.5, 0.4, kWgs84InvF, kWgs84A);
  SetSinusoidal(0, 6370997.0);
  SetPolyconic(0, 0, kWgs84InvF, kWgs84A);
  SetNone(1);
}

void TProjTrans::SetEllipsoid(double invF, double a) {
  A = a;
  InvF = invF;
  F = 1 / invF;
  Es = 2 * F - F * F;
  E = std::sqrt(Es);
  Esp = Es / (1 - Es);
  SetSeries();
}

void TProjTrans::SetSeries() {
  E0 = 1 - 0.25 * Es * (1 + Es / 16 * (3 + 1.25 * Es));
  E1 = 0.375 * Es * (1 + 0.25 * Es * (1 + 0.46875 * Es));
  E2 = 0.05859375 * Es * Es * (1 + 0.75 * Es);
  E3 = Es * Es * Es * (35.0 / 3072.0);
}

void TProjTrans::Unusable(uint8_t code, const char* text) {
  ProjType = code;
  SetupOk = false;
  setupError_ = text;
  Ns = F0 = Rho0 = kNaN;
}

bool TProjTrans::Fail(const char* text) {
  ConvError = true;
  errorText_ = text;
  return false;
}

double TProjTrans::Mlfn(double phi) const {
  return E0 * phi - E1 * std::sin(2 * phi) + E2 * std::sin(4 * phi) - E3 * std::sin(6 * phi);
}

// The meridian arc of the Transverse Mercator, in metres, from phi and its
// sine and cosine: the series of Mlfn with the multiple angles taken from
// their addition formulas, which saves three sines on every point.
double TProjTrans::TmMeridian(double phi, double sinphi, double cosphi) const {
  if (phi == 0) return 0;
  const double s2 = 2 * sinphi * cosphi, c2 = cosphi * cosphi - sinphi * sinphi;
  const double s4 = 2 * s2 * c2, c4 = c2 * c2 - s2 * s2;
  const double s6 = s4 * c2 + c4 * s2;
  return A * ((1 - Es / 4 - 3 * Es4 / 64 - 5 * Es6 / 256) * phi - (3 * Es / 8 + 3 * Es4 / 32 + 45 * Es6 / 1024) * s2 +
              (15 * Es4 / 256 + 45 * Es6 / 1024) * s4 - (35 * Es6 / 3072) * s6);
}

void TProjTrans::SetNone(double scale) {
  ProjType = kProjNone;
  ScaleFactor = scale;
  SetupOk = std::isfinite(scale) && scale != 0;
  setupError_ = SetupOk ? "" : "Bad scale";
}

void TProjTrans::SetMercator(double scale, double lat0) {
  ProjType = kProjMercator;
  ScaleFactor = scale;
  Lat0 = lat0;
  Lon0 = 0;
  SetupOk = std::isfinite(scale) && scale != 0 && std::isfinite(lat0);
  setupError_ = SetupOk ? "" : "Bad Mercator parameters";
}

void TProjTrans::SetTransverseMercator(double scaleFactor, double invF, double a, double lat0, double lon0) {
  if (!ValidEllipsoid(invF, a) || !std::isfinite(scaleFactor) || scaleFactor <= 0 || !ValidLat(lat0) ||
      !std::isfinite(lon0))
    return Unusable(kProjTransverseMercator, "Bad Transverse Mercator parameters");
  ProjType = kProjTransverseMercator;
  ScaleFactor = scaleFactor;
  SetEllipsoid(invF, a);
  Es4 = Es * Es;
  Es6 = Es4 * Es;
  Lat0 = lat0;
  Lon0 = lon0;
  TmM0 = TmMeridian(lat0, std::sin(lat0), std::cos(lat0));
  SetupOk = true;
  setupError_ = "";
}

namespace {

double Msfnz(double es, double sinphi, double cosphi) { return cosphi / std::sqrt(1 - es * sinphi * sinphi); }

double Tsfnz(double e, double phi, double sinphi) {
  const double con = e * sinphi;
  return std::tan(0.5 * (kHalfPi - phi)) / std::pow((1 - con) / (1 + con), 0.5 * e);
}

}  // namespace

int TProjTrans::SetLambert(double lat0, double lon0, double lat1, double lat2, double invF, double a) {
  if (!ValidEllipsoid(invF, a)) {
    Unusable(kProjLambert, "Bad Lambert Init");
    return kBadLambertInit;
  }
  SetEllipsoid(invF, a);
  if (!ValidLat(lat0) || !ValidLat(lat1) || !ValidLat(lat2) || !std::isfinite(lon0) ||
      std::fabs(lat1 + lat2) < kEpsln) {
    Unusable(kProjLambert, "Bad Lambert Init");
    return kBadLambertInit;
  }
  const double m1 = Msfnz(Es, std::sin(lat1), std::cos(lat1));
  const double m2 = Msfnz(Es, std::sin(lat2), std::cos(lat2));
  const double t1 = Tsfnz(E, lat1, std::sin(lat1));
  const double t2 = Tsfnz(E, lat2, std::sin(lat2));
  const double t0 = Tsfnz(E, lat0, std::sin(lat0));
  const double ns = std::fabs(lat1 - lat2) > kEpsln ? std::log(m1 / m2) / std::log(t1 / t2) : std::sin(lat1);
  const double f0 = m1 / (ns * std::pow(t1, ns));
  const double rho0 = a * f0 * std::pow(t0, ns);
  if (!std::isfinite(ns) || ns == 0 || !std::isfinite(f0) || !std::isfinite(rho0)) {
    Unusable(kProjLambert, "Bad Lambert Init");
    return kBadLambertInit;
  }
  ProjType = kProjLambert;
  Lat0 = lat0;
  Lon0 = lon0;
  Ns = ns;
  F0 = f0;
  Rho0 = rho0;
  SetupOk = true;
  setupError_ = "";
  return 0;
}

void TProjTrans::SetPolyconic(double lat0, double lon0, double invF, double a) {
  if (!ValidEllipsoid(invF, a) || !ValidLat(lat0) || !std::isfinite(lon0))
    return Unusable(kProjPolyconic, "Bad Polyconic parameters");
  ProjType = kProjPolyconic;
  SetEllipsoid(invF, a);
  Lat0 = lat0;
  Lon0 = lon0;
  Ml0 = Mlfn(lat0);
  SetupOk = true;
  setupError_ = "";
}

void TProjTrans::SetSinusoidal(double lon0, double radius) {
  if (!std::isfinite(radius) || radius <= 0 || !std::isfinite(lon0))
    return Unusable(kProjSinusoidal, "Bad Sinusoidal parameters");
  ProjType = kProjSinusoidal;
  Lat0 = 0;
  Lon0 = lon0;
  A = Radius = radius;
  SetupOk = true;
  setupError_ = "";
}

void TProjTrans::SetOrthographic(double lat0, double lon0, double radius) {
  if (!std::isfinite(radius) || radius <= 0 || !ValidLat(lat0) || !std::isfinite(lon0))
    return Unusable(kProjOrthographic, "Bad Orthographic parameters");
  ProjType = kProjOrthographic;
  Lat0 = lat0;
  Lon0 = lon0;
  A = radius;
  SinLat0 = std::sin(lat0);
  CosLat0 = std::cos(lat0);
  SetupOk = true;
  setupError_ = "";
}

void TProjTrans::SetPerspective(double lat0, double lon0, double height, double radius) {
  // A height of 0 would put the viewpoint on the surface: every point
  // projects to the centre.
  if (!std::isfinite(radius) || radius <= 0 || !std::isfinite(height) || height <= 0 || !ValidLat(lat0) ||
      !std::isfinite(lon0))
    return Unusable(kProjPerspective, "Bad Perspective parameters");
  ProjType = kProjPerspective;
  Lat0 = lat0;
  Lon0 = lon0;
  A = radius;
  P = height / radius + 1;
  SinLat0 = std::sin(lat0);
  CosLat0 = std::cos(lat0);
  SetupOk = true;
  setupError_ = "";
}

bool TProjTrans::Phi2z(double ts, double& phi) {
  const double eccnth = 0.5 * E;
  phi = kHalfPi - 2 * std::atan(ts);
  for (int i = 0; i < 16; ++i) {
    const double con = E * std::sin(phi);
    const double dphi = kHalfPi - 2 * std::atan(ts * std::pow((1 - con) / (1 + con), eccnth)) - phi;
    if (!std::isfinite(dphi)) break;
    phi += dphi;
    if (std::fabs(dphi) <= kEpsln) return true;
  }
  return Fail("Convergence error in phi2z");
}

// Newton iteration on the polyconic latitude equation (published GCTP
// routine); c receives tan(phi) * sqrt(1 - es sin^2 phi).
bool TProjTrans::Phi4z(double al, double b, double& c, double& phi) {
  phi = al;
  for (int i = 1; i <= 15; ++i) {
    const double sinphi = std::sin(phi);
    const double tanphi = std::tan(phi);
    c = tanphi * std::sqrt(1 - Es * sinphi * sinphi);
    const double sin2ph = std::sin(2 * phi);
    const double ml = Mlfn(phi);
    const double mlp = E0 - 2 * E1 * std::cos(2 * phi) + 4 * E2 * std::cos(4 * phi) - 6 * E3 * std::cos(6 * phi);
    const double con1 = 2 * ml + c * (ml * ml + b) - 2 * al * (c * ml + 1);
    const double con2 = Es * sin2ph * (ml * ml + b - 2 * al * ml) / (2 * c);
    const double con3 = 2 * (al - ml) * (c * mlp - 2 / sin2ph) - 2 * mlp;
    const double dphi = con1 / (con2 + con3);
    if (!std::isfinite(dphi)) break;
    phi += dphi;
    if (std::fabs(dphi) <= kEpsln) return true;
  }
  return Fail("Latitude failed to converge in phi4z");
}

bool TProjTrans::Project(const TFPoint& pos, TFPoint& xy) {
  ConvError = false;
  errorText_ = "";
  if (!SetupOk) return Fail(setupError_);
  if (!Finite(pos)) return Fail("Position is not a number");
  const double lon = pos.X, lat = pos.Y;
  switch (ProjType) {
    case kProjNone:
      xy = {lon * ScaleFactor, lat * ScaleFactor};
      break;
    case kProjMercator: {
      const double s = std::sin(lat - Lat0);
      xy.X = ScaleFactor * lon;
      xy.Y = std::fabs(s) < 1 ? ScaleFactor * (std::atanh(s) + Lat0) : (lat - Lat0) * ScaleFactor;
      break;
    }
    case kProjTransverseMercator: {
      const double sinphi = std::sin(lat), cosphi = std::cos(lat);
      // The longitude from the central meridian the short way round: a
      // chart across the 180th meridian gives its points as -179 or as 181.
      const double al = cosphi * AdjustLon(lon - Lon0);
      const double als = al * al;
      const double tanphi = sinphi / cosphi;
      const double t = tanphi * tanphi;
      const double c = Esp * cosphi * cosphi;
      const double n = A / std::sqrt(1 - Es * sinphi * sinphi);
      const double m = TmMeridian(lat, sinphi, cosphi);
      xy.X = ScaleFactor * n * al *
             (1 + als / 6 * (1 - t + c + als / 20 * (5 - 18 * t + t * t + 72 * c - 58 * Esp)));
      xy.Y = ScaleFactor *
             (m - TmM0 + n * tanphi *
                             (als * (0.5 + als / 24 * (5 - t + 9 * c + 4 * c * c +
                                                        als / 30 * (61 - 58 * t + t * t + 600 * c - 330 * Esp)))));
      break;
    }
    case kProjLambert: {
      double rho;
      if (std::fabs(std::fabs(lat) - kHalfPi) > kEpsln) {
        rho = A * F0 * std::pow(Tsfnz(E, lat, std::sin(lat)), Ns);
      } else {
        if (lat * Ns <= 0) return Fail("Point can not be projected");
        rho = 0;
      }
      const double theta = Ns * AdjustLon(lon - Lon0);
      xy = {rho * std::sin(theta), Rho0 - rho * std::cos(theta)};
      break;
    }
    case kProjPolyconic: {
      double con = AdjustLon(lon - Lon0);
      if (std::fabs(lat) <= 1e-7) {
        xy = {A * con, -A * Ml0};
      } else {
        const double sinphi = std::sin(lat), cosphi = std::cos(lat);
        const double ms = Msfnz(Es, sinphi, cosphi);
        con *= sinphi;
        xy = {A * ms * std::sin(con) / sinphi, A * (Mlfn(lat) - Ml0 + ms * (1 - std::cos(con)) / sinphi)};
      }
      break;
    }
    case kProjSinusoidal:
      xy = {Radius * AdjustLon(lon - Lon0) * std::cos(lat), Radius * lat};
      break;
    case kProjOrthographic:
    case kProjPerspective: {
      const double dlon = AdjustLon(lon - Lon0);
      const double sinphi = std::sin(lat), cosphi = std::cos(lat), coslon = std::cos(dlon);
      const double g = SinLat0 * sinphi + CosLat0 * cosphi * coslon;
      double k = 1;
      if (ProjType == kProjOrthographic) {
        // The far hemisphere would land on top of the near one.
        if (g < -kEpsln) return Fail("Point can not be projected");
      } else {
        if (g < 1 / P) return Fail("Point can not be projected");
        k = (P - 1) / (P - g);
      }
      xy = {A * k * cosphi * std::sin(dlon), A * k * (CosLat0 * sinphi - SinLat0 * cosphi * coslon)};
      break;
    }
    default:
      return Fail("Unknown projection");
  }
  if (!Finite(xy)) return Fail("Point can not be projected");
  return true;
}

bool TProjTrans::AzimuthalInverse(double x, double y, double rho, double z, TFPoint& pos) {
  const double sinz = std::sin(z), cosz = std::cos(z);
  pos.X = Lon0;
  if (std::fabs(rho) <= kEpsln) {
    pos.Y = Lat0;
    return true;
  }
  pos.Y = Asinz(cosz * SinLat0 + y * sinz * CosLat0 / rho);
  if (std::fabs(std::fabs(Lat0) - kHalfPi) <= kEpsln) {
    pos.X = Lat0 >= 0 ? AdjustLon(Lon0 + std::atan2(x, -y)) : AdjustLon(Lon0 - std::atan2(-x, y));
    return true;
  }
  const double con = cosz - SinLat0 * std::sin(pos.Y);
  if (std::fabs(con) >= kEpsln || std::fabs(x) >= kEpsln)
    pos.X = AdjustLon(Lon0 + std::atan2(x * sinz * CosLat0, con * rho));
  return true;
}

bool TProjTrans::Unproject(const TFPoint& xy, TFPoint& pos) {
  ConvError = false;
  errorText_ = "";
  if (!SetupOk) return Fail(setupError_);
  if (!Finite(xy)) return Fail("Point is not a number");
  const double x = xy.X, y = xy.Y;
  switch (ProjType) {
    case kProjNone:
      pos = {x / ScaleFactor, y / ScaleFactor};
      break;
    case kProjMercator:
      pos = {x / ScaleFactor, std::atan(std::sinh(y / ScaleFactor - Lat0)) + Lat0};
      break;
    case kProjTransverseMercator: {
      const double mu = (y / ScaleFactor + TmM0) / (A * (1 - Es / 4 - 3 * Es4 / 64 - 5 * Es6 / 256));
      const double sq = std::sqrt(1 - Es);
      const double e1 = (1 - sq) / (1 + sq);
      const double e12 = e1 * e1, e13 = e12 * e1, e14 = e13 * e1;
      const double phi1 = mu + (3 * e1 / 2 - 27 * e13 / 32) * std::sin(2 * mu) +
                          (21 * e12 / 16 - 55 * e14 / 32) * std::sin(4 * mu) + (151 * e13 / 96) * std::sin(6 * mu) +
                          (1097 * e14 / 512) * std::sin(8 * mu);
      const double sinphi = std::sin(phi1), cosphi = std::cos(phi1), tanphi = std::tan(phi1);
      const double c1 = Esp * cosphi * cosphi;
      const double t1 = tanphi * tanphi;
      const double con = 1 - Es * sinphi * sinphi;
      const double n1 = A / std::sqrt(con);
      const double r1 = A * (1 - Es) / (con * std::sqrt(con));
      const double d = x / (n1 * ScaleFactor);
      const double ds = d * d;
      pos.Y = phi1 - (n1 * tanphi / r1) *
                         (ds / 2 - (5 + 3 * t1 + 10 * c1 - 4 * c1 * c1 - 9 * Esp) * ds * ds / 24 +
                          (61 + 90 * t1 + 298 * c1 + 45 * t1 * t1 - 252 * Esp - 3 * c1 * c1) * ds * ds * ds / 720);
      pos.X = Lon0 + (d - (1 + 2 * t1 + c1) * ds * d / 6 +
                      (5 - 2 * c1 + 28 * t1 - 3 * c1 * c1 + 8 * Esp + 24 * t1 * t1) * ds * ds * d / 120) /
                         cosphi;
      break;
    }
    case kProjLambert: {
      const double yy = Rho0 - y;
      double rho = std::sqrt(x * x + yy * yy), s = 1;
      if (Ns <= 0) {
        rho = -rho;
        s = -1;
      }
      double theta = 0;
      if (rho != 0) theta = std::atan2(s * x, s * yy);
      if (rho != 0 || Ns > 0) {
        if (!Phi2z(std::pow(rho / (A * F0), 1 / Ns), pos.Y)) return false;
      } else {
        pos.Y = -kHalfPi;
      }
      pos.X = AdjustLon(theta / Ns + Lon0);
      break;
    }
    case kProjPolyconic: {
      const double al = Ml0 + y / A;
      if (std::fabs(al) <= 1e-7) {
        pos = {x / A + Lon0, 0};
      } else {
        const double b = al * al + (x / A) * (x / A);
        double c = 0;
        if (!Phi4z(al, b, c, pos.Y)) return false;
        // C at the latitude found (the iteration's own value belongs to the
        // step before the last, which costs millimetres near the equator).
        const double sinphi = std::sin(pos.Y);
        c = std::tan(pos.Y) * std::sqrt(1 - Es * sinphi * sinphi);
        pos.X = AdjustLon(Asinz(x * c / A) / sinphi + Lon0);
      }
      break;
    }
    case kProjSinusoidal: {
      pos.Y = y / Radius;
      if (std::fabs(pos.Y) > kHalfPi) return Fail("Point lies beyond the pole");
      if (std::fabs(std::fabs(pos.Y) - kHalfPi) <= kEpsln)
        pos.X = Lon0;
      else
        pos.X = AdjustLon(Lon0 + x / (Radius * std::cos(pos.Y)));
      break;
    }
    case kProjOrthographic: {
      const double rho = std::sqrt(x * x + y * y);
      if (rho > A + 1e-7) return Fail("Point lies outside the projection");
      if (!AzimuthalInverse(x, y, rho, Asinz(rho / A), pos)) return false;
      break;
    }
    case kProjPerspective: {
      const double rho = std::sqrt(x * x + y * y);
      if (rho <= kEpsln) {
        pos = {Lon0, Lat0};
        break;
      }
      const double r = rho / A;
      const double con = P - 1, com = P + 1;
      if (r > std::sqrt(con / com)) return Fail("Point lies beyond the horizon");
      const double sinz = (P - std::sqrt(1 - r * r * com / con)) / (con / r + r / con);
      if (!AzimuthalInverse(x, y, rho, Asinz(sinz), pos)) return false;
      break;
    }
    default:
      return Fail("Unknown projection");
  }
  if (!Finite(pos)) return Fail("Point can not be converted");
  // A latitude past a pole means the point lay outside the projection.
  if (ProjType >= kProjTransverseMercator && std::fabs(pos.Y) > kHalfPi + 1e-12)
    return Fail("Point lies beyond the pole");
  return true;
}

// ---------------------------------------------------------------------------
// Affine maps and the fit

namespace {

// Below this, twice a triangle's area against the square of its longest
// side, the triangle counts as collinear.
constexpr double kDegenerateShape = 1e-6;

double Dist2(const TFPoint& a, const TFPoint& b) {
  const double dx = a.X - b.X, dy = a.Y - b.Y;
  return dx * dx + dy * dy;
}

bool Degenerate(const TFPoint p[3]) {
  const double d1x = p[1].X - p[0].X, d1y = p[1].Y - p[0].Y;
  const double d2x = p[2].X - p[0].X, d2y = p[2].Y - p[0].Y;
  const double det = d1x * d2y - d2x * d1y;
  const double longest = std::max({Dist2(p[0], p[1]), Dist2(p[0], p[2]), Dist2(p[1], p[2])});
  return !(std::isfinite(det) && longest > 0 && std::fabs(det) > kDegenerateShape * longest);
}

}  // namespace

bool BuildAffine3(const TFPoint a[3], const TFPoint b[3], TAffine3& m) {
  if (Degenerate(a) || Degenerate(b)) return false;
  const double d1x = a[1].X - a[0].X, d1y = a[1].Y - a[0].Y;
  const double d2x = a[2].X - a[0].X, d2y = a[2].Y - a[0].Y;
  const double e1x = b[1].X - b[0].X, e1y = b[1].Y - b[0].Y;
  const double e2x = b[2].X - b[0].X, e2y = b[2].Y - b[0].Y;
  const double det = d1x * d2y - d2x * d1y;
  TAffine3 r;
  r.Org = a[0];
  r.Dest = b[0];
  r.M11 = (e1x * d2y - e2x * d1y) / det;
  r.M12 = (e2x * d1x - e1x * d2x) / det;
  r.M21 = (e1y * d2y - e2y * d1y) / det;
  r.M22 = (e2y * d1x - e1y * d2x) / det;
  if (!std::isfinite(r.M11) || !std::isfinite(r.M12) || !std::isfinite(r.M21) || !std::isfinite(r.M22))
    return false;
  m = r;
  return true;
}

void TCoordTrans::PrepareCorrection() {
  const size_t n = Points.size();
  px_.resize(n);
  py_.resize(n);
  rx_.resize(n);
  ry_.resize(n);
  for (size_t i = 0; i < n; ++i) {
    px_[i] = Points[i].Pixel.X;
    py_[i] = Points[i].Pixel.Y;
    rx_[i] = Points[i].Residual.X;
    ry_[i] = Points[i].Residual.Y;
  }
}

TFPoint TCoordTrans::Correction(const TFPoint& p) const {
  const size_t n = Points.size();
  if (n <= 3) return {0, 0};
  if (px_.size() != n) {  // not prepared: the plain loop
    double sw = 0, sx = 0, sy = 0;
    for (const TRefRecord& r : Points) {
      const double vx = p.X - r.Pixel.X, vy = p.Y - r.Pixel.Y;
      const double c = vx * vx + vy * vy;
      const double w = 1 / c;
      if (c == 0 || !std::isfinite(w)) return r.Residual;
      sw += w;
      sx += w * r.Residual.X;
      sy += w * r.Residual.Y;
    }
    return {sx / sw, sy / sw};
  }
  // This runs for every point drawn: two points at a time in vector
  // registers, without branches, so that the divisions overlap; a pixel on
  // (or immeasurably near) a reference point is settled afterwards.
  typedef double V2 __attribute__((vector_size(16)));
  typedef long long M2 __attribute__((vector_size(16)));
  auto load = [](const double* a) {
    V2 v;
    std::memcpy(&v, a, sizeof v);
    return v;
  };
  const V2 x = {p.X, p.X}, y = {p.Y, p.Y}, one = {1, 1}, zero = {0, 0};
  V2 sw = zero, sx = zero, sy = zero;
  M2 onPoint = {0, 0};
  size_t i = 0;
  for (; i + 1 < n; i += 2) {
    const V2 ax = x - load(&px_[i]), ay = y - load(&py_[i]);
    const V2 c = ax * ax + ay * ay;
    onPoint |= c == zero;
    const V2 w = one / c;
    sw += w;
    sx += w * load(&rx_[i]);
    sy += w * load(&ry_[i]);
  }
  double w = sw[0] + sw[1], wx = sx[0] + sx[1], wy = sy[0] + sy[1];
  bool exact = onPoint[0] || onPoint[1];
  if (i < n) {
    const double ax = p.X - px_[i], ay = p.Y - py_[i];
    const double c = ax * ax + ay * ay;
    exact = exact || c == 0;
    const double wi = 1 / c;
    w += wi;
    wx += wi * rx_[i];
    wy += wi * ry_[i];
  }
  if (exact || !std::isfinite(w)) {
    for (size_t k = 0; k < n; ++k) {
      const double vx = p.X - px_[k], vy = p.Y - py_[k];
      const double c = vx * vx + vy * vy;
      if (c == 0 || !std::isfinite(1 / c)) return Points[k].Residual;
    }
  }
  return {wx / w, wy / w};
}

namespace {

// Up to this many reference points every triple is tried for the base
// triangle; above it only the points of the convex hull (the triangle of
// largest perimeter always has its corners there), at most this many.
constexpr size_t kFullSearchLimit = 300;

double Cross(const TFPoint& o, const TFPoint& a, const TFPoint& b) {
  return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
}

std::vector<size_t> HullCandidates(const std::vector<TRefRecord>& pts) {
  std::vector<size_t> idx(pts.size());
  std::iota(idx.begin(), idx.end(), 0);
  std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) {
    const TFPoint &p = pts[a].Projected, &q = pts[b].Projected;
    return p.X < q.X || (p.X == q.X && (p.Y < q.Y || (p.Y == q.Y && a < b)));
  });
  std::vector<size_t> hull(2 * idx.size());
  size_t k = 0;
  for (size_t i : idx) {
    while (k >= 2 && Cross(pts[hull[k - 2]].Projected, pts[hull[k - 1]].Projected, pts[i].Projected) <= 0) --k;
    hull[k++] = i;
  }
  for (size_t j = idx.size() - 1, t = k + 1; j-- > 0;) {
    const size_t i = idx[j];
    while (k >= t && Cross(pts[hull[k - 2]].Projected, pts[hull[k - 1]].Projected, pts[i].Projected) <= 0) --k;
    hull[k++] = i;
  }
  hull.resize(k > 1 ? k - 1 : k);
  std::sort(hull.begin(), hull.end());
  hull.erase(std::unique(hull.begin(), hull.end()), hull.end());
  if (hull.size() < 3) {  // all points on one line: let the fit fail on them
    hull.assign(idx.begin(), idx.begin() + std::min<size_t>(3, idx.size()));
    std::sort(hull.begin(), hull.end());
  }
  if (hull.size() > kFullSearchLimit) {
    std::vector<size_t> picked;
    picked.reserve(kFullSearchLimit);
    for (size_t i = 0; i < kFullSearchLimit; ++i) picked.push_back(hull[i * hull.size() / kFullSearchLimit]);
    hull.swap(picked);
  }
  return hull;
}

}  // namespace

// ---------------------------------------------------------------------------
// TWorldConvert

TWorldConvert::TWorldConvert() = default;

bool TWorldConvert::SetupProjection(const RGeoRef& ref) {
  switch (ref.Projection) {
    case kProjNone:
      SetNone(1);
      break;
    case kProjMercator:
      SetMercator(1, ref.Lat0);
      break;
    case kProjTransverseMercator:
      SetTransverseMercator(1, kWgs84InvF, kWgs84A, ref.Lat0, ref.Lon0);
      break;
    case kProjLambert:
      SetLambert(ref.Lat0, ref.Lon0, ref.LatS, ref.LatN, kWgs84InvF, kWgs84A);
      break;
    case kProjPolyconic:
      SetPolyconic(ref.Lat0, ref.Lon0, kWgs84InvF, kWgs84A);
      break;
    case kProjSinusoidal:
      SetSinusoidal(ref.Lon0, kWgs84A);
      break;
    case kProjOrthographic:
      SetOrthographic(ref.Lat0, ref.Lon0, kWgs84A);
      break;
    case kProjPerspective:
      SetPerspective(ref.Lat0, ref.Lon0, ref.Height, kWgs84A);
      break;
    default:
      Unusable(ref.Projection, "Unknown projection");
      break;
  }
  return SetupOk;
}

bool TWorldConvert::SetRefPoints(const TGridPointArray& points) {
  Valid = false;
  Trans.Points.clear();
  Trans.Points.reserve(points.size());
  refsProjected_ = true;
  double sumLon = 0;
  size_t lonCount = 0;
  for (const TGridPoint& g : points) {
    TRefRecord r;
    r.Pixel = {g.X, g.Y};
    if (!Project({g.Lon, g.Lat}, r.Projected)) refsProjected_ = false;
    if (std::isfinite(g.Lon)) {
      sumLon += g.Lon;
      ++lonCount;
    }
    Trans.Points.push_back(r);
  }
  CentreLon = lonCount > 0 ? sumLon / static_cast<double>(lonCount) : 0;
  if (!std::isfinite(CentreLon)) CentreLon = 0;
  return refsProjected_;
}

bool TWorldConvert::Fit() {
  ScaleX = ScaleY = 1;
  Valid = false;
  std::vector<TRefRecord>& pts = Trans.Points;
  const size_t n = pts.size();
  if (!refsProjected_ || n < 2) return false;
  for (const TRefRecord& r : pts)
    if (!Finite(r.Pixel) || !Finite(r.Projected)) return false;

  if (n == 2) {
    const TRefRecord f = pts[0], s = pts[1];
    Trans.BasePixel[0] = {f.Pixel.X, s.Pixel.Y};
    Trans.BaseProjected[0] = {f.Projected.X, s.Projected.Y};
    Trans.BasePixel[1] = f.Pixel;
    Trans.BaseProjected[1] = f.Projected;
    Trans.BasePixel[2] = s.Pixel;
    Trans.BaseProjected[2] = s.Projected;
  } else {
    if (n > 3) {
      std::vector<size_t> cand;
      if (n > kFullSearchLimit) {
        cand = HullCandidates(pts);
      } else {
        cand.resize(n);
        std::iota(cand.begin(), cand.end(), 0);
      }
      const size_t m = cand.size();
      std::vector<double> d(m * m);
      for (size_t i = 0; i < m; ++i)
        for (size_t j = i + 1; j < m; ++j)
          d[i * m + j] = d[j * m + i] = PlaneDistance(pts[cand[i]].Projected, pts[cand[j]].Projected);
      double best = -1;
      size_t bi = 0, bj = 1, bk = 2;
      for (size_t i = 0; i + 2 < m; ++i)
        for (size_t j = i + 1; j + 1 < m; ++j) {
          const double dij = d[i * m + j];
          const double* dk = &d[j * m];
          const double* di = &d[i * m];
          for (size_t k = j + 1; k < m; ++k) {
            const double per = dij + dk[k] + di[k];
            if (per > best) {
              best = per;
              bi = i;
              bj = j;
              bk = k;
            }
          }
        }
      // Move the triple to the front, in its order.
      std::swap(pts[0], pts[cand[bi]]);
      std::swap(pts[1], pts[cand[bj]]);
      std::swap(pts[2], pts[cand[bk]]);
    }
    // Vertex 0 opposite the longest side: the vertex whose two sides sum
    // least.
    auto sides = [&](int v) {
      const TFPoint& p = pts[v].Projected;
      double s = 0;
      for (int w = 0; w < 3; ++w)
        if (w != v) s += PlaneDistance(p, pts[w].Projected);
      return s;
    };
    if (sides(1) < sides(0)) std::swap(pts[0], pts[1]);
    if (sides(2) < sides(0)) std::swap(pts[0], pts[2]);
    for (int v = 0; v < 3; ++v) {
      Trans.BasePixel[v] = pts[v].Pixel;
      Trans.BaseProjected[v] = pts[v].Projected;
    }
  }

  if (!BuildAffine3(Trans.BasePixel, Trans.BaseProjected, Trans.PixToProj) ||
      !BuildAffine3(Trans.BaseProjected, Trans.BasePixel, Trans.ProjToPix))
    return false;

  pts[0].Residual = {0, 0};
  for (size_t i = 1; i < n; ++i) {
    const TFPoint q = Trans.ProjToPix.Map(pts[i].Projected);
    pts[i].Residual = {q.X - pts[i].Pixel.X, q.Y - pts[i].Pixel.Y};
    if (!Finite(pts[i].Residual)) return false;
  }
  Trans.PrepareCorrection();
  Valid = true;
  return true;
}

bool TWorldConvert::SetScale(double scaleX, double scaleY) {
  if (!std::isfinite(scaleX) || !std::isfinite(scaleY) || scaleX <= 0 || scaleY <= 0) return false;
  ScaleX = scaleX;
  ScaleY = scaleY;
  return true;
}

bool TWorldConvert::GeoToPixel(const TFPoint& pos, TFPoint& pixel) {
  pixel = {0, 0};
  if (!Valid) return false;
  TFPoint p{pos.X - Shift.X, pos.Y - Shift.Y};
  if (std::fabs(p.X - CentreLon) > kPi) p.X = CentreLon + std::remainder(p.X - CentreLon, kTwoPi);
  TFPoint q;
  if (!Project(p, q)) return false;
  TFPoint r = Trans.ProjToPix.Map(q);
  const TFPoint c = Trans.Correction(r);
  r = {(r.X - c.X) * ScaleX, (r.Y - c.Y) * ScaleY};
  if (!Finite(r)) return false;
  pixel = r;
  return true;
}

bool TWorldConvert::GeoToPixelInt(const TFPoint& pos, TPoint& pixel) {
  pixel = {0, 0};
  TFPoint p;
  if (!GeoToPixel(pos, p)) return false;
  constexpr double kLimit = 2147483647.0;
  if (!(std::fabs(p.X) < kLimit && std::fabs(p.Y) < kLimit)) return false;
  pixel = {RoundToInt(p.X), RoundToInt(p.Y)};
  return true;
}

bool TWorldConvert::PixelToGeo(const TFPoint& pixel, TFPoint& pos) {
  pos = {0, 0};
  if (!Valid) return false;
  TFPoint r{pixel.X / ScaleX, pixel.Y / ScaleY};
  const TFPoint c = Trans.Correction(r);
  r = {r.X + c.X, r.Y + c.Y};
  TFPoint g;
  if (!Unproject(Trans.PixToProj.Map(r), g)) return false;
  g = {g.X + Shift.X, g.Y + Shift.Y};
  if (!Finite(g)) return false;
  pos = g;
  return true;
}

bool TWorldConvert::PixelToGeoInt(const TPoint& pixel, TFPoint& pos) {
  if (!PixelToGeo({static_cast<double>(pixel.X), static_cast<double>(pixel.Y)}, pos)) return false;
  double lon = std::remainder(pos.X, kTwoPi);
  if (lon >= kPi) lon -= kTwoPi;
  pos.X = lon;
  return true;
}

TChartSetup TWorldConvert::SetupChart(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                                      const TDatumAliasAsk& ask) {
  TChartSetup res;
  Shift = {0, 0};
  Valid = false;
  if (!SetupProjection(ref)) {
    res.Error = ref.Projection < kProjectionCount ? TSetupError::BadProjection : TSetupError::UnknownProjection;
    if (ref.Projection == kProjLambert) res.ProjectionResult = kBadLambertInit;
    Trans.Points.clear();
  } else if (!SetRefPoints(ref.RefPoints)) {
    res.Error = TSetupError::RefPointFailed;
  } else if (!Fit()) {
    res.Error = TSetupError::FitFailed;
  }

  TFPoint at;
  if (ChartShiftPoint(ref, at)) {
    res.HasShiftPoint = true;
    res.ShiftPoint = at;
    res.Datum = ResolveChartDatum(ref, datum, settings, ask);
    Shift = res.Datum.Rule == TChartShiftRule::Datum ? datum.ShiftAt(at) : res.Datum.OwnShift;
    datum.SetSource(datum.Lookup(settings.GpsDatum));
    res.GpsShift = datum.ShiftAt(at);
  }
  return res;
}

// ---------------------------------------------------------------------------
// The datum rule

TChartShiftChoice ChooseChartShiftRule(bool isKap, bool datumKnown, const TFPoint& chartShift, int mode,
                                       TDatumQuestion question) {
  TChartShiftChoice ch;
  const bool noShift = chartShift.X == 0 && chartShift.Y == 0;
  if (!isKap) {
    ch.Rule = noShift ? TChartShiftRule::Datum : TChartShiftRule::ChartShift;
  } else {
    switch (mode) {
      case 0:
        ch.Rule = TChartShiftRule::Datum;
        break;
      case 1:
        ch.Rule = TChartShiftRule::ChartShift;
        break;
      case 2:
        ch.Rule = datumKnown ? TChartShiftRule::Datum : TChartShiftRule::ChartShift;
        break;
      case 3:
        ch.Rule = chartShift.X == kNoDtmShift && chartShift.Y == kNoDtmShift ? TChartShiftRule::Datum
                                                                               : TChartShiftRule::ChartShift;
        break;
      default:
        ch.Rule = TChartShiftRule::Datum;
        break;
    }
  }
  if (ch.Rule == TChartShiftRule::Datum && !datumKnown) {
    if (mode != 0 && (isKap || question == TDatumQuestion::ModeZeroOnly))
      ch.Rule = TChartShiftRule::ChartShift;
    else
      ch.AskAlias = true;
  }
  return ch;
}

TFPoint SignedChartShift(const TFPoint& chartShift, bool isKap, bool reverse) {
  if (isKap && !reverse) return {-chartShift.X, -chartShift.Y};
  return chartShift;
}

TChartDatum ResolveChartDatum(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                              const TDatumAliasAsk& ask) {
  TChartDatum out;
  bool known = datum.Find(ref.DatumName) > 0;
  const TChartShiftChoice ch =
      ChooseChartShiftRule(ref.IsKAP, known, ref.DatumShift, settings.KapZeroShiftMode, settings.Question);
  if (ch.AskAlias && ask) {
    out.Asked = true;
    out.AliasDeclined = !ask(ref.DatumName);
    known = datum.Find(ref.DatumName) > 0;
  }
  out.Known = known;
  out.Rule = ch.Rule;
  if (out.Rule == TChartShiftRule::Datum)
    datum.SetSource(datum.Lookup(ref.DatumName));
  else
    out.OwnShift = SignedChartShift(ref.DatumShift, ref.IsKAP, settings.ReverseKapShift);
  return out;
}

TFPointArray ChartBorderToWgs84(const RGeoRef& ref, TDatum& datum, const TDatumSettings& settings,
                                const TDatumAliasAsk& ask, TChartDatum* decision) {
  const TChartDatum d = ResolveChartDatum(ref, datum, settings, ask);
  if (decision) *decision = d;
  TFPointArray out;
  out.reserve(ref.Border.size());
  for (const TFPoint& b : ref.Border)
    out.push_back(d.Rule == TChartShiftRule::Datum ? datum.ShiftPosition(b)
                                                   : TFPoint{b.X + d.OwnShift.X, b.Y + d.OwnShift.Y});
  return out;
}

bool ChartShiftPoint(const RGeoRef& ref, TFPoint& at) {
  if (!ref.Border.empty()) {
    at = PolygonCentroid(ref.Border);
    if (Finite(at)) return true;
  }
  if (!ref.RefPoints.empty()) {
    double sx = 0, sy = 0;
    for (const TGridPoint& g : ref.RefPoints) {
      sx += g.Lon;
      sy += g.Lat;
    }
    const double n = static_cast<double>(ref.RefPoints.size());
    at = {sx / n, sy / n};
    if (Finite(at)) return true;
  }
  at = {0, 0};
  return false;
}

// ---------------------------------------------------------------------------
// TPrintTrans

namespace {

// A rounded coordinate, or false when it does not fit a pixel coordinate.
bool PixelCoord(double v, int64_t add, int32_t& out) {
  constexpr int64_t kLimit = int64_t{1} << 30;
  if (!(std::fabs(v) < static_cast<double>(kLimit))) return false;
  const int64_t r = RoundToInt64(v) + add;
  if (r < -kLimit || r > kLimit) return false;
  out = static_cast<int32_t>(r);
  return true;
}

}  // namespace

bool TPrintTrans::ToPage(const TPoint& chart, TPoint& page) const {
  if (SrcWidth <= 0 || SrcHeight <= 0 || DestWidth <= 0 || DestHeight <= 0) return false;
  TPoint p;
  if (!PixelCoord(static_cast<double>(DestWidth) / SrcWidth * (static_cast<double>(chart.X) - SrcX), 0, p.X) ||
      !PixelCoord(static_cast<double>(DestHeight) / SrcHeight * (static_cast<double>(chart.Y) - SrcY), 0, p.Y))
    return false;
  page = p;
  return true;
}

bool TPrintTrans::FromPage(const TPoint& page, TPoint& chart) const {
  if (SrcWidth <= 0 || SrcHeight <= 0 || DestWidth <= 0 || DestHeight <= 0) return false;
  TPoint p;
  if (!PixelCoord(static_cast<double>(SrcWidth) / DestWidth * page.X, SrcX, p.X) ||
      !PixelCoord(static_cast<double>(SrcHeight) / DestHeight * page.Y, SrcY, p.Y))
    return false;
  chart = p;
  return true;
}
