// A scan of one table: the pages its usage map lists, one at a time, and on each the live rows
// (deleted rows skipped, overflow rows followed to their body). Values are decoded only when
// asked for, into the caller's Value.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "complex_values.h"
#include "file_context.h"
#include "data_page.h"
#include "long_value.h"
#include "row_layout.h"
#include "scan.h"
#include "usage_map.h"

namespace jet {

class TableScan : public Scan {
 public:
  // `complex`: for each complex column (by position), its values; a complex column without
  // them reads as an error saying so.
  TableScan(std::shared_ptr<const OpenFile> file, const TableDefinition& table,
            std::vector<std::shared_ptr<const ComplexValues>> complex = {});

  bool Next() override;
  const std::string& Error() const override { return error_; }
  void Read(std::size_t column, Value& out) override;
  std::int64_t RowId() const override { return rowId_; }
  const TableDefinition& definition() const { return table_; }

  // Makes the row `rowId` (a row pointer) names current, as Next does with the rows it meets:
  // false, with Error() saying why, when it leads off the table's data pages or to a deleted
  // row. A later Next goes on with the rows after it.
  bool MoveTo(std::int64_t rowId) override;

  // Where the current row keeps column `index`. Present: `data` and `size` are its stored
  // bytes (for a Yes/No column, `size` is 0 and `yes` its value). Null: the row has no value.
  // Unreadable: the column cannot be read (unsupported type, damaged offsets); `why` says so.
  enum class FieldState { Present, Null, Unreadable };
  FieldState Field(std::size_t index, const std::uint8_t*& data, std::size_t& size, bool& yes,
                   std::string& why) const;

 private:
  bool Fail(const std::string& why);
  bool StartMap();
  bool NextPage();
  // Makes the row at `row` of the current page current, following overflow pointers.
  bool EnterRow(std::uint16_t row, const RowPlace& place);
  void FailValue(Value& out, const Column& column, ValueError kind,
                  const std::string& why) const;
  // Field for a column already checked to exist, supported and stored: the bytes of a present
  // value, or false with `why` for damaged offsets.
  FieldState Locate(const Column& column, const std::uint8_t*& data, std::size_t& size,
                    std::string& why) const;
  void ReadLongValue(const Column& column, const std::uint8_t* field, std::size_t size,
                     Value& out);
  void ReadText(const Column& column, const std::uint8_t* data, std::size_t size, Value& out);
  // The kinds of later files: calculated values, Date/Time Extended, complex columns.
  void ReadCalculated(const Column& column, const std::uint8_t* data, std::size_t size,
                      Value& out);
  void ReadExtendedDate(const Column& column, const std::uint8_t* data, std::size_t size,
                        Value& out);
  void ReadComplex(std::size_t index, const std::uint8_t* data, std::size_t size, Value& out);

  std::shared_ptr<const OpenFile> file_;
  const FileContext& context_;
  TableDefinition table_;
  std::string prefix_;  // table "name":
  UsageMap map_;
  bool mapStarted_ = false;
  bool done_ = false;
  std::string error_;

  PageBuffer page_;
  bool pageActive_ = false;
  std::uint16_t rowCount_ = 0;
  std::uint16_t nextRow_ = 0;

  PageBuffer overflow_;
  const std::uint8_t* row_ = nullptr;  // the current row's bytes, in page_ or overflow_
  RowLayout layout_;
  std::int64_t rowId_ = -1;

  LongValueReader longValues_;
  std::string scratch_;
  std::vector<std::shared_ptr<const ComplexValues>> complex_;
};

}  // namespace jet
