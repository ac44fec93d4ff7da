// The editing operations' checks and what they do when the checks pass, and Requery.
#include "tests/db/support/db_fixture.h"
#include "tests/db/support/recordset_fields.h"

namespace {

// A recordset standing on a row, as a move leaves it; the flags say what it may change.
class RecordsetEditing : public ::testing::Test {
 protected:
  void SetUp() override {
    rs.m_bBOF = FALSE;
    rs.m_bEOF = FALSE;
    rs.m_bDeleted = FALSE;
    rs.m_lCurrentRow = 0;
  }

  CDatabase db;
  CRecordset rs{&db};
  TraceCapture traces;
};

TEST_F(RecordsetEditing, AddNewNeedsAnAppendableRecordset) {
  EXPECT_EQ(RaisedCode([&] { rs.AddNew(); }), dbErrorReadOnlyRecordset);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: recordset is not appendable.\n", kMissingTextTrace));

  rs.m_bAppendable = TRUE;
  rs.AddNew();
  EXPECT_EQ(rs.m_nEditMode, CRecordset::addnew);
}

TEST_F(RecordsetEditing, AddNewNeedsNoCurrentRecord) {
  rs.m_bAppendable = TRUE;
  rs.m_bEOF = TRUE;
  rs.AddNew();
  EXPECT_EQ(rs.m_nEditMode, CRecordset::addnew);
}

TEST_F(RecordsetEditing, EditNeedsAnUpdatableRecordset) {
  rs.m_bAppendable = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.Edit(); }), dbErrorReadOnlyRecordset);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);
}

TEST_F(RecordsetEditing, EditNeedsACurrentRecord) {
  rs.m_bUpdatable = TRUE;
  rs.m_bEOF = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.Edit(); }), dbErrorNotOnRecord);
  rs.m_bEOF = FALSE;
  rs.m_bBOF = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.Edit(); }), dbErrorNotOnRecord);
  rs.m_bBOF = FALSE;
  rs.m_bDeleted = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.Edit(); }), dbErrorNotOnRecord);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);

  rs.m_bDeleted = FALSE;
  rs.Edit();
  EXPECT_EQ(rs.m_nEditMode, CRecordset::edit);
}

TEST_F(RecordsetEditing, ReadOnlyIsToldBeforeNotOnRecord) {
  rs.m_bEOF = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.Edit(); }), dbErrorReadOnlyRecordset);
}

TEST_F(RecordsetEditing, UpdateOutsideEditOrAddNewIsAModeMismatch) {
  rs.m_bUpdatable = TRUE;
  rs.m_bAppendable = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.UpdateRecord(); }), dbErrorEditModeMismatch);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: must enter Edit or AddNew mode before updating.\n",
                          kMissingTextTrace));
}

TEST_F(RecordsetEditing, UpdateWithoutChangedFieldsWritesNothingAndEndsTheEdit) {
  rs.m_bUpdatable = TRUE;
  rs.Edit();
  EXPECT_FALSE(rs.UpdateRecord());
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);
  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: No fields changed, nothing written.\n"));
  // The edit is over: a second update is a mode mismatch.
  EXPECT_EQ(RaisedCode([&] { rs.UpdateRecord(); }), dbErrorEditModeMismatch);
}

TEST_F(RecordsetEditing, UpdateOfAnAddedRowWithoutFields) {
  rs.m_bAppendable = TRUE;
  rs.AddNew();
  EXPECT_FALSE(rs.UpdateRecord());
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);
}

TEST_F(RecordsetEditing, UpdateRechecksTheRecordsetAndTheRow) {
  rs.m_bUpdatable = TRUE;
  rs.Edit();
  rs.m_bEOF = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.UpdateRecord(); }), dbErrorNotOnRecord);
  rs.m_bEOF = FALSE;
  rs.m_bUpdatable = FALSE;
  EXPECT_EQ(RaisedCode([&] { rs.UpdateRecord(); }), dbErrorReadOnlyRecordset);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::edit);

  rs.m_nEditMode = CRecordset::addnew;
  rs.m_bAppendable = FALSE;
  EXPECT_EQ(RaisedCode([&] { rs.UpdateRecord(); }), dbErrorReadOnlyRecordset);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::addnew);
}

TEST_F(RecordsetEditing, ChangedFieldsAreNotSilentlyDropped) {
  FieldRecordset fields(&db, {u"a", u"b"});
  BYTE state[2] = {0, 0};
  fields.m_pFieldState = state;
  fields.m_bUpdatable = TRUE;
  fields.m_bBOF = FALSE;
  fields.m_bEOF = FALSE;
  fields.m_bDeleted = FALSE;
  fields.Edit();
  fields.MarkFieldsChanged();
  EXPECT_NE(state[0], 0);
  EXPECT_NE(state[1], 0);
  EXPECT_TRUE(RaisesInvalidArg([&] { fields.UpdateRecord(); }));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: writing changed fields is not supported by this recordset.\n"));
  // The edit stays pending.
  EXPECT_EQ(fields.m_nEditMode, CRecordset::edit);
  fields.m_pFieldState = nullptr;
}

TEST_F(RecordsetEditing, DeleteInsideAnEditIsAModeMismatch) {
  rs.m_bUpdatable = TRUE;
  rs.Edit();
  EXPECT_EQ(RaisedCode([&] { rs.DeleteRecord(); }), dbErrorEditModeMismatch);
  rs.m_nEditMode = CRecordset::addnew;
  EXPECT_EQ(RaisedCode([&] { rs.DeleteRecord(); }), dbErrorEditModeMismatch);
}

TEST_F(RecordsetEditing, DeleteNeedsAnUpdatableRecordsetAndARow) {
  rs.m_bAppendable = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.DeleteRecord(); }), dbErrorReadOnlyRecordset);
  rs.m_bUpdatable = TRUE;
  rs.m_bDeleted = TRUE;
  EXPECT_EQ(RaisedCode([&] { rs.DeleteRecord(); }), dbErrorNotOnRecord);
}

TEST_F(RecordsetEditing, DeleteIsRefusedAfterItsChecks) {
  rs.m_bUpdatable = TRUE;
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.DeleteRecord(); }));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: deleting rows is not supported by this recordset.\n"));
  EXPECT_FALSE(rs.m_bDeleted);
  EXPECT_EQ(rs.m_nEditMode, CRecordset::noMode);
}

TEST_F(RecordsetEditing, RaisedErrorsCarryTheConnectionlessOwnText) {
  CRecordset alone(nullptr);
  EXPECT_TRUE(IsDbError(RunCatching([&] { alone.AddNew(); }), dbErrorReadOnlyRecordset,
                        kMissingText, ""));
}

// Requery against the scripted driver manager.
using RecordsetRequery = DbConnectedTest;

TEST_F(RecordsetRequery, ExecutesTheSameStatementAgainFromTheFirstRow) {
  CRecordset rs(&db);
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"SELECT marque FROM avion ", CRecordset::addOnly));
  rs.MoveNext();
  rs.MoveNext();
  ASSERT_EQ(rs.m_lCurrentRow, 2);
  fakeodbc::clearLog();

  EXPECT_TRUE(rs.Requery());
  const std::vector<std::string> names = fakeodbc::callNames();
  ASSERT_GE(names.size(), 2u);
  // The old statement is dropped before a new one is allocated.
  EXPECT_EQ(names[0], "SQLFreeStmt");
  EXPECT_EQ(names[1], "SQLAllocStmt");
  EXPECT_NE(fakeodbc::logText().find("SELECT marque FROM avion "), std::string::npos);
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
  EXPECT_FALSE(rs.m_bEOF);
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_dwOpenOptions, static_cast<DWORD>(CRecordset::addOnly));
  EXPECT_EQ(rs.m_strOpenedSQL, u"SELECT marque FROM avion ");
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_EQ(db.m_listRecordsets.GetHead(), &rs);
  rs.Close();
}

TEST_F(RecordsetRequery, TakesTheSearchConditionInForceNow) {
  CRecordset rs(&db);
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"SELECT marque FROM avion", CRecordset::readOnly));
  rs.m_strWhereClause = u"marque <> 'Airbus'";
  EXPECT_TRUE(rs.Requery());
  EXPECT_EQ(rs.m_strSQL, u"SELECT marque FROM avion WHERE marque <> 'Airbus'");
  EXPECT_EQ(rs.m_strOpenedWhere, u"marque <> 'Airbus'");
  rs.Close();
}

TEST_F(RecordsetRequery, ForwardOnlyAddOnlyIsAcceptedAgain) {
  CRecordset rs(&db);
  ASSERT_TRUE(rs.Open(CRecordset::forwardOnly, u"SELECT marque FROM avion", CRecordset::addOnly));
  // Open made it read-only as well.
  ASSERT_EQ(rs.m_dwOpenOptions,
            static_cast<DWORD>(CRecordset::addOnly | CRecordset::readOnly));
  const BOOL appendable = rs.m_bAppendable;
  EXPECT_TRUE(rs.Requery());
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_EQ(rs.m_bAppendable, appendable);
  EXPECT_EQ(rs.m_dwOpenOptions,
            static_cast<DWORD>(CRecordset::addOnly | CRecordset::readOnly));
  rs.Close();
}

TEST_F(RecordsetRequery, DefaultStatementTextIsComposedAgain) {
  DefaultTextRecordset rs(&db, u"SELECT marque FROM avion");
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, nullptr, CRecordset::readOnly));
  EXPECT_TRUE(rs.Requery());
  EXPECT_EQ(rs.m_strSQL, u"SELECT marque FROM avion");
  rs.Close();
}

TEST_F(RecordsetRequery, ANeverOpenedRecordsetIsRefused) {
  CRecordset rs(&db);
  fakeodbc::clearLog();
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.Requery(); }));
  // Only the open state was asked for; the statement is still there.
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLNumResultCols", "SQLErrorW", "SQLErrorW"));
  EXPECT_NE(rs.m_hstmt, nullptr);
  rs.Close();
}

TEST_F(RecordsetRequery, AClosedRecordsetIsRefused) {
  CRecordset rs(&db);
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"SELECT marque FROM avion", CRecordset::readOnly));
  rs.Close();
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.Requery(); }));
  EXPECT_EQ(rs.m_hstmt, nullptr);
}

}  // namespace
