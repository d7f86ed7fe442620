// Tests of the window run inside the real application object; the messages
// its error box would show are collected here instead of waiting for a click.
#pragma once

#include <QStringList>

namespace apptest {

// The messages reported since the last call.
QStringList TakeReportedErrors();

}  // namespace apptest
