// The debug trace channel.
//
// A trace has a category, a level and a text made from a printf-style format and arguments.
// "%s" takes text: wide (const char16_t*, CString, std::u16string) or 8-bit (const char*);
// the integer conversions (%d %i %u %x %X %c with an optional l or ll) take any integer, %p a
// pointer. Texts are kept and written as UTF-8.
//
// Where traces go: to the sink a test installs, if any; in builds made with
// DRAVON_TRACE_STDERR (debug builds) also to standard error; otherwise nowhere.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "framework/cstring.h"

enum class TraceCategory { Database, AppMsg };

const char* TraceCategoryName(TraceCategory category);

struct TraceRecord {
  TraceCategory category;
  int level;
  std::string text;
};

using TraceSink = std::function<void(const TraceRecord&)>;

// Installs a sink that receives every trace; returns the sink it replaces. An empty sink
// removes it.
TraceSink SetTraceSink(TraceSink sink);

// One argument of a trace format.
class TraceArg {
 public:
  template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>, int> = 0>
  TraceArg(T value) {  // NOLINT
    if constexpr (std::is_signed_v<T>) {
      m_value = static_cast<long long>(value);
    } else {
      m_value = static_cast<unsigned long long>(value);
    }
  }
  TraceArg(bool value) : m_value(static_cast<long long>(value)) {}  // NOLINT
  TraceArg(const char16_t* text) : m_value(std::u16string_view(text ? text : u"(null)")) {}  // NOLINT
  TraceArg(const CString& text) : m_value(text.View()) {}  // NOLINT
  TraceArg(const std::u16string& text) : m_value(std::u16string_view(text)) {}  // NOLINT
  TraceArg(std::u16string_view text) : m_value(text) {}  // NOLINT
  TraceArg(const char* text) : m_value(std::string_view(text ? text : "(null)")) {}  // NOLINT
  TraceArg(const void* pointer) : m_value(pointer) {}  // NOLINT

  using Value = std::variant<long long, unsigned long long, const void*, std::u16string_view,
                             std::string_view>;
  const Value& value() const { return m_value; }

 private:
  Value m_value;
};

// Formats a trace text (UTF-8). A conversion without an argument, or with one of the wrong
// kind, is written as it stands.
std::string FormatTrace(const char* format, std::initializer_list<TraceArg> args);

// Delivers a formatted trace.
void WriteTrace(TraceCategory category, int level, std::string text);

// Whether a trace goes anywhere: to standard error in a build that copies traces there, or to
// a sink. A run that nobody traces does not format its traces.
bool TraceIsWritten();

template <class... Args>
void Trace(TraceCategory category, int level, const char* format, const Args&... args) {
  if (!TraceIsWritten()) return;
  WriteTrace(category, level, FormatTrace(format, {TraceArg(args)...}));
}

// The access layer writes on Database at level 0.
template <class... Args>
void TraceDatabase(const char* format, const Args&... args) {
  Trace(TraceCategory::Database, 0, format, args...);
}
