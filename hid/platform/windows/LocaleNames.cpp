// Language names from the platform's own locale database.
#include <windows.h>

#include <string_view>

#include "base/TextEncoding.h"
#include "hid/platform/HidBackend.h"

namespace hidplatform {

bool GetLocaleName(std::uint16_t languageId, std::string& name) {
  // The neutral ids (0, user and system default) stand for whatever the
  // machine is set to, not for a language a device names.
  if (PRIMARYLANGID(languageId) == LANG_NEUTRAL) return false;
  // The wide call: the ANSI one gives the code page's bytes, which are not
  // UTF-8 ("Anglais (États-Unis)" on a French system).
  wchar_t text[256] = {};
  const LCID locale = MAKELCID(languageId, SORT_DEFAULT);
  const int length = GetLocaleInfoW(locale, LOCALE_SLANGUAGE, text, 256);
  if (length <= 1 || text[0] == 0) return false;
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  // The count includes the terminating zero.
  name = Utf16ToShownUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text),
                                              static_cast<std::size_t>(length - 1)));
  return true;
}

}  // namespace hidplatform
