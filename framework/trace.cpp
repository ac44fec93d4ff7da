#include "framework/trace.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "text/utf.h"

namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

// Set while a sink is installed; read without the lock by every trace.
std::atomic<bool> g_sinkInstalled{false};

// Formats one integer conversion with the C library, from its flags, width and precision.
std::string FormatInteger(const std::string& flags, char conversion, const TraceArg::Value& value) {
  std::string fmt = "%" + flags + "ll" + conversion;
  char buffer[128];
  if (conversion == 'd' || conversion == 'i') {
    long long v = std::holds_alternative<long long>(value)
                      ? std::get<long long>(value)
                      : static_cast<long long>(std::get<unsigned long long>(value));
    std::snprintf(buffer, sizeof buffer, fmt.c_str(), v);
  } else if (conversion == 'c') {
    long long v = std::holds_alternative<long long>(value)
                      ? std::get<long long>(value)
                      : static_cast<long long>(std::get<unsigned long long>(value));
    std::u16string one(1, static_cast<char16_t>(v));
    return textconv::Utf16ToUtf8(one);
  } else {
    unsigned long long v = std::holds_alternative<unsigned long long>(value)
                               ? std::get<unsigned long long>(value)
                               : static_cast<unsigned long long>(std::get<long long>(value));
    std::snprintf(buffer, sizeof buffer, fmt.c_str(), v);
  }
  return buffer;
}

std::string Pad(std::string text, const std::string& flags) {
  bool left = flags.find('-') != std::string::npos;
  size_t digits = flags.find_first_of("123456789");
  if (digits == std::string::npos) return text;
  size_t width = std::stoul(flags.substr(digits));
  // Width counts characters, not UTF-8 bytes.
  size_t chars = 0;
  for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
  if (chars >= width) return text;
  std::string fill(width - chars, ' ');
  return left ? text + fill : fill + text;
}

}  // namespace

const char* TraceCategoryName(TraceCategory category) {
  switch (category) {
    case TraceCategory::Database:
      return "Database";
    case TraceCategory::AppMsg:
      return "AppMsg";
  }
  return "?";
}

TraceSink SetTraceSink(TraceSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  TraceSink previous = std::move(Sink());
  Sink() = std::move(sink);
  g_sinkInstalled.store(static_cast<bool>(Sink()), std::memory_order_release);
  return previous;
}

std::string FormatTrace(const char* format, std::initializer_list<TraceArg> args) {
  std::string out;
  if (!format) return out;
  const TraceArg* next = args.begin();
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    const char* start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    std::string flags;
    while (*p && std::string_view("-+ #0").find(*p) != std::string_view::npos) flags += *p++;
    while (*p >= '0' && *p <= '9') flags += *p++;
    if (*p == '.') {
      flags += *p++;
      while (*p >= '0' && *p <= '9') flags += *p++;
    }
    while (*p == 'l' || *p == 'h' || *p == 'z') ++p;
    char conversion = *p;
    if (conversion == '\0') {
      out.append(start);
      break;
    }
    ++p;
    const bool haveArg = next != args.end();
    const TraceArg::Value* value = haveArg ? &next->value() : nullptr;
    std::string piece;
    bool used = false;
    switch (conversion) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'c':
        if (value && (std::holds_alternative<long long>(*value) ||
                      std::holds_alternative<unsigned long long>(*value))) {
          piece = FormatInteger(flags, conversion, *value);
          used = true;
        }
        break;
      case 'p':
        if (value && std::holds_alternative<const void*>(*value)) {
          char buffer[32];
          std::snprintf(buffer, sizeof buffer, "%p", std::get<const void*>(*value));
          piece = Pad(buffer, flags);
          used = true;
        }
        break;
      case 's':
        if (value && std::holds_alternative<std::u16string_view>(*value)) {
          piece = Pad(textconv::Utf16ToUtf8(std::get<std::u16string_view>(*value)), flags);
          used = true;
        } else if (value && std::holds_alternative<std::string_view>(*value)) {
          piece = Pad(std::string(std::get<std::string_view>(*value)), flags);
          used = true;
        }
        break;
      default:
        break;
    }
    if (used) {
      out += piece;
      ++next;
    } else {
      out.append(start, p);
    }
  }
  return out;
}

bool TraceIsWritten() {
#ifdef DRAVON_TRACE_STDERR
  return true;
#else
  return g_sinkInstalled.load(std::memory_order_acquire);
#endif
}

void WriteTrace(TraceCategory category, int level, std::string text) {
  TraceSink sink;
  {
    std::lock_guard<std::mutex> lock(SinkMutex());
    sink = Sink();
  }
#ifdef DRAVON_TRACE_STDERR
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
#endif
  if (sink) sink(TraceRecord{category, level, std::move(text)});
}
