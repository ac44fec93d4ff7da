// What each engine refuses reaches the caller as a CDBException carrying the engine's own
// SQLSTATE and message, as the engine's own client reports them.
#include <map>

#include "db/recordset.h"
#include "text/utf.h"
#include "tests/engines/engine_test.h"

namespace enginetest {
namespace {

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

struct Caught {
  bool raised = false;
  std::string text;
  std::string states;
};

template <class Work>
Caught Catch(Work work) {
  Caught caught;
  try {
    work();
  } catch (CDBException* e) {
    caught = {true, e->m_strErrorText.ToUtf8(), e->m_strStateInfo.ToUtf8()};
    e->Delete();
  }
  return caught;
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

class ErrorTest : public EngineTest {};

TEST_P(ErrorTest, ARefusedStatementRaisesTheEnginesStateAndMessage) {
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
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Airbus");
}

TEST_P(ErrorTest, AStoppedServerRaisesTheEnginesStateAndMessage) {
  const ClientError client = Engine().StoppedClientError();
  CDatabase database;
  const CString connect(textconv::Utf8ToUtf16("ODBC;" + Engine().StoppedConnectString(Driver())));
  const Caught caught = Catch([&] { database.Open(nullptr, FALSE, FALSE, connect, TRUE); });
  EXPECT_FALSE(database.IsOpen());
  if (Engine().DriverReportsConnectReason()) {
    ExpectCarries(caught, client);
  } else {
    // What the driver says is all there is to carry.
    EXPECT_TRUE(caught.raised);
    EXPECT_FALSE(caught.text.empty());
  }
}

INSTANTIATE_FOR_EVERY_ENGINE(ErrorTest);

}  // namespace
}  // namespace enginetest
