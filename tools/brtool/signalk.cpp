// brtool signalk SOURCE: connects to a Signal K server as the plotter does
// (SOURCE as "NMEA_SIMUL" names it: "SK:host:port", "SKS:host:port", or
// "SK" for the server the network announces), reads its stream for a
// while and prints what it read as one JSON object: the server, the link's
// state, the counters of the reader, the own vessel's navigation state and
// the AIS targets.
//
//   --seconds S        read for S seconds (default 10)
//   --deltas N         stop after N deltas
//   --token T          a token the server granted (else an access request
//                      is made where the server wants one; its notices go to
//                      standard error, the token is never printed)
//   --client-id ID     the client id of the access request
//   --fingerprint FP   the SHA-256 fingerprint of a certificate to accept
//   --transducer-depth M  "Transducer Depth" (default 0.5)
//
// Angles are degrees, speeds knots, depth metres below the transducer; a
// value the server did not give is null.
#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <string>

#include "Command.h"
#include "foundation/NumText.h"
#include "instruments/AIS.h"
#include "instruments/NMEA.h"
#include "instruments/qt/SignalKLink.h"
#include "platform/Clock.h"

namespace {

std::string Num(double v, int decimals) {
  if (!IsKnown(v) || !std::isfinite(v)) return "null";
  return FloatToStrFixedDot(decimals, v);
}
std::string Deg(double v, int decimals = 5) { return IsKnown(v) ? Num(v * kRadToDeg, decimals) : "null"; }

std::string Report(const TSignalKLink& link, const TNMEA& parser, const TAisDecoder& ais) {
  const TNMEAINFO& I = parser.Info;
  std::string j = "{\n";
  j += "  \"source\": " + JsonText(link.Description()) + ",\n";
  j += "  \"server\": " + JsonText(link.ServerRelease()) + ",\n";
  j += "  \"self\": " + JsonText(link.Reader() ? link.Reader()->SelfContext() : "") + ",\n";
  j += "  \"state\": " + JsonText(TNetLink::StateName(link.State())) + ",\n";
  j += "  \"last_failure\": " + JsonText(link.LastFailure()) + ",\n";
  if (const TSignalKReader* r = link.Reader()) {
    const TSignalKCounters& c = r->Counters();
    j += "  \"counters\": {\"messages\": " + std::to_string(c.Messages) + ", \"deltas\": " + std::to_string(c.Deltas) +
         ", \"values\": " + std::to_string(c.Values) + ", \"not_json\": " + std::to_string(c.NotJson) +
         ", \"too_large\": " + std::to_string(c.TooLarge) + ", \"bad_numbers\": " + std::to_string(c.BadNumbers) +
         ", \"bad_types\": " + std::to_string(c.BadTypes) + ", \"other_source\": " + std::to_string(c.OtherSource) +
         ", \"targets_refused\": " + std::to_string(c.TargetsRefused) + "},\n";
  }
  const bool fix = I.FixStatus == kFixValid;
  j += "  \"own\": {\"fix\": " + std::string(fix ? "true" : "false") +
       ", \"lat\": " + (fix ? Deg(I.Pos.Y, 6) : "null") + ", \"lon\": " + (fix ? Deg(I.Pos.X, 6) : "null") +
       ", \"sog\": " + Num(I.SOG, 2) + ", \"cog\": " + Deg(I.COG, 1) + ", \"heading\": " + Deg(I.Heading, 1) +
       ", \"compass_heading\": " + Deg(I.CompassHeading, 1) + ", \"mag_heading\": " + Deg(I.MagHeading, 1) +
       ", \"variation\": " + Deg(I.Variation, 1) + ", \"water_speed\": " + Num(I.WaterSpeed, 2) +
       ", \"depth\": " + Num(I.Depth, 2) + ", \"water_temp\": " + Num(I.WaterTemp, 1) +
       ", \"apparent_wind_angle\": " + Deg(I.ApparentWindAngle, 1) +
       ", \"apparent_wind_speed\": " + Num(I.ApparentWindSpeed, 2) + ", \"true_wind_angle\": " +
       Deg(I.TrueWindAngle, 1) + ", \"true_wind_speed\": " + Num(I.TrueWindSpeed, 2) +
       ", \"true_wind_direction\": " + Deg(I.TrueWindDirection, 1) +
       ", \"fix_quality\": " + std::to_string(I.FixQuality) + ", \"satellites\": " + std::to_string(I.Satellites) +
       "},\n";
  j += "  \"targets\": [";
  bool first = true;
  for (int i = 0; i < ais.TargetCount(); ++i) {
    const TAIS_Rec& t = ais.Target(i);
    if (t.TargetState == kAisFree) continue;
    const bool pos = t.TargetState == kAisActive;
    j += first ? "\n" : ",\n";
    first = false;
    j += "    {\"mmsi\": " + std::to_string(t.MMSI) + ", \"kind\": " + JsonText(AisKindCode(t.Kind)) +
         ", \"name\": " + JsonText(t.Name.Empty() ? "" : CleanAisText(t.Name.View())) +
         ", \"callsign\": " + JsonText(t.CallSign.Empty() ? "" : CleanAisText(t.CallSign.View())) +
         ", \"destination\": " + JsonText(t.Destination.Empty() ? "" : CleanAisText(t.Destination.View())) +
         ", \"lat\": " + (pos ? Deg(t.TargetPos.Y, 6) : "null") + ", \"lon\": " + (pos ? Deg(t.TargetPos.X, 6) : "null") +
         ", \"sog\": " + (t.RawSOG != kAisSpeedNotAvailable ? Num(t.SOGKnots, 1) : "null") +
         ", \"cog\": " + (t.RawCOG != kAisCourseNotAvailable ? Num(t.RawCOG / 10.0, 1) : "null") +
         ", \"heading\": " + (t.RawHeading != kAisHeadingNotAvailable ? std::to_string(t.RawHeading) : "null") +
         ", \"status\": " + std::to_string(t.NavStatus) + ", \"length\": " + std::to_string(t.LengthM) +
         ", \"to_bow\": " + std::to_string(t.ToBow) + ", \"to_stern\": " + std::to_string(t.ToStern) +
         ", \"to_port\": " + std::to_string(t.ToPort) + ", \"to_starboard\": " + std::to_string(t.ToStarboard) +
         ", \"draught\": " + Num(t.Draught / 10.0, 1) + "}";
  }
  j += first ? "]\n}\n" : "\n  ]\n}\n";
  return j;
}

int RunSignalK(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("signalk", args,
                          {"seconds", "deltas", "token", "client-id", "fingerprint", "transducer-depth"}, opt))
    return 2;
  if (opt.positional.size() != 1) {
    std::fprintf(stderr,
                 "usage: brtool signalk SK:host:port|SKS:host:port|SK [--seconds S] [--deltas N] [--token T] "
                 "[--client-id ID] [--fingerprint FP] [--transducer-depth M]\n");
    return 2;
  }
  const TNetSource source = ParseNetworkSource(opt.positional[0]);
  if (source.Kind != TNetKind::SignalK) {
    std::fprintf(stderr, "brtool signalk: \"%s\" is not a Signal K source (SK:host:port, SKS:host:port or SK)\n",
                 opt.positional[0].c_str());
    return 2;
  }
  double seconds = 10, depth = 0.5;
  int64_t deltas = -1;
  auto number = [&](const char* name, double& out) {
    const std::string* v = opt.Get(name);
    if (!v) return true;
    auto n = TryStrToFloatDot(*v);
    if (!n || *n < 0) {
      std::fprintf(stderr, "brtool signalk: --%s needs a number\n", name);
      return false;
    }
    out = *n;
    return true;
  };
  double d = -1;
  if (!number("seconds", seconds) || !number("transducer-depth", depth) || !number("deltas", d)) return 2;
  if (d >= 0) deltas = static_cast<int64_t>(d);

  int argc = 1;
  char name[] = "brtool";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TNMEA parser(Clock());
  TAisDecoder ais(parser);
  TSignalKLink link(Clock());
  link.SetSource(source);
  link.AttachInstruments(&parser, &ais);
  link.SetTransducerDepth(depth);
  TSignalKLink::TCredentials c;
  if (const std::string* v = opt.Get("token")) c.Token = *v;
  if (const std::string* v = opt.Get("client-id")) c.ClientId = *v;
  if (const std::string* v = opt.Get("fingerprint")) c.Fingerprint = *v;
  link.SetCredentials(c);
  QObject::connect(&link, &TNetLink::Notice, [](const QString& text) {
    std::fprintf(stderr, "brtool signalk: %s\n", text.toLocal8Bit().constData());
  });
  QObject::connect(&link, &TSignalKLink::CertificateUntrusted, [&app](const QString& fp, const QString&) {
    std::fprintf(stderr, "brtool signalk: give --fingerprint %s to accept the certificate\n", fp.toLatin1().constData());
    app.exit(1);
  });
  QObject::connect(&link, &TNetLink::DataReceived, [&] {
    if (deltas >= 0 && link.Reader() && link.Reader()->Counters().Deltas >= deltas) app.exit(0);
  });
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [&link] { link.Poll(); });
  tick.start(250);
  QTimer::singleShot(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)), &app, [&app] { app.exit(0); });
  if (!link.Connect()) return 1;
  const int rc = app.exec();
  tick.stop();
  const std::string out = Report(link, parser, ais);
  link.Disconnect();
  link.AttachInstruments(nullptr, nullptr);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (std::fflush(stdout) != 0) return 1;
  return rc;
}

BrtoolCommand cmd{"signalk",
                  "signalk SOURCE          read a Signal K server's stream and print its state as JSON [--seconds S] "
                  "[--deltas N] [--token T] [--fingerprint FP]",
                  RunSignalK};

}  // namespace
