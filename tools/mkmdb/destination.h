// Where the finished database goes: the output path with symbolic links followed, accepted
// only when it names a regular file or nothing yet.
#pragma once

#include <string>

#include "mdb_writer.h"

namespace mkmdb {

// Follows the symbolic links of `path` (a link is kept and the file it names is written) and
// returns the path of the entry to create or replace. Throws DestinationError when that entry
// exists and is not a regular file (a folder, a device, a FIFO, a socket), and WriterError when
// it cannot be inspected.
std::string ResolveDestination(const std::string& path);

// The folder holding `path` and the last part of it.
std::string FolderOf(const std::string& path);
std::string BaseName(const std::string& path);

}  // namespace mkmdb
