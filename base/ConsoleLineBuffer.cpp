#include "base/ConsoleOutput.h"

namespace hidplatform {

ConsoleLineBuffer::int_type ConsoleLineBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  xsputn(&character, 1);
  return c;
}

std::streamsize ConsoleLineBuffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  // Everything up to the last line end goes now; the rest waits for its end.
  const std::size_t end = pending_.rfind('\n');
  if (end != std::string::npos) {
    writer_(std::string_view(pending_).substr(0, end + 1));
    pending_.erase(0, end + 1);
  }
  return count;
}

int ConsoleLineBuffer::sync() {
  if (!pending_.empty()) {
    writer_(pending_);
    pending_.clear();
  }
  return 0;
}

}  // namespace hidplatform
