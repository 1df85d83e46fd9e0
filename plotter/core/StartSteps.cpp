#include "plotter/core/StartSteps.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "platform/Questions.h"

namespace {
TStartRunner::THook& Hook() {
  static TStartRunner::THook hook;
  return hook;
}
}  // namespace

TStartRunner::THook TStartRunner::SetStepHook(THook hook) { return std::exchange(Hook(), std::move(hook)); }

bool TStartRunner::Step(int step, const std::string& name, const std::function<void()>& body) {
  try {
    if (Hook()) Hook()(step, name);
    body();
    return true;
  } catch (const std::exception& e) {
    failures_.push_back({step, name, e.what()});
  } catch (...) {
    failures_.push_back({step, name, "unknown exception"});
  }
  return false;
}

std::string TStartRunner::Describe() const {
  std::string text;
  for (const Failure& f : failures_) {
    text += "step " + std::to_string(f.step) + " (" + f.name + "): " + f.what + "\n";
  }
  return text;
}

bool TStartRunner::ReportOnce() {
  if (reported_ || failures_.empty()) return false;
  reported_ = true;
  std::fprintf(stderr, "brismare: start-up problems:\n%s", Describe().c_str());
  AppMessageBox(kInitErrorText, mfOk | mfIconError);
  return true;
}
