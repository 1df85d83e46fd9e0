// The window tests always run on the offscreen platform. ctest sets it for
// the test runs, but not when it lists the tests of the program before
// running them; without a display the QApplication of that listing run
// would abort. Set it before main() creates the application, unless the
// caller chose a platform.
#include <cstdlib>

namespace {

const bool kOffscreenDefault = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
  return true;
}();

}  // namespace
