#include "sharedui/DialogSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QInputDialog>
#include <QWidget>

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

namespace {

class TDoubleClickWatcher final : public QObject {
 public:
  TDoubleClickWatcher(QObject* parent, std::function<void()> action) : QObject(parent), action_(std::move(action)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonDblClick) action_();
    return QObject::eventFilter(watched, e);
  }

 private:
  std::function<void()> action_;
};

}  // namespace

void OnDoubleClick(QWidget* widget, std::function<void()> action) {
  if (widget) widget->installEventFilter(new TDoubleClickWatcher(widget, std::move(action)));
}
