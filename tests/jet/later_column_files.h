// Writer-made files given, byte by byte, the kinds of column later Access files hold: calculated
// columns with their stored results, Date/Time Extended, and complex columns whose values live
// in flat tables that MSysComplexColumns names.
#pragma once

#include <cstdint>
#include <string>

namespace jettest {

// A calculated value as a row keeps it: 16 bytes, the value's u32 length, the value.
std::string WrappedCalculated(const std::string& value);
// A 16-byte Automation DECIMAL: reserved, scale, sign, high 32 bits, low 64 bits.
std::string AutomationDecimal(std::uint8_t scale, bool negative, std::uint32_t high,
                              std::uint64_t low);

// A table "later" of one row: LastFirstLen, a calculated Long of 12; DecimalTest, a calculated
// Decimal (18, 3) of 50.325; Stamp, a Date/Time Extended of 2000-01-01 12:00:00.12345; and
// MonthlySalary, a calculated Double of 83333.3333. Its other columns (p...) hold whatever
// bytes these leave in them.
std::string LaterColumnsDatabase();

// A table "owners" (name, colors, files; rows one, two, three) whose columns colors and files
// are complex: colors multi-valued (one: Red; Blue, two: Green, three: NULL), files
// attachments (one: a.txt; b.png, none for the others), their values in the flat tables
// f_colors and f_files. colors carries ComplexID `colorsId`; MSysComplexColumns knows 7 and 8.
std::string ComplexDatabase(std::uint32_t colorsId);

}  // namespace jettest
