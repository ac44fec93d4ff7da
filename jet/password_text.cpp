#include "password_text.h"

#include <iconv.h>

namespace jet {

bool PasswordBytes(std::string_view text, std::vector<std::uint8_t>& out) {
  out.clear();
  if (text.empty()) return true;
  const iconv_t converter = ::iconv_open("UTF-16LE", "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  // UTF-16 never takes more than twice the bytes of UTF-8.
  out.resize(text.size() * 2);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* to = reinterpret_cast<char*>(out.data());
  std::size_t toLeft = out.size();
  const bool converted = ::iconv(converter, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1) &&
                         inLeft == 0;
  ::iconv_close(converter);
  out.resize(converted ? out.size() - toLeft : 0);
  return converted;
}

}  // namespace jet
