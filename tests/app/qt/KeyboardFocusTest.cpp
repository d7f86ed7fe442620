// Keys typed into the Qt window never reach a control the user cannot see.
#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QWindow>

#include "app/qt/QtToolkit.h"

#include "tests/app/WindowFixture.h"

namespace apptest {
namespace {

bool InsideClientArea(const QWidget& form, const QWidget& control) {
  return form.rect().contains(QRect(control.mapTo(&form, QPoint(0, 0)), control.size()));
}

TEST_F(WindowTest, KeysNeverReachAControlOutsideTheClientArea) {
  Open();  // no HID device, as a new user would start it
  QWidget* const formWidget = &qtui::WidgetOf(form->Window());
  ASSERT_TRUE(QTest::qWaitForWindowActive(formWidget));
  QWindow* window = formWidget->windowHandle();
  ASSERT_NE(window, nullptr);

  // Every hidden button, found afresh, so that a control added to the form
  // later is watched too.
  int hiddenPresses = 0;
  for (QWidget* control : formWidget->findChildren<QWidget*>()) {
    if (InsideClientArea(*formWidget, *control)) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      QObject::connect(button, &QAbstractButton::pressed, [&hiddenPresses] { ++hiddenPresses; });
      QObject::connect(button, &QAbstractButton::toggled, [&hiddenPresses] { ++hiddenPresses; });
    }
  }

  auto focusInView = [&]() -> testing::AssertionResult {
    const QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || InsideClientArea(*formWidget, *focused))
      return testing::AssertionSuccess();
    return testing::AssertionFailure() << "focus on " << focused->objectName().toStdString();
  };

  ASSERT_TRUE(focusInView());
  // Forwards and backwards through the whole chain, pressing what has the
  // focus each time, with the keys that press buttons and move radio buttons.
  const Qt::KeyboardModifiers directions[] = {Qt::NoModifier, Qt::ShiftModifier};
  for (const Qt::KeyboardModifiers direction : directions) {
    for (int step = 1; step <= 40; ++step) {
      SCOPED_TRACE(testing::Message()
                   << (direction == Qt::NoModifier ? "Tab " : "Shift+Tab ") << step);
      QTest::keyClick(window, Qt::Key_Tab, direction);
      ASSERT_TRUE(focusInView());
      for (const Qt::Key key :
           {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Down, Qt::Key_Right, Qt::Key_A}) {
        QTest::keyClick(window, key);
      }
      ASSERT_TRUE(focusInView());
      ASSERT_EQ(hiddenPresses, 0);
      ASSERT_TRUE(launches.empty()) << "the burner was started";
    }
  }
  EXPECT_TRUE(form->Window().IsShown());
}

}  // namespace
}  // namespace apptest
