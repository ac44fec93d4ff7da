// Jet's own protection of a file, kept in the settings block of page 0: the database key of
// encoded pages and the database password (Jet 3: text in the file's code page; Jet 4 and
// later: UTF-16LE masked with the whole days of the creation date).
#pragma once

#include <cstdint>
#include <string>

#include "jet/database.h"

namespace mkmdb {

// Writes `databaseKey` and `password` (UTF-8; empty: none) into `page`, a page 0 whose settings
// block is in clear, of a file of `version` whose text is in `codePage` (Jet 3). Throws
// WriterError for a password the field cannot hold.
void PutJetProtection(std::uint8_t* page, jet::Version version, int codePage,
                      std::uint32_t databaseKey, const std::string& password);

// A random database key, never 0 (which means "not encoded").
std::uint32_t RandomDatabaseKey();

}  // namespace mkmdb
