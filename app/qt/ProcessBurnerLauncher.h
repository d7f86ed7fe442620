// Starting the burner on Linux: the bare program name is resolved the way the
// platform starts programs, and the burner gets a console of its own.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include "app/BurnerLauncher.h"

// Where a bare program name is found: the given application directory first,
// then each absolute directory of pathVariable. The current directory is
// never searched (relative and empty PATH entries are skipped). Empty when
// not found or not executable.
QString ResolveProgram(const QString& name, const QString& applicationDirectory,
                       const QString& pathVariable);

// Whether a desktop is there to open a console window on (DISPLAY or
// WAYLAND_DISPLAY set and not empty).
bool HasDisplay(const QProcessEnvironment& environment);

// The command line that gives the burner a console of its own: with a display
// and a terminal emulator, the emulator running the burner through a short
// shell script that, after a successful burn, keeps the console open until
// Enter, so that its last line can be read (after a failure the burner itself
// waits for Enter). Otherwise (no display, or no emulator) the program itself,
// which then runs on kbupdate's terminal if it has one.
struct LaunchCommand {
  QString program;
  QStringList arguments;
};
LaunchCommand ConsoleCommand(const QString& resolvedProgram, const QString& argument,
                             bool haveDisplay, const QString& terminalEmulator);

// Starts the burner as a separate, detached process.
class ProcessBurnerLauncher : public BurnerLauncher {
 public:
  LaunchResult Launch(const std::string& program, const std::string& argument) override;
};
