// Connection strings: "KEY=value;KEY={value with ; inside};..."
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace mdbodbc {

using ConnectAttributes = std::vector<std::pair<std::string, std::string>>;

// Splits a connection string into its attributes, in order. Keys keep their spelling; a value
// in braces loses them ("}}" inside stands for one "}").
ConnectAttributes ParseConnectString(const std::string& text);

// The value of the first attribute whose key matches without regard to letter case.
const std::string* FindAttribute(const ConnectAttributes& attributes, const std::string& key);

// One "KEY=value" part, with the value in braces when it needs them.
std::string FormatAttribute(const std::string& key, const std::string& value);

}  // namespace mdbodbc
