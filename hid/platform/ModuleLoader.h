// Loading shared libraries and finding their entry points at run time, so
// that the program starts (and simply sees no device) where a library is
// missing.
#pragma once

namespace hidplatform {

// Empty (nullptr) when no library is loaded into the slot.
using LibraryHandle = void*;

// Loads the library into the slot unless the slot is already set; true when
// the slot is set afterwards.
bool OpenLibrary(LibraryHandle& slot, const char* name);
// Unloads the library of a set slot and empties the slot.
void CloseLibrary(LibraryHandle& slot);
// The entry's address, or nullptr (also for an empty handle, without asking
// the loader).
void* FindEntry(LibraryHandle library, const char* name);
// FindEntry, and allFound := allFound && (the entry was found).
void* FindEntryChecked(LibraryHandle library, const char* name, bool& allFound);
// FindEntryChecked into a typed function-pointer slot.
template <typename Function>
void ResolveEntry(LibraryHandle library, const char* name, Function*& slot, bool& allFound) {
  slot = reinterpret_cast<Function*>(FindEntryChecked(library, name, allFound));
}

}  // namespace hidplatform
