// Received sentences copied to the output: never back to the link they
// came from, never "!" sentences, and never into the room the plotter's
// own sentences need.
#include <string>

#include "TestSupport.h"
#include "instruments/NMEA.h"
#include "instruments/NMEATestUtil.h"

namespace {

TEST(PassThrough, GoesOutButNeverBackToItsSourceAndNeverCrowdsOutSteering) {
  TNMEALineBuffer a;
  a.Source = kSourcePortA;
  TNMEALineBuffer b(&a.Parser());
  b.Source = kSourcePortB;
  TNMEALineBuffer net(&a.Parser());
  net.Source = kSourceNetwork;
  TNMEA& p = a.Parser();
  p.PassFilter = "*";
  const std::string dpt = Nmea("SDDPT,12.3,0.5");
  const std::string vdm = Nmea("AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0", '!');

  // Output goes back out through port A: what port A sent is not echoed.
  p.EchoSource = kSourcePortA;
  a.FeedText(dpt + "\r\n");
  EXPECT_EQ(p.Info.OutBuffer, "");
  b.FeedText(dpt + "\r\n" + vdm + "\r\n");
  EXPECT_EQ(p.Info.OutBuffer, dpt + "\r\n");
  // Output goes over the network: then port A's sentences may go, the
  // network's not.
  p.Info.OutBuffer.clear();
  p.EchoSource = kSourceNetwork;
  net.FeedText(dpt + "\r\n");
  a.FeedText(dpt + "\r\n");
  EXPECT_EQ(p.Info.OutBuffer, dpt + "\r\n");

  // A busy input fills the queue only up to its share; the plotter's own
  // sentences still fit after it.
  p.Info.OutBuffer.clear();
  for (int i = 0; i < 5000; ++i) b.FeedText(dpt + "\r\n");
  EXPECT_LE(p.Info.OutBuffer.size(), TNMEA::kMaxPassThroughBuffer + dpt.size() + 2);
  const size_t before = p.Info.OutBuffer.size();
  p.AppendOutput("$ECAPB,A,A*00\r\n");
  EXPECT_EQ(p.Info.OutBuffer.size(), before + 15);
}

}  // namespace
