// User questions and messages. Every message box of the programs goes
// through one installable interface: the window programs install a Qt
// implementation, tests a scripted one. With nothing installed (a program
// running without a window) the safe default answer is taken and the text
// goes to standard error.
#pragma once

#include <deque>
#include <string>
#include <vector>

// Buttons and icons (values as the classic message-box flags).
enum TMsgFlags : unsigned {
  mfOk = 0x0,
  mfOkCancel = 0x1,
  mfYesNoCancel = 0x3,
  mfYesNo = 0x4,
  mfIconError = 0x10,
  mfIconQuestion = 0x20,
  mfIconWarning = 0x30,
  mfIconInformation = 0x40,
  mfButtonMask = 0xF,
  mfIconMask = 0xF0,
};

// Answers.
enum TMsgResult : int { idOk = 1, idCancel = 2, idYes = 6, idNo = 7 };

inline constexpr const char* kAppCaption = "Brismare II";

class IUserQuestions {
 public:
  virtual ~IUserQuestions() = default;
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

// The answer a box gets when no one can be asked: No for Yes/No, Cancel
// where there is a Cancel button, OK otherwise.
int DefaultAnswer(unsigned flags);

// Records every question and answers from a script; when the script runs
// out, the default answer is given.
class TScriptedQuestions final : public IUserQuestions {
 public:
  struct Asked {
    std::string text;
    std::string caption;
    unsigned flags;
    int answer;
  };
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void Answer(int result) { script_.push_back(result); }
  const std::vector<Asked>& asked() const { return asked_; }
  void Clear() {
    asked_.clear();
    script_.clear();
  }

 private:
  std::deque<int> script_;
  std::vector<Asked> asked_;
};

IUserQuestions* SetUserQuestions(IUserQuestions* q);  // returns the previous one
IUserQuestions* UserQuestions();                       // may be nullptr

// A message box captioned "Brismare II"; returns the button pressed.
int AppMessageBox(const std::string& text, unsigned flags);
// A Yes/No question captioned "Brismare II" with the question icon; only
// Yes confirms.
bool AskYesNo(const std::string& text);
