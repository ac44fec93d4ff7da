// The application's string table: texts looked up by a 16-bit id.
//
// This program's table holds no texts, so every lookup reports that the text is missing.
#pragma once

#include <string>

#include "framework/types.h"

// Copies the text with the given id into `text` and returns true; returns false and leaves
// `text` unchanged when the table has no text with that id.
bool LoadStringResource(UINT id, std::u16string& text);
