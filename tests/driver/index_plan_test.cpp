// Statements that read tables through their indexes: each answer equals the answer of the same
// statement with the column hidden from the planner inside an expression that keeps its values
// ((col + 0), Left(text, 100)), which scans; and reads through an index leave the table's other
// pages alone, which a damaged page proves.
#include "answers.h"
#include "driver_fixture.h"

#include "jet/database.h"
#include "jet/format.h"

#include <algorithm>
#include <random>

namespace drivertest {
namespace {

// Table k: 3000 rows written in a shuffled order of their ids, so that no index is in the
// order of the rows; repeated values and NULLs in every column but the key. Table s: keys to
// join on, some of them in k. Indexes on each column of k, one descending, one of two columns.
std::vector<mkmdb::TableSpec> KeyTables() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec k{"k",
                     {{"id", ColumnType::Long}, {"i", ColumnType::Integer}, {"b", ColumnType::Byte},
                      {"f", ColumnType::Double}, {"s", ColumnType::Single}, {"x", ColumnType::Text, 12},
                      {"y", ColumnType::YesNo}},
                     {}};
  std::mt19937 random(11);
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::vector<int> ids(3000);
  for (int i = 0; i < 3000; ++i) ids[static_cast<std::size_t>(i)] = i * 3 + 1;
  std::shuffle(ids.begin(), ids.end(), random);
  for (int id : ids) {
    const auto maybe = [&](std::string v) -> mkmdb::Value {
      return pick(10) == 0 ? mkmdb::Value() : mkmdb::Value(v);
    };
    std::string text;
    for (int n = pick(4); n > 0; --n) text.push_back("aAbz09 "[pick(7)]);
    k.rows.push_back({std::to_string(id), maybe(std::to_string(pick(200) - 100)),
                      maybe(std::to_string(pick(256))),
                      maybe(std::to_string(pick(100) - 50) + "." + std::to_string(pick(4) * 25)),
                      maybe(std::to_string(pick(40) - 20) + ".5"), maybe(text),
                      pick(2) ? "1" : "0"});
  }
  k.indexes = {{"PrimaryKey", {{"id"}}, true, true}, {"by_i", {{"i"}}},
               {"by_b", {{"b", true}}},              {"by_f", {{"f"}}},
               {"by_s", {{"s"}}},                    {"by_x", {{"x"}}},
               {"by_y", {{"y"}}},                    {"by_i_b", {{"i"}, {"b"}}}};
  mkmdb::TableSpec s{"s", {{"key", ColumnType::Long}}, {}};
  for (int i = 0; i < 300; ++i) {
    s.rows.push_back({i % 17 == 0 ? mkmdb::Value() : mkmdb::Value(std::to_string(pick(9500)))});
  }
  return {k, s};
}

// A column inside an expression of the same values, which no read plan can use: the statement
// then scans the table.
std::string Hidden(const std::string& column) {
  return column == "x" ? "Left(x, 100)" : "(" + column + " + 0)";
}

class IndexPlanTest : public DriverTest {
 protected:
  void SetUp() override {
    Write(KeyTables());
    Connect(false);
  }
};

// The definition of table k in the file's bytes.
jet::TableDefinition DefinitionOfK(const std::string& bytes) {
  std::string error;
  auto database = jet::Database::OpenBytes(bytes, error);
  jet::TableDefinition definition;
  EXPECT_TRUE(database != nullptr && database->ReadDefinition("k", definition, error)) << error;
  return definition;
}

using IndexPlanPages = DriverTest;

// Conditions on each indexed column: equality, the four ranges and BETWEEN, IN lists, values
// on and between the column's values and past its ends, NULL.
TEST_F(IndexPlanTest, AnswersEqualTheAnswersOfScans) {
  // Conditions on one column, which Hidden() hides from the planner.
  const std::vector<std::string> plain = {
      "id = 1", "id = 2", "id = 8998", "id = -5", "id = 2.5", "id = 4.0", "id > 8900",
      "id >= 8998", "id < 10", "id <= 10.5", "id BETWEEN 100 AND 130", "id IN (1, 4, 9999, 4, 7)",
      "id > 9999999999", "id < -9999999999", "id = NULL", "id IN (1.5, 7)",
      "i = 0", "i = -100", "i > 95", "i <= -97", "i BETWEEN -3 AND 3", "i IN (5, -5, 500)",
      "i > 40000", "i < 2.5", "i >= -2.5",
      "b = 0", "b = 255", "b > 250", "b < 3", "b BETWEEN 100 AND 101", "b IN (1, 2, 300)",
      "b = -1", "b > -1",
      "f = 0.25", "f = -50", "f > 49", "f < -49.5", "f BETWEEN -1 AND 1", "f IN (0, 0.5, 7)",
      "s = 0.5", "s = -19.5", "s > 18", "s <= -19.5", "s = 0.1", "s > 0.1", "s < 1e39",
      "s BETWEEN -0.5 AND 0.5", "s < 1.00000001", "s <= 1e-50", "s > -1e-50",
      "x = 'a'", "x = 'AB'", "x = ''", "x = 'z0 '", "x IN ('a', 'b', 'zz')", "x = 'é'",
      "y = 1", "y = 0", "y = -1"};
  std::vector<std::pair<std::string, std::string>> all;
  for (const std::string& condition : plain) {
    const std::size_t end = condition.find(' ');
    all.emplace_back(condition, Hidden(condition.substr(0, end)) + condition.substr(end));
  }
  all.insert(all.end(), {{"i = 5 AND b > 100", "(i + 0) = 5 AND (b + 0) > 100"},
                         {"i = 5 AND b = 7", "(i + 0) = 5 AND (b + 0) = 7"},
                         {"i IN (1, 2) AND b < 50", "(i + 0) IN (1, 2) AND (b + 0) < 50"}});
  for (const auto& [condition, hidden] : all) {
    const Answer indexed = Ask(*session, "SELECT id FROM k WHERE " + condition + " ORDER BY id");
    const Answer scanned = Ask(*session, "SELECT id FROM k WHERE " + hidden + " ORDER BY id");
    EXPECT_EQ(indexed.state, "") << condition;
    EXPECT_EQ(scanned.state, "") << condition;
    EXPECT_EQ(indexed.rows, scanned.rows) << condition;
  }
  // Orders an index gives (whole numbers), and their minima and maxima.
  for (const char* order : {"id", "id DESC", "b", "b DESC", "i", "i DESC"}) {
    const std::string column = std::string(order).substr(0, std::string(order).find(' '));
    const std::string rest = std::string(order).substr(column.size());
    for (const char* where : {"", " WHERE id > 4000", " WHERE i = 3"}) {
      const Answer indexed =
          Ask(*session, "SELECT " + column + " FROM k" + where + " ORDER BY " + order);
      const Answer scanned =
          Ask(*session, "SELECT " + column + " FROM k" + where + " ORDER BY " + Hidden(column) + rest);
      EXPECT_EQ(indexed.state, "") << order << where;
      EXPECT_EQ(indexed.rows, scanned.rows) << order << where;
    }
    const Answer extremes = Ask(*session, "SELECT MIN(" + column + "), MAX(" + column + ") FROM k");
    const Answer scanned =
        Ask(*session, "SELECT MIN(" + Hidden(column) + "), MAX(" + Hidden(column) + ") FROM k");
    EXPECT_EQ(extremes.rows, scanned.rows) << column;
  }
  // A join looking up each key of s in k.
  const Answer joined = Ask(*session, "SELECT s.key, k.x FROM s JOIN k ON k.id = s.key ORDER BY 1, 2");
  const Answer scanned = Ask(*session, "SELECT s.key, k.x FROM s JOIN k ON (k.id + 0) = s.key ORDER BY 1, 2");
  EXPECT_EQ(joined.state, "");
  EXPECT_GT(std::count(joined.rows.begin(), joined.rows.end(), ';') + 1, 20);
  EXPECT_EQ(joined.rows, scanned.rows);
}

// With the data page that holds the highest ids damaged, a scan fails, while reads through the
// primary key that never need that page answer.
TEST_F(IndexPlanPages, ReadsThroughAnIndexLeaveTheOtherPagesAlone) {
  mkmdb::TableSpec k{"k", {{"id", mkmdb::ColumnType::Long}, {"x", mkmdb::ColumnType::Text, 40}}, {}};
  for (int id = 1; id <= 2000; ++id) k.rows.push_back({std::to_string(id), "row " + std::to_string(id)});
  k.indexes = {{"PrimaryKey", {{"id"}}, true, true}};
  mkmdb::TableSpec s{"s", {{"key", mkmdb::ColumnType::Long}}, {{"5"}, {"7"}, {"1500"}}};
  mkmdb::WriteDatabase(folder.database(), {k, s});
  // The last data page of k holds the last rows written, the highest ids.
  std::string bytes = testsupport::ReadFile(folder.database());
  const jet::TableDefinition definition = DefinitionOfK(bytes);
  std::uint32_t last = 0;
  for (std::uint32_t page = 1; page < bytes.size() / jet::kPageSize; ++page) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data()) + page * jet::kPageSize;
    if (p[0] == jet::kPageData && jet::GetU32(p + 4) == definition.definitionPage) last = page;
  }
  ASSERT_NE(last, 0u);
  bytes[last * jet::kPageSize] = 0x07;
  testsupport::WriteFile(folder.database(), bytes);
  folder.Enter();
  Connect(false);
  EXPECT_NE(Ask(*session, "SELECT COUNT(*) FROM k WHERE id + 0 = 1").state, "");  // a scan meets the page
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT x FROM k WHERE id = 1", "row 1"},
      {"SELECT x FROM k WHERE id BETWEEN 10 AND 12", "row 10;row 11;row 12"},
      {"SELECT id FROM k WHERE id IN (3, 1, 2)", "1;2;3"},
      {"SELECT id FROM k ORDER BY id LIMIT 2", "1;2"},
      // MAX walks the index backwards and stops at the first row. (The engine offers a MIN of
      // a column that may hold NULL to no virtual table: it would need NULLs last.)
      {"SELECT MAX(id) FROM k WHERE id < 1000", "999"},
      {"SELECT k.x FROM s JOIN k ON k.id = s.key ORDER BY s.key", "row 5;row 7;row 1500"},
  };
  for (const auto& [statement, rows] : cases) {
    EXPECT_EQ(Ask(*session, statement).Shown(), rows) << statement;
  }
}

// A whole table's COUNT(*) is the rows its pages hold, whatever count the definition stores.
TEST_F(IndexPlanPages, CountIsTheRowsNotTheStoredCount) {
  mkmdb::TableSpec k{"k", {{"id", mkmdb::ColumnType::Long}}, {}};
  for (int id = 1; id <= 2000; ++id) k.rows.push_back({std::to_string(id)});
  mkmdb::WriteDatabase(folder.database(), {k});
  std::string bytes = testsupport::ReadFile(folder.database());
  const jet::TableDefinition definition = DefinitionOfK(bytes);
  ASSERT_EQ(definition.storedRowCount, 2000u);
  const std::size_t at = std::size_t{definition.definitionPage} * jet::kPageSize + 0x10;  // Jet 4
  ASSERT_EQ(jet::GetU32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at), 2000u);
  bytes[at] = 5;
  bytes[at + 1] = 0;
  testsupport::WriteFile(folder.database(), bytes);
  folder.Enter();
  Connect(false);
  EXPECT_EQ(Ask(*session, "SELECT COUNT(*) FROM k").rows, "2000");
  EXPECT_EQ(Ask(*session, "SELECT COUNT(*) FROM k WHERE id > 1990").rows, "10");
}

}  // namespace
}  // namespace drivertest
