#include "hid/platform/ModuleLoader.h"

#include <dlfcn.h>

namespace hidplatform {

bool OpenLibrary(LibraryHandle& slot, const char* name) {
  if (slot == nullptr) slot = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  return slot != nullptr;
}

void CloseLibrary(LibraryHandle& slot) {
  if (slot != nullptr) dlclose(slot);
  slot = nullptr;
}

void* FindEntry(LibraryHandle library, const char* name) {
  if (library == nullptr) return nullptr;
  return dlsym(library, name);
}

void* FindEntryChecked(LibraryHandle library, const char* name, bool& allFound) {
  void* entry = FindEntry(library, name);
  allFound = allFound && entry != nullptr;
  return entry;
}

}  // namespace hidplatform
