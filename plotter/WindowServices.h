// What the main window gives the features of its window: the services many
// of them need (the message panel, the repaint request, modal windows, the
// menus, the dashboard's status, the timer and the ports), and the window's
// state that all of them read (settings, flags, message texts, colours).
// The window (T_Form) implements the services; a feature depends on them and
// on the objects it was given when it was made, never on the window itself.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "plotter/core/Dashboard.h"
#include "plotter/core/Messages.h"
#include "plotter/core/PlotterFlags.h"

class QAction;
class QDialog;
class QMenu;
class QWidget;
class ITickTimer;
class TUpdateCycle;
struct RSysInfo;
class T_CHInfo;
class TChartAvail;
class TWptEdFrm;
class TBrowser;
class TSetupFrm;
class TPSForm;
class TPRInit;
class TDatFrm;
class TGRP_Org;
class TS_Frm;
class TRLForm;

// The program's other windows, made by the program body after the main
// window.
struct TFormSet {
  T_CHInfo* CHInfo = nullptr;
  TChartAvail* ChartAvail = nullptr;
  TWptEdFrm* WptEdFrm = nullptr;
  TBrowser* Browser = nullptr;
  TSetupFrm* SetupFrm = nullptr;
  TPSForm* PSForm = nullptr;
  TPRInit* PRInit = nullptr;
  TDatFrm* DatFrm = nullptr;
  TGRP_Org* GRP_Org = nullptr;
  TS_Frm* S_Frm = nullptr;
  TRLForm* RLForm = nullptr;
  // Every window above (and any the program adds), in the order the
  // program made them.
  std::vector<QWidget*> All;
};

class IWindowServices {
 public:
  virtual ~IWindowServices() = default;

  // The main window: the parent of the feature's windows, and its title.
  virtual QWidget& Window() = 0;

  // The message panel: a progress line (an empty text with max 0 hides it),
  // a line shown without running the event loop, a notice (also written to
  // standard error), a failure (a message box too unless the program is
  // being ended from outside). HideMessage hides the panel when it still
  // shows `text`.
  virtual bool ShowProgress(const std::string& text, int position, int max) = 0;
  virtual void ShowMessageLine(const std::string& text) = 0;
  virtual void ShowNotice(const std::string& text) = 0;
  virtual void ShowFailureNotice(const std::string& text) = 0;
  virtual void HideMessage(const std::string& text) = 0;

  // The repaint request that the update tick takes.
  virtual void RequestRepaint() = 0;
  virtual bool RepaintRequested() const = 0;
  virtual bool TakeRepaintRequest() = 0;

  // The dashboard: which boxes show and where; the night shade level.
  virtual void UpdateStatus() = 0;
  virtual int ShadeLevel() const = 0;

  // A modal window of the plotter (tests answer it), and a line of text
  // asked for (title, prompt, text offered); nullopt when cancelled.
  virtual int ExecDialog(QDialog& dialog) = 0;
  virtual std::optional<std::string> AskDialogText(const std::string& title, const std::string& prompt,
                                                   const std::string& offered) = 0;

  // A menu item or a menu by object name (nullptr when there is none).
  virtual QAction* MenuItem(const char* name) const = 0;
  virtual QMenu* SubMenu(const char* name) const = 0;

  // The one-second timer and the update cycle it runs (null until it is
  // made, and when it could not be).
  virtual ITickTimer& ComTimer() = 0;
  virtual TUpdateCycle* UpdateCycle() const = 0;

  // The serial ports.
  virtual void OpenPorts() = 0;
  virtual void ClosePorts() = 0;

  // The window has closed; `f` runs when it closes (for as long as
  // `context` lives).
  virtual bool Closed() const = 0;
  virtual QMetaObject::Connection OnFormClosed(QObject* context, std::function<void()> f) = 0;
};

// The window's state as every feature sees it, with its services.
struct TWindowContext {
  IWindowServices& window;
  RSysInfo& settings;
  TPlotterFlags& flags;
  TNavFlags& nav;
  const TMessageTable& messages;
  // The colours everything is drawn with at the current shade level.
  const TWindowColours& colours;
  // The dashboard boxes that are to show.
  const TDashSet& dashSet;
  // The program's other windows (each may be null: a window made without
  // the program body).
  const TFormSet& forms;
};

// A widget of the window by its object name; throws when there is none, so
// that a feature whose widgets are missing is not made.
template <class T>
T& FindWidget(QObject& window, const char* name) {
  T* w = window.findChild<T*>(QString::fromLatin1(name));
  if (!w) throw std::runtime_error(std::string("no widget ") + name);
  return *w;
}

// The base of the window's features: the window's state and services, and
// the context object of the feature's signal connections, which end when
// the feature goes.
class TWindowFeature {
 public:
  TWindowFeature(const TWindowFeature&) = delete;
  TWindowFeature& operator=(const TWindowFeature&) = delete;

 protected:
  explicit TWindowFeature(const TWindowContext& c)
      : window_(c.window), sys_(c.settings), flags_(c.flags), nav_(c.nav), messages_(c.messages),
        colours_(c.colours), dashSet_(c.dashSet), forms_(c.forms) {}
  ~TWindowFeature() = default;

  // The menu item of that name enabled and running `command`; nothing when
  // there is no such item.
  void WireCommand(const char* name, std::function<void()> command);
  // A widget of the window by its object name (see FindWidget).
  template <class T>
  T& Widget(const char* name) const {
    return FindWidget<T>(window_.Window(), name);
  }
  // A menu item that must be there.
  QAction& Item(const char* name) const;

  IWindowServices& window_;
  RSysInfo& sys_;
  TPlotterFlags& flags_;
  TNavFlags& nav_;
  const TMessageTable& messages_;
  const TWindowColours& colours_;
  const TDashSet& dashSet_;
  const TFormSet& forms_;
  QObject links_;
};
