#include "foundation/qt/Language.h"

#include <QAbstractButton>
#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <QSet>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <utility>

#include "foundation/IniFile.h"
#include "platform/Questions.h"

namespace {

// One string property of one object.
struct TextProp {
  std::function<QString()> get;
  std::function<void(const QString&)> set;
};

// One list property (items or lines) of one object; set receives the whole
// list with some entries replaced.
struct ListProp {
  std::function<QStringList()> get;
  std::function<void(const QStringList&)> set;
};

bool IsTranslatable(const QString& text) {
  if (text.isEmpty()) return false;
  // A value in the file is one line: a text with line breaks would come
  // back as one line, so it is left alone.
  if (text.contains(u'\n') || text.contains(u'\r')) return false;
  const QChar first = text.front();
  if ((first >= u'0' && first <= u'9') || first == u'_' || first == u'-') return false;
  // Count characters, not UTF-16 units.
  return text.size() >= 2 && text.toUcs4().size() >= 2;
}

// Names under which Qt keeps the parts of its own composite widgets.
bool IsInternalName(const QString& name) {
  return name.startsWith(QLatin1String("qt_")) || name.startsWith(QLatin1String("_q_"));
}

bool HasUsableName(const QObject* o) {
  const QString name = o->objectName();
  return !name.isEmpty() && !IsInternalName(name);
}

int TagOf(const QObject* o) {
  bool ok = false;
  const int tag = o->property(kTagProperty).toInt(&ok);
  return ok ? tag : 0;
}

// The page widget of a QTabWidget, or nullptr.
QTabWidget* TabWidgetOfPage(QWidget* w) {
  auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
  if (!stack) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  return tabs && tabs->indexOf(w) >= 0 ? tabs : nullptr;
}

std::optional<TextProp> CaptionOf(QObject* o, bool isForm) {
  if (isForm) {
    auto* w = static_cast<QWidget*>(o);
    return TextProp{[w] { return w->windowTitle(); }, [w](const QString& t) { w->setWindowTitle(t); }};
  }
  if (auto* l = qobject_cast<QLabel*>(o))
    return TextProp{[l] { return l->text(); }, [l](const QString& t) { l->setText(t); }};
  if (auto* b = qobject_cast<QAbstractButton*>(o))
    return TextProp{[b] { return b->text(); }, [b](const QString& t) { b->setText(t); }};
  if (auto* g = qobject_cast<QGroupBox*>(o))
    return TextProp{[g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); }};
  if (auto* a = qobject_cast<QAction*>(o))
    return TextProp{[a] { return a->text(); }, [a](const QString& t) { a->setText(t); }};
  if (auto* m = qobject_cast<QMenu*>(o))
    return TextProp{[m] { return m->title(); }, [m](const QString& t) { m->setTitle(t); }};
  if (auto* w = qobject_cast<QWidget*>(o)) {
    if (QTabWidget* tabs = TabWidgetOfPage(w))
      return TextProp{[tabs, w] { return tabs->tabText(tabs->indexOf(w)); },
                      [tabs, w](const QString& t) {
                        const int i = tabs->indexOf(w);
                        if (i >= 0) tabs->setTabText(i, t);
                      }};
  }
  return std::nullopt;
}

// Qt gives an action without a tool tip of its own one made from its text;
// that one is not a hint of ours. An action built with the same texts and
// no tool tip shows what Qt would derive.
bool HasOwnToolTip(const QAction* a) {
  QAction probe;
  probe.setText(a->text());
  probe.setIconText(a->iconText());
  return a->toolTip() != probe.toolTip();
}

std::optional<TextProp> HintOf(QObject* o) {
  if (auto* w = qobject_cast<QWidget*>(o))
    return TextProp{[w] { return w->toolTip(); }, [w](const QString& t) { w->setToolTip(t); }};
  if (auto* a = qobject_cast<QAction*>(o))
    return TextProp{[a] { return HasOwnToolTip(a) ? a->toolTip() : QString(); },
                    [a](const QString& t) { a->setToolTip(t); }};
  return std::nullopt;
}

std::optional<TextProp> TitleOf(QObject* o) {
  // Only the dynamic property: QGroupBox and QMenu have a built-in "title",
  // which is their Caption.
  if (!o->dynamicPropertyNames().contains(QByteArray(kTitleProperty))) return std::nullopt;
  return TextProp{[o] { return o->property(kTitleProperty).toString(); },
                  [o](const QString& t) { o->setProperty(kTitleProperty, t); }};
}

// The radio buttons that are the items of a radio group, in order; empty
// when the object is no radio group.
QList<QAbstractButton*> RadioItemsOf(QObject* o) {
  QList<QAbstractButton*> items;
  if (auto* g = qobject_cast<QGroupBox*>(o)) {
    for (QRadioButton* r : g->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly)) items << r;
  } else if (auto* bg = qobject_cast<QButtonGroup*>(o)) {
    items = bg->buttons();
  }
  return items;
}

std::optional<ListProp> ItemsOf(QObject* o) {
  if (auto* c = qobject_cast<QComboBox*>(o))
    return ListProp{[c] {
                      QStringList l;
                      for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
                      return l;
                    },
                    [c](const QStringList& l) {
                      for (int i = 0; i < c->count() && i < l.size(); ++i)
                        if (c->itemText(i) != l[i]) c->setItemText(i, l[i]);
                    }};
  if (auto* lw = qobject_cast<QListWidget*>(o))
    return ListProp{[lw] {
                      QStringList l;
                      for (int i = 0; i < lw->count(); ++i) l << lw->item(i)->text();
                      return l;
                    },
                    [lw](const QStringList& l) {
                      for (int i = 0; i < lw->count() && i < l.size(); ++i)
                        if (lw->item(i)->text() != l[i]) lw->item(i)->setText(l[i]);
                    }};
  if (qobject_cast<QGroupBox*>(o) || qobject_cast<QButtonGroup*>(o)) {
    if (RadioItemsOf(o).isEmpty()) return std::nullopt;
    return ListProp{[o] {
                      QStringList l;
                      for (QAbstractButton* b : RadioItemsOf(o)) l << b->text();
                      return l;
                    },
                    [o](const QStringList& l) {
                      const QList<QAbstractButton*> items = RadioItemsOf(o);
                      for (qsizetype i = 0; i < items.size() && i < l.size(); ++i)
                        if (items[i]->text() != l[i]) items[i]->setText(l[i]);
                    }};
  }
  return std::nullopt;
}

std::optional<ListProp> LinesOf(QObject* o) {
  if (auto* p = qobject_cast<QPlainTextEdit*>(o))
    return ListProp{[p] { return p->toPlainText().split(u'\n'); },
                    [p](const QStringList& l) { p->setPlainText(l.join(u'\n')); }};
  if (auto* t = qobject_cast<QTextEdit*>(o))
    return ListProp{[t] { return t->toPlainText().split(u'\n'); },
                    [t](const QStringList& l) { t->setPlainText(l.join(u'\n')); }};
  return std::nullopt;
}

// Every object below `o`, parents before their children, siblings in the
// order they were added. Guarded: giving one object its text can delete
// objects collected after it (a text edit or a label rebuilds its own
// helpers), so each one is looked at only while it still lives.
void CollectOwned(QObject* o, std::vector<QPointer<QObject>>& out) {
  for (QObject* child : o->children()) {
    out.emplace_back(child);
    CollectOwned(child, out);
  }
}

class TPass {
 public:
  TPass(TRWIniFile& file, const std::string& section, QString formName, bool save)
      : file_(file), section_(section), formName_(std::move(formName)), save_(save) {}

  void Component(QObject* o, bool isForm, bool isGroupItem) {
    const QString name = isForm ? formName_ : o->objectName();
    const int tag = TagOf(o);
    const bool keepData = (tag & 1) != 0;
    const bool keepHint = (tag & 2) != 0;

    if (!keepData && !isGroupItem)
      Guarded([&] {
        if (auto p = CaptionOf(o, isForm)) Text(name, QStringLiteral("Caption"), *p);
      });
    if (!keepHint)
      Guarded([&] {
        if (auto p = HintOf(o)) Text(name, QStringLiteral("Hint"), *p);
      });
    if (keepData) return;
    Guarded([&] {
      if (auto p = TitleOf(o)) Text(name, QStringLiteral("Title"), *p);
    });
    Guarded([&] {
      if (auto p = ItemsOf(o)) List(name, QStringLiteral("Items"), *p);
    });
    Guarded([&] {
      if (auto p = LinesOf(o)) List(name, QStringLiteral("Lines"), *p);
    });
  }

 private:
  template <class F>
  static void Guarded(F&& f) {
    try {
      f();
    } catch (...) {
      // One text that cannot be handled must not stop the others.
    }
  }

  std::string Key(const QString& component, const QString& property) const {
    return (formName_ + u'.' + component + u'.' + property).toStdString();
  }

  // Save: writes `text` under the key. Load: returns the stored value when
  // there is a non-empty one.
  std::optional<QString> Exchange(const std::string& key, const QString& text) {
    if (!IsTranslatable(text)) return std::nullopt;
    if (save_) {
      // The settings writer quotes a value with a leading blank, so that it
      // reads back with the blank.
      file_.WriteString(section_, key, text.toStdString());
      return std::nullopt;
    }
    const std::string stored = file_.ReadString(section_, key, "");
    if (stored.empty()) return std::nullopt;
    return QString::fromStdString(stored);
  }

  void Text(const QString& component, const QString& property, const TextProp& p) {
    if (auto value = Exchange(Key(component, property), p.get())) p.set(*value);
  }

  void List(const QString& component, const QString& property, const ListProp& p) {
    QStringList lines = p.get();
    bool changed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
      // A line that fails is skipped like any other failed text.
      Guarded([&] {
        if (auto value = Exchange(Key(component, property + u'.' + QString::number(i)), lines[i])) {
          if (lines[i] != *value) {
            lines[i] = *value;
            changed = true;
          }
        }
      });
    }
    if (changed) p.set(lines);
  }

  TRWIniFile& file_;
  const std::string& section_;
  QString formName_;
  bool save_;
};

bool StartsWithSave(const std::string& s) {
  static constexpr char kPrefix[] = "SAVE:";
  if (s.size() < 5) return false;
  for (size_t i = 0; i < 5; ++i) {
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    if (c != kPrefix[i]) return false;
  }
  return true;
}

}  // namespace

TLanguage::TLanguage(std::string section) : section_(std::move(section)) {}

void TLanguage::Translate(QWidget* form, TRWIniFile& file, bool save) {
  fileName_ = file.FileName();
  if (!form || !HasUsableName(form)) return;

  std::vector<QPointer<QObject>> owned;
  CollectOwned(form, owned);

  // Radio buttons that are items of a named radio group are handled
  // through the group. Nothing has changed yet, so every object lives.
  QSet<QObject*> groupItems;
  for (const QPointer<QObject>& o : owned)
    if (HasUsableName(o))
      for (QAbstractButton* b : RadioItemsOf(o)) groupItems.insert(b);

  TPass pass(file, section_, form->objectName(), save);
  pass.Component(form, true, false);
  for (const QPointer<QObject>& o : owned) {
    if (!o) continue;
    if (HasUsableName(o)) pass.Component(o, false, groupItems.contains(o));
  }
}

bool TLanguage::Translate(QWidget* form, const std::string& fileName, bool save) {
  lastError_.clear();
  try {
    TRWIniFile file(fileName);
    Translate(form, file, save);
    if (save) file.UpdateFile();
    return true;
  } catch (const EIniWriteError& e) {
    lastError_ = e.what();
  } catch (const std::exception&) {
    // Reading never fails as a whole; only a save can be lost.
    if (!save) return true;
    lastError_ = "Unable to write to " + fileName;
  }
  return false;
}

TLanguageResult ApplyLanguage(const std::vector<QWidget*>& forms, const std::string& fileName, bool save) {
  if (fileName.empty()) return TLanguageResult::Nothing;
  try {
    TLanguage language(kLanguageSection);
    TRWIniFile file(fileName);
    for (QWidget* form : forms) language.Translate(form, file, save);
    if (!save) return TLanguageResult::Loaded;
    file.UpdateFile();
    return TLanguageResult::Saved;
  } catch (const EIniWriteError& e) {
    AppMessageBox(e.what(), mfOk | mfIconError);
  } catch (const std::exception&) {
    if (!save) return TLanguageResult::Loaded;
    AppMessageBox("Unable to write to " + fileName, mfOk | mfIconError);
  }
  return TLanguageResult::WriteFailed;
}

TLanguageResult ApplyLanguageSetting(const std::vector<QWidget*>& forms, std::string& setting) {
  if (setting.empty()) return TLanguageResult::Nothing;
  if (!StartsWithSave(setting)) return ApplyLanguage(forms, setting, false);

  setting.erase(0, 5);
  if (setting.empty()) return TLanguageResult::Nothing;
  std::error_code ec;
  if (std::filesystem::exists(setting, ec) && !AskYesNo(setting + " Exists! Overwrite?"))
    return TLanguageResult::Declined;
  return ApplyLanguage(forms, setting, true);
}
