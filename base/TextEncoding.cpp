#include "base/TextEncoding.h"

#include <algorithm>
#include <cstdint>

namespace hidplatform {
namespace {

// What a byte that starts no valid sequence becomes, and what an unpaired
// surrogate does on the way back: fail the text, turn back into its byte
// (escapes only), or become U+FFFD.
enum class InvalidByte { kReplacement, kEscape, kShown };
// Lone low surrogates that stand for one byte each (0x80 to 0xFF; bytes below
// 0x80 are always valid).
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

std::u16string DecodeUtf8(std::string_view text, InvalidByte invalidByte) {
  std::u16string out;
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      length = 1;
      c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07U;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      if ((byte(i + k) & 0xC0U) != 0x80U) valid = false;
      c = (c << 6) | (byte(i + k) & 0x3FU);
    }
    if (valid && ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000) || c > 0x10FFFF ||
                  (c >= 0xD800 && c <= 0xDFFF)))
      valid = false;
    if (!valid) {
      out += invalidByte == InvalidByte::kEscape ? static_cast<char16_t>(kEscapeBase + lead)
                                                 : u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

std::optional<std::string> EncodeUtf8(std::u16string_view text, InvalidByte invalidByte) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    const bool pairs = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                       text[i + 1] <= 0xDFFF;
    if (pairs) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (invalidByte == InvalidByte::kEscape && c >= kFirstEscape && c <= kLastEscape) {
        out += static_cast<char>(c - kEscapeBase);
        continue;
      }
      if (invalidByte != InvalidByte::kShown) return std::nullopt;
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  return DecodeUtf8(text, InvalidByte::kReplacement);
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
  return EncodeUtf8(text, InvalidByte::kReplacement);
}

std::string Utf16ToShownUtf8(std::u16string_view text) {
  return *EncodeUtf8(text, InvalidByte::kShown);
}

std::u16string FileNameToUtf16(std::string_view name) {
  return DecodeUtf8(name, InvalidByte::kEscape);
}

std::optional<std::string> Utf16ToFileName(std::u16string_view name) {
  return EncodeUtf8(name, InvalidByte::kEscape);
}

void CopyWideString(std::u16string_view text, void* buffer, std::size_t bytes) {
  const std::size_t capacity = bytes / 2;
  const std::size_t units = std::min(capacity, text.size());
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (std::size_t i = 0; i < units; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  if (units < capacity) {
    out[2 * units] = 0;
    out[2 * units + 1] = 0;
  }
}

}  // namespace hidplatform
