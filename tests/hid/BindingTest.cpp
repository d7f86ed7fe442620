#include <gtest/gtest.h>

#include "emulator/virtual/VirtualHidBus.h"
#include "hid/platform/DBT.h"
#include "hid/platform/Hid.h"
#include "hid/platform/HidBackend.h"
#include "hid/platform/ModuleLoader.h"
#include "hid/platform/SetupApi.h"

namespace hidplatform {
namespace {

// Libraries every system of the platform has, and an entry point of the first.
#if defined(_WIN32)
constexpr const char* kLibrary = "kernel32.dll";
constexpr const char* kOtherLibrary = "user32.dll";
constexpr const char* kMissingLibrary = "does-not-exist-7.dll";
constexpr const char* kLengthEntry = "lstrlenA";
using LengthFunction = int __stdcall(const char*);
#else
constexpr const char* kLibrary = "libc.so.6";
constexpr const char* kOtherLibrary = "libm.so.6";
constexpr const char* kMissingLibrary = "libdoes-not-exist.so.7";
constexpr const char* kLengthEntry = "strlen";
using LengthFunction = std::size_t(const char*);
#endif

TEST(ModuleLoader, LoadsFindsAndUnloads) {
  LibraryHandle slot = nullptr;
  EXPECT_EQ(FindEntry(slot, kLengthEntry), nullptr);
  EXPECT_FALSE(OpenLibrary(slot, kMissingLibrary));
  EXPECT_EQ(slot, nullptr);
  ASSERT_TRUE(OpenLibrary(slot, kLibrary));
  LibraryHandle same = slot;
  EXPECT_TRUE(OpenLibrary(slot, kOtherLibrary));  // a set slot is kept
  EXPECT_EQ(slot, same);
  bool allFound = true;
  EXPECT_NE(FindEntryChecked(slot, kLengthEntry, allFound), nullptr);
  EXPECT_TRUE(allFound);
  EXPECT_EQ(FindEntryChecked(slot, "no_such_entry_point", allFound), nullptr);
  EXPECT_FALSE(allFound);
  EXPECT_NE(FindEntryChecked(slot, kLengthEntry, allFound), nullptr);
  EXPECT_FALSE(allFound);  // stays false once one was missing
  LengthFunction* length = nullptr;
  bool typedFound = true;
  ResolveEntry(slot, kLengthEntry, length, typedFound);
  EXPECT_TRUE(typedFound);
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(static_cast<int>(length("four")), 4);
  CloseLibrary(slot);
  EXPECT_EQ(slot, nullptr);
  CloseLibrary(slot);  // harmless on an empty slot
}

TEST(Binding, SetupBindingIsCountedAndAFailureTakesNoReference) {
  VirtualHidBus bus;
  ScopedBackend scope(bus);
  ASSERT_EQ(SetupApiRefCount(), 0);
  bus.SetBindFailure(true, false);
  EXPECT_FALSE(BindSetupApi());
  EXPECT_EQ(SetupApiRefCount(), 0);
  EXPECT_FALSE(BindSetupApi());  // not "already bound" after a failure
  bus.SetBindFailure(false, false);
  EXPECT_TRUE(BindSetupApi());
  EXPECT_TRUE(BindSetupApi());
  EXPECT_EQ(SetupApiRefCount(), 2);
  EXPECT_TRUE(bus.IsEnumerationBound());
  ReleaseSetupApi();
  EXPECT_TRUE(bus.IsEnumerationBound());
  ReleaseSetupApi();
  EXPECT_FALSE(bus.IsEnumerationBound());
  ReleaseSetupApi();  // one too many does not go negative
  EXPECT_EQ(SetupApiRefCount(), 0);
}

TEST(Binding, HidBindingIsNotCounted) {
  VirtualHidBus bus;
  ScopedBackend scope(bus);
  bus.SetBindFailure(false, true);
  EXPECT_FALSE(BindHid());
  EXPECT_FALSE(IsHidBound());
  bus.SetBindFailure(false, false);
  EXPECT_TRUE(BindHid());
  EXPECT_TRUE(BindHid());
  EXPECT_TRUE(IsHidBound());
  ReleaseHid();
  EXPECT_FALSE(IsHidBound());
  EXPECT_FALSE(bus.IsHidAccessBound());
  EXPECT_EQ(WM_DEVICECHANGE, 0x219u);
  EXPECT_EQ(DBT_DEVNODES_CHANGED, 7u);
}

TEST(Binding, ScopedBackendRestoresThePreviousOne) {
  HidBackend& platform = CurrentBackend();
  {
    VirtualHidBus outer;
    ScopedBackend a(outer);
    EXPECT_EQ(&CurrentBackend(), &outer);
    {
      VirtualHidBus inner;
      ScopedBackend b(inner);
      EXPECT_EQ(&CurrentBackend(), &inner);
    }
    EXPECT_EQ(&CurrentBackend(), &outer);
  }
  EXPECT_EQ(&CurrentBackend(), &platform);
}

TEST(LocaleNames, KnownAndUnknownIds) {
  std::string name;
  ASSERT_TRUE(GetLocaleName(0x0409, name));
  EXPECT_EQ(name, "English (United States)");
  ASSERT_TRUE(GetLocaleName(0x0407, name));
  EXPECT_EQ(name, "German (Germany)");
#ifdef _WIN32
  // A name outside ASCII arrives as UTF-8, not in the ANSI code page.
  ASSERT_TRUE(GetLocaleName(0x0414, name));
  EXPECT_NE(name.find("Bokm\xC3\xA5l"), std::string::npos) << name;
#endif
  name = "kept";
  EXPECT_FALSE(GetLocaleName(0x1234, name));
  EXPECT_FALSE(GetLocaleName(0, name));
  EXPECT_EQ(name, "kept");
}

}  // namespace
}  // namespace hidplatform
