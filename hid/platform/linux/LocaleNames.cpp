// Language names for USB language ids (Windows LANGIDs), in English.
#include <utility>

#include "hid/platform/HidBackend.h"

namespace hidplatform {
namespace {

constexpr std::pair<std::uint16_t, const char*> kLanguages[] = {
    {0x0401, "Arabic (Saudi Arabia)"},
    {0x0402, "Bulgarian (Bulgaria)"},
    {0x0403, "Catalan (Catalan)"},
    {0x0404, "Chinese (Taiwan)"},
    {0x0405, "Czech (Czech Republic)"},
    {0x0406, "Danish (Denmark)"},
    {0x0407, "German (Germany)"},
    {0x0408, "Greek (Greece)"},
    {0x0409, "English (United States)"},
    {0x040A, "Spanish (Spain, Traditional Sort)"},
    {0x040B, "Finnish (Finland)"},
    {0x040C, "French (France)"},
    {0x040D, "Hebrew (Israel)"},
    {0x040E, "Hungarian (Hungary)"},
    {0x040F, "Icelandic (Iceland)"},
    {0x0410, "Italian (Italy)"},
    {0x0411, "Japanese (Japan)"},
    {0x0412, "Korean (Korea)"},
    {0x0413, "Dutch (Netherlands)"},
    {0x0414, "Norwegian, Bokmal (Norway)"},
    {0x0415, "Polish (Poland)"},
    {0x0416, "Portuguese (Brazil)"},
    {0x0418, "Romanian (Romania)"},
    {0x0419, "Russian (Russia)"},
    {0x041A, "Croatian (Croatia)"},
    {0x041B, "Slovak (Slovakia)"},
    {0x041C, "Albanian (Albania)"},
    {0x041D, "Swedish (Sweden)"},
    {0x041E, "Thai (Thailand)"},
    {0x041F, "Turkish (Turkey)"},
    {0x0420, "Urdu (Pakistan)"},
    {0x0421, "Indonesian (Indonesia)"},
    {0x0422, "Ukrainian (Ukraine)"},
    {0x0423, "Belarusian (Belarus)"},
    {0x0424, "Slovenian (Slovenia)"},
    {0x0425, "Estonian (Estonia)"},
    {0x0426, "Latvian (Latvia)"},
    {0x0427, "Lithuanian (Lithuania)"},
    {0x0429, "Persian (Iran)"},
    {0x042A, "Vietnamese (Vietnam)"},
    {0x042B, "Armenian (Armenia)"},
    {0x042D, "Basque (Basque)"},
    {0x042F, "Macedonian (North Macedonia)"},
    {0x0436, "Afrikaans (South Africa)"},
    {0x0437, "Georgian (Georgia)"},
    {0x0439, "Hindi (India)"},
    {0x043E, "Malay (Malaysia)"},
    {0x043F, "Kazakh (Kazakhstan)"},
    {0x0441, "Kiswahili (Kenya)"},
    {0x0445, "Bangla (India)"},
    {0x0449, "Tamil (India)"},
    {0x0456, "Galician (Galician)"},
    {0x0804, "Chinese (People's Republic of China)"},
    {0x0807, "German (Switzerland)"},
    {0x0809, "English (United Kingdom)"},
    {0x080A, "Spanish (Mexico)"},
    {0x080C, "French (Belgium)"},
    {0x0810, "Italian (Switzerland)"},
    {0x0813, "Dutch (Belgium)"},
    {0x0816, "Portuguese (Portugal)"},
    {0x081D, "Swedish (Finland)"},
    {0x0C04, "Chinese (Hong Kong S.A.R.)"},
    {0x0C07, "German (Austria)"},
    {0x0C09, "English (Australia)"},
    {0x0C0A, "Spanish (Spain)"},
    {0x0C0C, "French (Canada)"},
    {0x1004, "Chinese (Singapore)"},
    {0x1009, "English (Canada)"},
    {0x100C, "French (Switzerland)"},
    {0x1409, "English (New Zealand)"},
    {0x1809, "English (Ireland)"},
    {0x4009, "English (India)"},
};

}  // namespace

bool GetLocaleName(std::uint16_t languageId, std::string& name) {
  for (const auto& [id, text] : kLanguages) {
    if (id == languageId) {
      name = text;
      return true;
    }
  }
  return false;
}

}  // namespace hidplatform
