// The HID layer's main loop on Qt's event loop, for the Qt window and its
// dialogs: tasks are queued to the application object, sources are watched
// with QSocketNotifier.
#pragma once

#include "hid/platform/MainLoop.h"

namespace qtui {

class QtMainLoop : public hidplatform::MainLoop {
 public:
  // Needs a QCoreApplication while tasks are posted.
  void Post(std::function<void()> task) override;
  std::unique_ptr<hidplatform::SourceWatch> Watch(hidplatform::NotificationSource source,
                                                  std::function<void()> onReady) override;
};

}  // namespace qtui
