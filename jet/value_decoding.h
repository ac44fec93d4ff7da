// Stored bytes of fixed-size types to values: numbers, dates (checked against the range
// Access allows), currency, GUIDs and decimals.
#pragma once

#include <cstdint>
#include <string>

#include "table_definition.h"
#include "value.h"

namespace jet {

// The day numbers of 0100-01-01 and 9999-12-31 counted from 1899-12-30. A negative day number
// keeps its time as a positive fraction, so -657434.5 is noon of the first day.
inline constexpr double kFirstDay = -657434.0;
inline constexpr double kLastDay = 2958465.0;

// Whether a stored date lies in 0100-01-01 00:00 .. 9999-12-31 23:59:59.999 (NaN does not).
bool DateInRange(double days);

// Decodes a value of a fixed-size number, date or GUID type (Numeric: DecimalText) from its stored bytes (as many as
// FixedValueSize gives). Dates out of range become ValueError::OutOfRange errors.
void DecodeFixed(ColumnType type, const std::uint8_t* data, Value& out);

// The text of a stored decimal (sign byte, 128-bit magnitude as four 32-bit words, the most
// significant first) at `scale` digits after the point.
void DecimalText(const std::uint8_t* data, std::uint8_t scale, std::string& out);

// Makes `out` an error value of `kind` saying `message`.
void SetError(Value& out, ValueError kind, std::string_view message);

}  // namespace jet
