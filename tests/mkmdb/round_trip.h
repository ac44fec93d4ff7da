// Checks that a written file reads back as the tables it was written from, through libmdb and
// through the mdbtools programs. Each check returns an empty string on success or a description
// of what differs, so a test can also prove that a damaged file fails. And the programs the
// writer's tests run (mkmdb and the mdbtools programs), run through the shared runner without a
// display and in a UTF-8 locale, and the reading of mdb-export's output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mdb_writer.h"
#include "tests/support/child_process.h"

namespace mkmdb_test {

using ProgramResult = testsupport::ChildResult;

// `argv` (argv[0] is a path) with DISPLAY and WAYLAND_DISPLAY removed from the environment and
// the locale C.UTF-8 (LC_ALL; LANG, LANGUAGE and LC_* removed): names and values beyond ASCII
// pass through the programs' command lines and output (mdb-export refuses to convert them in
// the C locale).
testsupport::ChildOptions ProgramOptions(const std::vector<std::string>& argv);

// How long a program of the tests may take before it is killed.
inline constexpr std::chrono::seconds kProgramDeadline{300};

// Runs `argv` to its end with standard input from /dev/null.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// The rows of mdb-export's comma-separated output: fields in double quotes may hold commas,
// line breaks and doubled quotes.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

// Row values through libmdb: NULL versus empty, text, and the exact stored numbers.
// `bind_size` must exceed the longest value in UTF-8 bytes.
std::string CompareThroughLibmdb(const std::string& path, const mkmdb::TableSpec& expected,
                                 std::size_t bind_size = 64 * 1024);

// Row values through mdb-export (which prints NULL like the empty string).
std::string CompareThroughExport(const std::string& path, const mkmdb::TableSpec& expected);

// Column names and types through mdb-schema, and the row count through mdb-count.
std::string CompareSchemaAndCount(const std::string& path, const mkmdb::TableSpec& expected);

// The user tables through mdb-tables, in order.
std::string CompareTableList(const std::string& path, const std::vector<std::string>& names);

// All of the above for every table of `tables`.
std::string CompareAll(const std::string& path, const std::vector<mkmdb::TableSpec>& tables);

// The day number stored for a date written as "YYYY-MM-DD[ HH:MM:SS[.fff]]", computed
// independently of the writer from the proleptic Gregorian calendar.
double ExpectedDayNumber(const std::string& text);

// A decimal written as "[-]digits[.digits]" with exactly `scale` digits after the point, "-"
// only when it is not zero (as mdbtools and the reader print it).
std::string DecimalText(const std::string& text, int scale);

// `magnitude` / 10^scale as "[-]digits[.digits]" with exactly `scale` digits after the point,
// "-" when `negative`.
std::string ScaledText(bool negative, unsigned __int128 magnitude, int scale);

// What the `Error` that `run` throws says; "" when it throws nothing.
template <typename Error, typename Run>
std::string MessageOf(Run run) {
  try {
    run();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

// `times` copies of `piece`, one after another.
std::string Repeat(const std::string& piece, std::size_t times);

// `size` bytes as two lower-case hexadecimal digits each, and such digits as bytes.
std::string HexText(const void* bytes, std::size_t size);
std::vector<std::uint8_t> HexBytes(const std::string& text);

// The 16 stored bytes of a GUID written as text: its digits, the first three groups swapped.
std::vector<std::uint8_t> GuidBytes(const std::string& text);

// The rows of `table` with each NULL of its AutoNumber column replaced by the number the
// writer gives it (one more than the largest number before it).
mkmdb::TableSpec WithAutoNumbers(const mkmdb::TableSpec& table);

}  // namespace mkmdb_test
