// Start-up in guarded steps. Each step of the main window's start runs on its
// own: a step that fails is recorded and start-up goes on with the next one,
// so that a bad file or a missing device never leaves a plotter without its
// timer or with objects half made. The user is told once, whatever the
// number of failures.
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* kInitErrorText = "Unknown error during init";

class TStartRunner {
 public:
  struct Failure {
    int step;
    std::string name;
    std::string what;
  };

  // Runs `body`; any exception is caught and recorded. True when it ran
  // through.
  bool Step(int step, const std::string& name, const std::function<void()>& body);

  // A hook run inside the guard before every step (failure injection in
  // tests: a hook that throws makes the step fail). Returns the previous
  // hook.
  using THook = std::function<void(int step, const std::string& name)>;
  static THook SetStepHook(THook hook);

  bool Failed() const { return !failures_.empty(); }
  const std::vector<Failure>& Failures() const { return failures_; }
  // One line per failure ("step 16 (catalog): <reason>").
  std::string Describe() const;

  // The first time it is called after a failure: shows "Unknown error during
  // init" through the installed user questions, and writes the failures to
  // standard error. Later calls do nothing. True when it showed the message.
  bool ReportOnce();

 private:
  std::vector<Failure> failures_;
  bool reported_ = false;
};
