// Starting the burner program: one small seam, so that the window's tests see
// what would be started without starting anything.
#pragma once

#include <QString>
#include <QStringList>

struct LaunchResult {
  bool started = false;
  QString error;  // why the program could not be started
};

class BurnerLauncher {
 public:
  virtual ~BurnerLauncher() = default;
  // Starts program (a bare file name) with the one argument, without
  // waiting for it.
  virtual LaunchResult Launch(const QString& program, const QString& argument) = 0;
};

// The burner's file name on this platform.
QString BurnerProgramName();

// The firmware file that kbupdate hands to the burner: "USBKeyboard.MTP" in
// the given directory (kbupdate's own).
QString FirmwarePathIn(const QString& directory);

// Where a bare program name is found: the given application directory first,
// then each absolute directory of pathVariable. The current directory is
// never searched (relative and empty PATH entries are skipped). Empty when
// not found or not executable.
QString ResolveProgram(const QString& name, const QString& applicationDirectory,
                       const QString& pathVariable);

// The command line that shows the burner's console: the program itself when
// kbupdate has a terminal, otherwise the desktop's terminal emulator running
// it. With neither (terminalEmulator empty) the program itself, which then
// runs without a console.
struct LaunchCommand {
  QString program;
  QStringList arguments;
};
LaunchCommand ConsoleCommand(const QString& resolvedProgram, const QString& argument,
                             bool haveTerminal, const QString& terminalEmulator);

// Starts the burner as a separate, detached process.
class ProcessBurnerLauncher : public BurnerLauncher {
 public:
  LaunchResult Launch(const QString& program, const QString& argument) override;
};
