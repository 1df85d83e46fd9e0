#include "sharedui/DialogSupport.h"

#include <QCoreApplication>
#include <QInputDialog>

#include <cstdio>

#include "platform/Questions.h"

int ProgramMessage(const std::string& text, unsigned flags) {
  const std::string caption = QCoreApplication::applicationName().toStdString();
  if (IUserQuestions* q = UserQuestions()) return q->MessageBox(text, caption.empty() ? kAppCaption : caption, flags);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return DefaultAnswer(flags);
}

std::optional<std::string> AskText(QWidget* parent, const std::string& title, const std::string& prompt,
                                   const std::string& offered) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent, QString::fromStdString(title), QString::fromStdString(prompt),
                                               QLineEdit::Normal, QString::fromStdString(offered), &ok);
  if (!ok) return std::nullopt;
  return answer.toStdString();
}
