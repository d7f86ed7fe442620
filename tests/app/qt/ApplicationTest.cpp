// The application object: an exception that escapes an event handler reaches
// one handler that shows its message, and the program goes on.
#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdlib>
#include <stdexcept>

#include "app/qt/Application.h"

namespace {

class ThrowingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("Cannot create file /x/y.txt");
    if (event->type() == QEvent::User + 1) throw 42;
    return QObject::event(event);
  }
};

TEST(Application, EscapedExceptionsAreShownAndTheLoopGoesOn) {
  auto* app = static_cast<TApplication*>(QCoreApplication::instance());
  QStringList shown;
  app->SetErrorReporter([&](const QString& message) { shown << message; });
  ThrowingObject object;

  QEvent first(QEvent::User);
  QCoreApplication::sendEvent(&object, &first);
  QEvent second(static_cast<QEvent::Type>(QEvent::User + 1));
  QCoreApplication::sendEvent(&object, &second);
  ASSERT_EQ(shown.size(), 2);
  EXPECT_EQ(shown[0], QStringLiteral("Cannot create file /x/y.txt"));
  EXPECT_FALSE(shown[1].isEmpty());

  // A throwing timer handler inside the running loop does not end the loop.
  bool later = false;
  QTimer::singleShot(0, &object, [] { throw std::runtime_error("from a timer"); });
  QTimer::singleShot(10, &object, [&] {
    later = true;
    QCoreApplication::quit();
  });
  TApplication::exec();
  EXPECT_TRUE(later);
  ASSERT_EQ(shown.size(), 3);
  EXPECT_EQ(shown[2], QStringLiteral("from a timer"));
  app->SetErrorReporter(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
