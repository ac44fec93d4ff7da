// Page 0 of a Jet 4 file: the signature, the engine version, the masked settings block with the
// creation date, and the tail Access leaves from 0xE00.
#pragma once

#include "jet/format.h"

namespace mkmdb {

// `created`: the creation time as a day number (days since 1899-12-30, time as the fraction),
// on or after that day.
jet::Page BuildFileHeader(double created);

}  // namespace mkmdb
