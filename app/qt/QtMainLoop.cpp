#include "app/qt/QtMainLoop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace qtui {
namespace {

class NotifierWatch : public hidplatform::SourceWatch {
 public:
  NotifierWatch(hidplatform::NotificationSource source, std::function<void()> onReady)
      : notifier_(static_cast<qintptr>(source), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, &notifier_,
                     [onReady = std::move(onReady)] { onReady(); });
  }

 private:
  QSocketNotifier notifier_;
};

}  // namespace

void QtMainLoop::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

std::unique_ptr<hidplatform::SourceWatch> QtMainLoop::Watch(hidplatform::NotificationSource source,
                                                            std::function<void()> onReady) {
  return std::make_unique<NotifierWatch>(source, std::move(onReady));
}

}  // namespace qtui
