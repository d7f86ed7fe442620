#include "hid/platform/ModuleLoader.h"

#include <windows.h>

namespace hidplatform {

bool OpenLibrary(LibraryHandle& slot, const char* name) {
  if (slot == nullptr) slot = reinterpret_cast<LibraryHandle>(LoadLibraryA(name));
  return slot != nullptr;
}

void CloseLibrary(LibraryHandle& slot) {
  if (slot != nullptr) FreeLibrary(static_cast<HMODULE>(slot));
  slot = nullptr;
}

void* FindEntry(LibraryHandle library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void* FindEntryChecked(LibraryHandle library, const char* name, bool& allFound) {
  void* entry = FindEntry(library, name);
  allFound = allFound && entry != nullptr;
  return entry;
}

}  // namespace hidplatform
