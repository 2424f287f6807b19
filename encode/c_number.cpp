#include "encode/c_number.h"

#include <locale.h>  // newlocale / _create_locale
#include <stdlib.h>  // strtod_l / _strtod_l

#include <cstdlib>
#include <string>

namespace qvx {
namespace {

#ifdef _WIN32
_locale_t ClassicLocale() {
  static const _locale_t locale = _create_locale(LC_ALL, "C");
  return locale;
}

double StrtodClassic(const char* s) {
  const _locale_t locale = ClassicLocale();
  return locale ? _strtod_l(s, nullptr, locale) : std::strtod(s, nullptr);
}
#else
locale_t ClassicLocale() {
  // Kept for the life of the process, like the "C" locale itself.
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

double StrtodClassic(const char* s) {
  const locale_t locale = ClassicLocale();
  return locale != static_cast<locale_t>(0) ? strtod_l(s, nullptr, locale)
                                            : std::strtod(s, nullptr);
}
#endif

}  // namespace

double ReadCNumber(std::string_view text) {
  const std::string terminated(text);  // strtod needs a NUL-terminated string
  return StrtodClassic(terminated.c_str());
}

}  // namespace qvx
