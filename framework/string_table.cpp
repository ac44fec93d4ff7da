#include "framework/string_table.h"

// The program ships no string resources, so no id has a text.
bool LoadStringResource(UINT /*id*/, std::u16string& /*text*/) { return false; }
