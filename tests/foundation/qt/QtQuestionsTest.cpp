#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "QtPrint.h"
#include "TestSupport.h"
#include "platform/qt/QtFileDialogs.h"
#include "platform/qt/QtQuestions.h"

namespace {

// Runs `act` on the modal dialog of type T once it shows.
template <class T>
void WhenShown(std::function<void(T*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!dialog) {
      ADD_FAILURE() << "no modal dialog";
      return;
    }
    act(dialog);
  });
}

TEST(QtQuestions, BoxShowsFlagsAndReturnsTheButton) {
  struct Case {
    unsigned flags;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;  // NoButton: close the box
    int expected;
  };
  const Case cases[] = {
      {mfYesNo | mfIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, idYes},
      {mfYesNo | mfIconQuestion, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, idNo},
      {mfYesNo, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton, idNo},
      {mfYesNoCancel | mfIconWarning, QMessageBox::Warning,
       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::NoButton, idCancel},
      {mfOkCancel | mfIconInformation, QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel,
       QMessageBox::Ok, idOk},
      {mfOk | mfIconError, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::NoButton, idOk},
  };
  TQtQuestions questions;
  for (const Case& c : cases) {
    WhenShown<QMessageBox>([&c](QMessageBox* box) {
      EXPECT_EQ(box->windowTitle(), "Brismare II");
      EXPECT_EQ(box->text(), "Route is not saved! Continue?");
      EXPECT_EQ(box->icon(), c.icon);
      EXPECT_EQ(box->standardButtons(), c.buttons);
      if (c.press == QMessageBox::NoButton)
        box->close();
      else
        box->button(c.press)->click();
    });
    EXPECT_EQ(questions.MessageBox("Route is not saved! Continue?", "Brismare II", c.flags), c.expected)
        << "flags " << c.flags << " press " << c.press;
  }
}

TEST(QtFileDialogs, ClassicFiltersBecomeQtFilters) {
  EXPECT_EQ(QtNameFilters("Route Files|*.SRW;*.RTE|Any File|*.*"),
            QStringList({"Route Files (*.SRW *.srw *.RTE *.rte)", "Any File (*)"}));
  EXPECT_EQ(QtNameFilters("Text|*.txt"), QStringList({"Text (*.txt)"}));
  EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(QtFileDialogs, DialogsShowTheOptionsAndReturnTheChoice) {
  TTempDir dir;
  WriteTestFile(dir / "chart.wci", "x");
  TQtFileDialogs dialogs;

  TFileDialogOptions open;
  open.title = "Chart Files";
  open.filter = "WCI|*.WCI|Any File|*.*";
  open.filterIndex = 2;
  open.initialDir = dir.path();
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->windowTitle(), "Chart Files");
    EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(d->selectedNameFilter(), "Any File (*)");
    d->selectFile(QString::fromStdString(dir / "chart.wci"));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(dialogs.OpenFile(open), dir / "chart.wci");

  WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_EQ(dialogs.OpenFile(open), std::nullopt);

  // A save dialog adds the default extension to a bare name.
  TFileDialogOptions save;
  save.title = "Language File";
  save.filter = "Language Files|*.LNG";
  save.defaultExt = ".LNG";
  save.fileName = dir / "english";
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(d->defaultSuffix(), "LNG");
    EXPECT_EQ(d->directory().absolutePath() + u'/', QString::fromStdString(dir.path()));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_EQ(dialogs.SaveFile(save), dir / "english.LNG");
}

}  // namespace
