// The database password of Jet 3 and Jet 4 files, kept in the header of page 0: Jet 3 as text in the file's code page, Jet 4 as UTF-16LE
// masked with the whole days of the creation date. A file whose field is empty has none.
#pragma once

#include <optional>
#include <string>

#include "file_header.h"
#include "text_decoding.h"

namespace jet {

enum class PasswordCheck { Open, Needed, Wrong };

// Whether `given` (UTF-8; nullopt when none was given) opens a file with this header. Letter
// case counts. `codePage` decodes Jet 3 text.
PasswordCheck CheckDatabasePassword(const FileHeader& header, const CodePageText* codePage,
                                    const std::optional<std::string>& given);

// The 4-byte mask of a Jet 4 password field: the whole days of the creation date, little-endian
// (0 for a date that is not a number of days a file can have).
std::uint32_t PasswordMask(double creationDate);

}  // namespace jet
