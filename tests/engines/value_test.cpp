// Values whose text does not fit the first buffer their column's description gives: read
// whole through the layer, as the engine's own client reads them.
#include <cstdlib>

#include "db/recordset.h"
#include "text/utf.h"
#include "tests/engines/engine_test.h"

namespace enginetest {
namespace {

struct ValueCase {
  const char* name;
  // The column type on SQLite, PostgreSQL and MariaDB; empty where the engine cannot hold
  // such a value in such a column.
  const char* types[3];
  const char* value;
  bool number;
};

const ValueCase kCases[] = {
    // A driver may describe a double's size as 15 or 17 and write 23 characters.
    {"double", {"double", "double precision", "double"}, "1.2345678901234567e+300", true},
    {"smallest tiny integer", {"tinyint", "smallint", "tinyint(3)"}, "-128", true},
    {"smallest small integer", {"smallint", "smallint", "smallint"}, "-32768", true},
    // SQLite does not hold a varchar to its declared size.
    {"text beyond its varchar size",
     {"varchar(50)", "", ""},
     "Aerospatiale-Alenia ATR 72-600 regional turboprop airliner, 2011",
     false},
};

class ValueTest : public EngineTest {};

TEST_P(ValueTest, AValueLongerThanItsDescribedSizeIsReadWhole) {
  for (const ValueCase& c : kCases) {
    const std::string type = c.types[static_cast<int>(Driver().engine)];
    if (type.empty()) continue;
    SCOPED_TRACE(std::string(c.name) + " in " + type);
    MakeTable(type, {c.value});
    const std::vector<std::string> client = ClientRows();
    ASSERT_EQ(client.size(), 1u);

    CDatabase database;
    Connect(database);
    CRecordset rs(&database);
    rs.Open(CRecordset::staticCursor, CString(textconv::Utf8ToUtf16(kStatement)), CRecordset::readOnly);
    CString value;
    rs.GetFieldValue(0, value);
    const std::string read = value.ToUtf8();
    if (c.number) {
      EXPECT_EQ(std::strtod(read.c_str(), nullptr), std::strtod(client[0].c_str(), nullptr))
          << "layer " << read << ", client " << client[0];
    } else {
      EXPECT_EQ(read, client[0]);
    }
  }
}

INSTANTIATE_FOR_EVERY_ENGINE(ValueTest);

}  // namespace
}  // namespace enginetest
