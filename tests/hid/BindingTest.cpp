#include <gtest/gtest.h>

#include "hid/platform/DBT.h"
#include "hid/platform/Hid.h"
#include "hid/platform/HidBackend.h"
#include "hid/platform/ModuleLoader.h"
#include "hid/platform/SetupApi.h"
#include "hid/platform/virtual/VirtualHidBus.h"

namespace hidplatform {
namespace {

TEST(ModuleLoader, LoadsFindsAndUnloads) {
  LibraryHandle slot = nullptr;
  EXPECT_EQ(FindEntry(slot, "dlopen"), nullptr);
  EXPECT_FALSE(OpenLibrary(slot, "libdoes-not-exist.so.7"));
  EXPECT_EQ(slot, nullptr);
  ASSERT_TRUE(OpenLibrary(slot, "libc.so.6"));
  LibraryHandle same = slot;
  EXPECT_TRUE(OpenLibrary(slot, "libm.so.6"));  // a set slot is kept
  EXPECT_EQ(slot, same);
  bool allFound = true;
  EXPECT_NE(FindEntryChecked(slot, "strlen", allFound), nullptr);
  EXPECT_TRUE(allFound);
  EXPECT_EQ(FindEntryChecked(slot, "no_such_entry_point", allFound), nullptr);
  EXPECT_FALSE(allFound);
  EXPECT_NE(FindEntryChecked(slot, "strlen", allFound), nullptr);
  EXPECT_FALSE(allFound);  // stays false once one was missing
  std::size_t (*length)(const char*) = nullptr;
  bool typedFound = true;
  ResolveEntry(slot, "strlen", length, typedFound);
  EXPECT_TRUE(typedFound);
  ASSERT_NE(length, nullptr);
  EXPECT_EQ(length("four"), 4u);
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
  name = "kept";
  EXPECT_FALSE(GetLocaleName(0x1234, name));
  EXPECT_FALSE(GetLocaleName(0, name));
  EXPECT_EQ(name, "kept");
}

}  // namespace
}  // namespace hidplatform
