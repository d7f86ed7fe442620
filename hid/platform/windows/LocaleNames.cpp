// Language names from the platform's own locale database.
#include <windows.h>

#include "hid/platform/HidBackend.h"

namespace hidplatform {

bool GetLocaleName(std::uint16_t languageId, std::string& name) {
  // The neutral ids (0, user and system default) stand for whatever the
  // machine is set to, not for a language a device names.
  if (PRIMARYLANGID(languageId) == LANG_NEUTRAL) return false;
  char text[256] = {};
  const LCID locale = MAKELCID(languageId, SORT_DEFAULT);
  if (GetLocaleInfoA(locale, LOCALE_SLANGUAGE, text, sizeof text) <= 0 || text[0] == 0) {
    return false;
  }
  name = text;
  return true;
}

}  // namespace hidplatform
