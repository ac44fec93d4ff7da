// Switches the calling thread to a C locale for the life of the object.
#pragma once

#include <clocale>
#include <locale.h>
#include <stdexcept>

class ScopedThreadLocale {
 public:
  explicit ScopedThreadLocale(const char* name) {
    m_locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (m_locale == static_cast<locale_t>(nullptr)) throw std::runtime_error(name);
    m_previous = uselocale(m_locale);
  }
  ~ScopedThreadLocale() {
    uselocale(m_previous);
    freelocale(m_locale);
  }
  ScopedThreadLocale(const ScopedThreadLocale&) = delete;
  ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;

 private:
  locale_t m_locale;
  locale_t m_previous;
};
