#include "connect_string.h"

#include "text.h"

#include <cctype>

namespace mdbodbc {
namespace {

std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

}  // namespace

ConnectAttributes ParseConnectString(const std::string& text) {
  ConnectAttributes attributes;
  size_t i = 0;
  while (i < text.size()) {
    size_t equals = text.find('=', i);
    size_t semicolon = text.find(';', i);
    if (equals == std::string::npos || (semicolon != std::string::npos && semicolon < equals)) {
      // A part without a value: skip it.
      if (semicolon == std::string::npos) break;
      i = semicolon + 1;
      continue;
    }
    std::string key = Trim(text.substr(i, equals - i));
    size_t v = equals + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    if (v < text.size() && text[v] == '{') {
      size_t j = v + 1;
      while (j < text.size()) {
        if (text[j] == '}') {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            value += '}';
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        value += text[j++];
      }
      size_t next = text.find(';', j);
      i = next == std::string::npos ? text.size() : next + 1;
    } else {
      size_t next = text.find(';', v);
      value = Trim(text.substr(v, (next == std::string::npos ? text.size() : next) - v));
      i = next == std::string::npos ? text.size() : next + 1;
    }
    if (!key.empty()) attributes.emplace_back(std::move(key), std::move(value));
  }
  return attributes;
}

const std::string* FindAttribute(const ConnectAttributes& attributes, const std::string& key) {
  for (const auto& [k, v] : attributes) {
    if (EqualsIgnoreCase(k, key)) return &v;
  }
  return nullptr;
}

std::string FormatAttribute(const std::string& key, const std::string& value) {
  bool braces = value.find_first_of(";{}") != std::string::npos ||
                (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!braces) return key + "=" + value;
  std::string escaped;
  for (char c : value) {
    escaped += c;
    if (c == '}') escaped += '}';
  }
  return key + "={" + escaped + "}";
}

}  // namespace mdbodbc
