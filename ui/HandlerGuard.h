// An exception that escapes an event handler must not end the program in
// the middle of an update: it becomes the application's standard error box.
// The window's behaviour, its dialogs and both front ends guard handlers with
// this one function, so the text shown is the same everywhere.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace ui {

// Runs the handler; if it throws, hands the error's text to report ("Unexpected
// error" for an exception that is not a std::exception). True when the handler
// returned normally.
inline bool RunGuarded(const std::function<void()>& handler,
                       const std::function<void(std::string_view)>& report) {
  std::string message;
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "Unexpected error";
  }
  // Reported outside the handler: the error box runs a message loop of its
  // own, which should not run with an exception still being handled.
  report(message);
  return false;
}

}  // namespace ui
