// kbupdate: the keyboard firmware update window.
#include "app/Application.h"
#include "app/DevReader.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TbootloaderFORM bootloaderFORM;
  bootloaderFORM.show();
  return TApplication::exec();
}
