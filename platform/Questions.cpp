#include "platform/Questions.h"

#include <cstdio>

namespace {
IUserQuestions* gQuestions = nullptr;
}

int DefaultAnswer(unsigned flags) {
  switch (flags & mfButtonMask) {
    case mfYesNo:
      return idNo;
    case mfOkCancel:
    case mfYesNoCancel:
      return idCancel;
    default:
      return idOk;
  }
}

int TScriptedQuestions::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  int answer = DefaultAnswer(flags);
  if (!script_.empty()) {
    answer = script_.front();
    script_.pop_front();
  }
  asked_.push_back({text, caption, flags, answer});
  return answer;
}

IUserQuestions* SetUserQuestions(IUserQuestions* q) {
  IUserQuestions* previous = gQuestions;
  gQuestions = q;
  return previous;
}

IUserQuestions* UserQuestions() { return gQuestions; }

int AppMessageBox(const std::string& text, unsigned flags) {
  if (gQuestions) return gQuestions->MessageBox(text, kAppCaption, flags);
  std::fprintf(stderr, "%s: %s\n", kAppCaption, text.c_str());
  return DefaultAnswer(flags);
}

bool AskYesNo(const std::string& text) { return AppMessageBox(text, mfYesNo | mfIconQuestion) == idYes; }
