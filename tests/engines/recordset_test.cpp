// Static and forward-only recordsets on each engine: where each move lands, what a requery,
// a close and a reopen do, and what the engine refuses.
#include <functional>

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

// The code of a database error raised by the work; 0 when it raised nothing, -1 for another
// error of the framework.
int RaisedCode(const std::function<void()>& work) {
  try {
    work();
  } catch (CDBException* e) {
    const int code = e->m_nReturnCode;
    if (code == SQL_ERROR) ADD_FAILURE() << e->m_strErrorText.ToUtf8() << e->m_strStateInfo.ToUtf8();
    e->Delete();
    return code;
  } catch (CException* e) {
    e->Delete();
    return -1;
  }
  return 0;
}

struct Script {
  const char* name;
  UINT openType;
  DWORD options;
  std::vector<Step> steps;
};

const Script kScripts[] = {
    {"static",
     CRecordset::staticCursor,
     CRecordset::readOnly,
     {
         {Move::None, 0, false, false, 0, "Airbus"},
         {Move::Next, 0, false, false, 1, "Boeing"},
         {Move::Last, 0, false, false, -2, "Embraer"},
         {Move::Next, 0, false, true, -2, nullptr},
         {Move::Next, dbErrorMoveOutOfRange, false, true, -2, nullptr},
         {Move::Prev, 0, false, false, -2, "Embraer"},
         {Move::First, 0, false, false, 0, "Airbus"},
         {Move::Prev, 0, true, false, 0, nullptr},
         {Move::Prev, dbErrorMoveOutOfRange, true, false, 0, nullptr},
         // From before the start, the next row is the first: index 0.
         {Move::Next, 0, false, false, 0, "Airbus"},
         {Move::Absolute3, 0, false, false, 2, "Cessna"},
         {Move::Requery, 0, false, false, 0, "Airbus"},
         {Move::Reopen, 0, false, false, 0, "Airbus"},
     }},
    {"forward_only",
     CRecordset::forwardOnly,
     CRecordset::readOnly,
     {
         {Move::None, 0, false, false, 0, "Airbus"},
         {Move::Next, 0, false, false, 1, "Boeing"},
         // Refused before any call: still on the row read already.
         {Move::Prev, dbErrorForwardOnlyMove, false, false, 1, nullptr},
         {Move::First, dbErrorForwardOnlyMove, false, false, 1, nullptr},
         {Move::Next, 0, false, false, 2, "Cessna"},
         {Move::Next, 0, false, false, 3, "Dassault"},
         {Move::Next, 0, false, false, 4, "Embraer"},
         {Move::Next, 0, false, true, 4, nullptr},
         {Move::Next, dbErrorMoveOutOfRange, false, true, 4, nullptr},
         {Move::Requery, 0, false, false, 0, "Airbus"},
         {Move::Reopen, 0, false, false, 0, "Airbus"},
     }},
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
        CString value;
        EXPECT_EQ(RaisedCode([&] { rs.GetFieldValue(0, value); }), 0);
        EXPECT_EQ(value.ToUtf8(), step.value);
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
  int refusal;  // the documented error when the driver lacks the cursor
};
const CursorOffer kCursorTypes[] = {
    {CRecordset::keysetCursor, dbErrorKeysetCursorUnsupported},
    {CRecordset::staticCursor, dbErrorStaticCursorUnsupported},
    {CRecordset::dynamicCursor, dbErrorDynamicCursorUnsupported},
};

TEST_P(RecordsetTest, AScrollTypeTheDriverLacksIsRefusedWithItsError) {
  MakeTable(Engine().ShortTextType(), {"Airbus", "Boeing"});
  CDatabase database;
  Connect(database);
  SQLUINTEGER offered = 0;
  ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfoW(database.m_hdbc, SQL_SCROLL_OPTIONS, &offered,
                                        sizeof offered, nullptr)));
  const SQLUINTEGER bits[] = {SQL_SO_KEYSET_DRIVEN, SQL_SO_STATIC, SQL_SO_DYNAMIC};
  for (std::size_t i = 0; i < std::size(kCursorTypes); ++i) {
    const CursorOffer& type = kCursorTypes[i];
    SCOPED_TRACE("open type " + std::to_string(type.openType));
    CRecordset rs(&database);
    const bool offers = (offered & bits[i]) != 0;
    const int raised = RaisedCode([&] { rs.Open(type.openType, kOrdered, CRecordset::readOnly); });
    EXPECT_EQ(raised, offers ? 0 : type.refusal);
    EXPECT_EQ(rs.IsOpen() != FALSE, offers);
    if (offers) {
      CString value;
      rs.GetFieldValue(0, value);
      EXPECT_EQ(value.ToUtf8(), "Airbus");
    }
  }
  EXPECT_FALSE(CursorLibraryLoaded());
}

INSTANTIATE_FOR_EVERY_ENGINE(RecordsetTest);

}  // namespace
}  // namespace enginetest
