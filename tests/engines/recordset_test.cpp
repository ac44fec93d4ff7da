// Recordsets on each engine: where each move of a static and a forward-only recordset lands,
// what a requery, a close and a reopen do, which scroll types the engine refuses; values longer
// than their described size, read whole; and what the engine refuses reaching the caller as a
// CDBException carrying the engine's own SQLSTATE and message, as its own client reports them.
#include <cstdlib>
#include <functional>
#include <map>

#include "db/recordset.h"
#include "tests/engines/engine_test.h"

namespace enginetest {
namespace {

constexpr char16_t kOrdered[] = u"SELECT marque FROM avion ORDER BY marque";

enum class Move { None, Next, Prev, First, Last, Absolute3, Requery, Reopen };

// After a move: the code it raised (0 for none), then the position and the current value
// (null where no row is current, or where the row's value was read already).
struct Step {
  Move move;
  int raised;
  bool bof;
  bool eof;
  long row;
  const char* value;
};

void Apply(CRecordset& rs, Move move, UINT openType, DWORD options) {
  switch (move) {
    case Move::None: break;
    case Move::Next: rs.MoveNext(); break;
    case Move::Prev: rs.MovePrev(); break;
    case Move::First: rs.MoveFirst(); break;
    case Move::Last: rs.MoveLast(); break;
    case Move::Absolute3: rs.SetAbsolutePosition(3); break;
    case Move::Requery: rs.Requery(); break;
    case Move::Reopen:
      rs.Close();
      EXPECT_FALSE(rs.IsOpen());
      rs.Open(openType, kOrdered, options);
      break;
  }
}

// What a database error raised by the work carried; code 0 when it raised nothing, -1 for
// another error of the framework.
struct Caught {
  bool raised = false;  // a database error
  int code = 0;
  std::string text;
  std::string states;
};

Caught Catch(const std::function<void()>& work) {
  Caught caught;
  try {
    work();
  } catch (CDBException* e) {
    caught = {true, e->m_nReturnCode, e->m_strErrorText.ToUtf8(), e->m_strStateInfo.ToUtf8()};
    e->Delete();
  } catch (CException* e) {
    e->Delete();
    caught.code = -1;
  }
  return caught;
}

// The code alone, where a driver's own error (SQL_ERROR) is not expected.
int RaisedCode(const std::function<void()>& work) {
  const Caught caught = Catch(work);
  if (caught.code == SQL_ERROR) ADD_FAILURE() << caught.text << caught.states;
  return caught.code;
}

// The value of the first column of the current row.
std::string FirstValue(CRecordset& rs) {
  CString value;
  rs.GetFieldValue(0, value);
  return value.ToUtf8();
}

struct Script {
  const char* name;
  UINT openType;
  DWORD options;
  std::vector<Step> steps;
};

const Script kScripts[] = {
    {"static", CRecordset::staticCursor, CRecordset::readOnly,
     {{Move::None, 0, false, false, 0, "Airbus"}, {Move::Next, 0, false, false, 1, "Boeing"},
      {Move::Last, 0, false, false, -2, "Embraer"}, {Move::Next, 0, false, true, -2, nullptr},
      {Move::Next, dbErrorMoveOutOfRange, false, true, -2, nullptr},
      {Move::Prev, 0, false, false, -2, "Embraer"}, {Move::First, 0, false, false, 0, "Airbus"},
      {Move::Prev, 0, true, false, 0, nullptr},
      {Move::Prev, dbErrorMoveOutOfRange, true, false, 0, nullptr},
      // From before the start, the next row is the first: index 0.
      {Move::Next, 0, false, false, 0, "Airbus"}, {Move::Absolute3, 0, false, false, 2, "Cessna"},
      {Move::Requery, 0, false, false, 0, "Airbus"}, {Move::Reopen, 0, false, false, 0, "Airbus"}}},
    {"forward_only", CRecordset::forwardOnly, CRecordset::readOnly,
     {{Move::None, 0, false, false, 0, "Airbus"}, {Move::Next, 0, false, false, 1, "Boeing"},
      // Refused before any call: still on the row read already.
      {Move::Prev, dbErrorForwardOnlyMove, false, false, 1, nullptr},
      {Move::First, dbErrorForwardOnlyMove, false, false, 1, nullptr},
      {Move::Next, 0, false, false, 2, "Cessna"}, {Move::Next, 0, false, false, 3, "Dassault"},
      {Move::Next, 0, false, false, 4, "Embraer"}, {Move::Next, 0, false, true, 4, nullptr},
      {Move::Next, dbErrorMoveOutOfRange, false, true, 4, nullptr},
      {Move::Requery, 0, false, false, 0, "Airbus"}, {Move::Reopen, 0, false, false, 0, "Airbus"}}},
};

class RecordsetTest : public EngineTest {};

TEST_P(RecordsetTest, MovesLandWhereTheScriptSays) {
  MakeTable(Engine().ShortTextType(), {"Cessna", "Airbus", "Embraer", "Boeing", "Dassault"});
  CDatabase database;
  Connect(database);
  for (const Script& script : kScripts) {
    SCOPED_TRACE(script.name);
    CRecordset rs(&database);
    ASSERT_EQ(RaisedCode([&] { rs.Open(script.openType, kOrdered, script.options); }), 0);
    for (std::size_t i = 0; i < script.steps.size(); ++i) {
      const Step& step = script.steps[i];
      SCOPED_TRACE("step " + std::to_string(i));
      EXPECT_EQ(RaisedCode([&] { Apply(rs, step.move, script.openType, script.options); }),
                step.raised);
      EXPECT_EQ(rs.IsBOF() != FALSE, step.bof);
      EXPECT_EQ(rs.IsEOF() != FALSE, step.eof);
      EXPECT_EQ(rs.GetCursorPosition().m_lCurrentRow, step.row);
      if (step.value != nullptr) {
        std::string value;
        EXPECT_EQ(RaisedCode([&] { value = FirstValue(rs); }), 0);
        EXPECT_EQ(value, step.value);
      }
    }
    rs.Close();
    EXPECT_FALSE(rs.IsOpen());
  }
  EXPECT_FALSE(CursorLibraryLoaded());
}

// Each scroll type either opens on the first row or is refused with the layer's error for a
// cursor the driver does not offer, leaving the recordset closed.
struct CursorOffer {
  UINT openType;
  int refusal;      // the documented error when the driver lacks the cursor
  SQLUINTEGER bit;  // its bit in SQL_SCROLL_OPTIONS
};
const CursorOffer kCursorTypes[] = {
    {CRecordset::keysetCursor, dbErrorKeysetCursorUnsupported, SQL_SO_KEYSET_DRIVEN},
    {CRecordset::staticCursor, dbErrorStaticCursorUnsupported, SQL_SO_STATIC},
    {CRecordset::dynamicCursor, dbErrorDynamicCursorUnsupported, SQL_SO_DYNAMIC},
};

TEST_P(RecordsetTest, AScrollTypeTheDriverLacksIsRefusedWithItsError) {
  MakeTable(Engine().ShortTextType(), {"Airbus", "Boeing"});
  CDatabase database;
  Connect(database);
  SQLUINTEGER offered = 0;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfoW(database.m_hdbc, SQL_SCROLL_OPTIONS, &offered,
                                        sizeof offered, nullptr)));
  for (const CursorOffer& type : kCursorTypes) {
    SCOPED_TRACE("open type " + std::to_string(type.openType));
    CRecordset rs(&database);
    const bool offers = (offered & type.bit) != 0;
    const int raised = RaisedCode([&] { rs.Open(type.openType, kOrdered, CRecordset::readOnly); });
    EXPECT_EQ(raised, offers ? 0 : type.refusal);
    EXPECT_EQ(rs.IsOpen() != FALSE, offers);
    if (offers) {
      EXPECT_EQ(FirstValue(rs), "Airbus");
    }
  }
  EXPECT_FALSE(CursorLibraryLoaded());
}

struct ValueCase {
  const char* name;
  // The column type on SQLite, PostgreSQL and MariaDB; empty where the engine cannot hold
  // such a value in such a column.
  const char* types[3];
  const char* value;
  bool number;
};

const ValueCase kValues[] = {
    // A driver may describe a double's size as 15 or 17 and write 23 characters.
    {"double", {"double", "double precision", "double"}, "1.2345678901234567e+300", true},
    {"smallest tiny integer", {"tinyint", "smallint", "tinyint(3)"}, "-128", true},
    {"smallest small integer", {"smallint", "smallint", "smallint"}, "-32768", true},
    // SQLite does not hold a varchar to its declared size.
    {"text beyond its varchar size", {"varchar(50)", "", ""},
     "Aerospatiale-Alenia ATR 72-600 regional turboprop airliner, 2011", false},
};

TEST_P(RecordsetTest, AValueLongerThanItsDescribedSizeIsReadWhole) {
  for (const ValueCase& c : kValues) {
    const std::string type = c.types[static_cast<int>(Driver().engine)];
    if (type.empty()) continue;
    SCOPED_TRACE(std::string(c.name) + " in " + type);
    MakeTable(type, {c.value});
    const std::vector<std::string> client = Engine().ReadRows(kStatement);
    ASSERT_EQ(client.size(), 1u);

    CDatabase database;
    Connect(database);
    CRecordset rs(&database);
    rs.Open(CRecordset::staticCursor, CString(textconv::Utf8ToUtf16(kStatement)),
            CRecordset::readOnly);
    const std::string read = FirstValue(rs);
    if (c.number) {
      EXPECT_EQ(std::strtod(read.c_str(), nullptr), std::strtod(client[0].c_str(), nullptr))
          << "layer " << read << ", client " << client[0];
    } else {
      EXPECT_EQ(read, client[0]);
    }
  }
}

// The driver manager tells an application that set no ODBC version (an ODBC 2 application)
// the ODBC 2 form of the standard states; an engine's own states pass unchanged.
std::string AsOdbc2State(const std::string& state) {
  static const std::map<std::string, std::string> kOdbc2 = {
      {"42S01", "S0001"}, {"42S02", "S0002"}, {"42S22", "S0022"},
      {"42000", "37000"}, {"HY000", "S1000"}, {"08001", "08001"},
  };
  const auto found = kOdbc2.find(state);
  return found != kOdbc2.end() ? found->second : state;
}

void ExpectCarries(const Caught& caught, const ClientError& client) {
  ASSERT_TRUE(caught.raised);
  ASSERT_FALSE(client.message.empty());
  EXPECT_NE(caught.text.find(client.message), std::string::npos)
      << "layer: " << caught.text << "\nclient: " << client.message;
  if (!client.state.empty()) {
    EXPECT_NE(caught.states.find("State:" + AsOdbc2State(client.state)), std::string::npos)
        << caught.states;
  }
}

struct RefusedStatement {
  const char* name;
  const char* sql;
};
const RefusedStatement kRefused[] = {
    {"missing table", "SELECT marque FROM hangar_nope"},
    {"missing column", "SELECT nope FROM avion"},
    {"syntax error", "SELECT marque, FROM avion"},
};

TEST_P(RecordsetTest, ARefusedStatementRaisesTheEnginesStateAndMessage) {
  MakeTable(Engine().ShortTextType(), {"Airbus"});
  CDatabase database;
  Connect(database);
  for (const RefusedStatement& refused : kRefused) {
    SCOPED_TRACE(refused.name);
    const ClientError client = Engine().RefusedStatement(refused.sql);
    CRecordset rs(&database);
    const CString statement(textconv::Utf8ToUtf16(refused.sql));
    ExpectCarries(Catch([&] { rs.Open(CRecordset::staticCursor, statement, CRecordset::readOnly); }),
                  client);
    EXPECT_FALSE(rs.IsOpen());
  }
  // The connection still serves after the refusals.
  CRecordset rs(&database);
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, CString(textconv::Utf8ToUtf16(kStatement)),
                      CRecordset::readOnly));
  EXPECT_EQ(FirstValue(rs), "Airbus");
}

TEST_P(RecordsetTest, AStoppedServerRaisesTheEnginesStateAndMessage) {
  const ClientError client = Engine().StoppedClientError();
  CDatabase database;
  const Caught caught = Catch([&] { Connect(database, true); });
  EXPECT_FALSE(database.IsOpen());
  if (Engine().DriverReportsConnectReason()) {
    ExpectCarries(caught, client);
  } else {
    // What the driver says is all there is to carry.
    EXPECT_TRUE(caught.raised);
    EXPECT_FALSE(caught.text.empty());
  }
}

INSTANTIATE_FOR_EVERY_ENGINE(RecordsetTest);

}  // namespace
}  // namespace enginetest
