// The update window inside the application object (AppTestMain.cpp), run in a
// scratch working directory of its own: the directory the touchpad image is
// read from and the save dialog opens in.
#pragma once

#include <QAbstractButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "tests/app/WindowFixture.h"
#include "tests/touchpad/AppErrors.h"

namespace apptest {

class ScratchDirWindowTest : public WindowTest {
 protected:
  ScratchDirWindowTest() : previousDir_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
  ~ScratchDirWindowTest() override {
    form.reset();
    QDir::setCurrent(previousDir_);
    TakeReportedErrors();  // none left over for the next test
  }

  static void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  QTemporaryDir dir_;

 private:
  QString previousDir_;
};

}  // namespace apptest
