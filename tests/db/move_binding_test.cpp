// The first move after an open binds the fields through the field exchange and resets the
// position; later moves give the bound fields their state after each fetch and drop a pending
// edit.
#include <algorithm>

#include "tests/db/support/open_state.h"

namespace {

using Mode = CFieldExchange::Mode;

// A recordset binding the text fields "marque" and "pays", recording every exchange pass.
class TwoFieldRecordset : public CRecordset {
 public:
  explicit TwoFieldRecordset(CDatabase* database, UINT declared = 2) : CRecordset(database) {
    m_nFields = declared;
  }

  void ExchangeFields(CFieldExchange* pFX) override {
    passes.push_back(pFX->m_nOperation);
    ExchangeField(pFX, u"marque", brand);
    ExchangeField(pFX, u"pays", country);
  }
  void ExchangeFieldsInBulk(CFieldExchange* pFX) override {
    bulkPasses.push_back(pFX->m_nOperation);
    pFX->m_nFields += 2;
  }

  CString brand;
  CString country;
  std::vector<Mode> passes;
  std::vector<Mode> bulkPasses;
};

// A recordset with no fields that records whether its exchange runs at all.
class NoFieldRecordset : public CRecordset {
 public:
  using CRecordset::CRecordset;
  void ExchangeFields(CFieldExchange* pFX) override { passes.push_back(pFX->m_nOperation); }
  std::vector<Mode> passes;
};

class FirstMoveBinding : public DbConnectedTest {};

TEST_F(FirstMoveBinding, NoFieldsMarkTheBindingDoneWithoutAnExchange) {
  NoFieldRecordset recordset(database.get());
  recordset.m_lCurrentRow = 7;
  recordset.m_lRowsKnown = 9;
  recordset.m_bLastRowKnown = TRUE;
  PutInOpenState(recordset);
  EXPECT_EQ(recordset.m_nFieldsBound, -1);
  EXPECT_TRUE(recordset.passes.empty());
  // The position started anew before the fetch.
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
  EXPECT_EQ(recordset.m_lRowsKnown, 1);
  EXPECT_FALSE(recordset.m_bLastRowKnown);

  recordset.MoveNext();
  EXPECT_EQ(recordset.m_nFieldsBound, -1);
  EXPECT_TRUE(recordset.passes.empty());
}

TEST_F(FirstMoveBinding, BoundFieldsAreCountedOnceAndFixedUpAfterEveryFetchOnARow) {
  TwoFieldRecordset recordset(database.get());
  PutInOpenState(recordset);
  EXPECT_EQ(recordset.m_nFieldsBound, 2);
  EXPECT_EQ(recordset.passes, (std::vector<Mode>{Mode::BindFieldToColumn, Mode::Fixup}));

  // The value copies for change detection exist for each field.
  ASSERT_NE(recordset.m_pBoundFieldInfo, nullptr);
  EXPECT_NE(recordset.m_pBoundFieldInfo[0].m_pValueCopy, nullptr);
  EXPECT_NE(recordset.m_pBoundFieldInfo[1].m_pValueCopy, nullptr);

  recordset.MoveNext();
  EXPECT_EQ(recordset.passes,
            (std::vector<Mode>{Mode::BindFieldToColumn, Mode::Fixup, Mode::Fixup}));

  // No fix-up once the cursor stands after the end.
  while (!recordset.IsEOF()) recordset.MoveNext();
  EXPECT_EQ(recordset.passes.back(), Mode::Fixup);
  EXPECT_EQ(std::count(recordset.passes.begin(), recordset.passes.end(), Mode::Fixup), 4);
}

TEST_F(FirstMoveBinding, MoveDropsAPendingEditAndClearsTheFieldState) {
  TwoFieldRecordset recordset(database.get());
  PutInOpenState(recordset);
  recordset.m_pFieldState[0] = 1;
  recordset.m_pFieldState[1] = 1;
  recordset.m_nEditMode = CRecordset::edit;

  recordset.MoveNext();
  EXPECT_EQ(recordset.m_pFieldState[0], 0);
  EXPECT_EQ(recordset.m_pFieldState[1], 0);
  EXPECT_EQ(recordset.m_nEditMode, CRecordset::noMode);

  // Also when the move is refused afterwards.
  while (!recordset.IsEOF()) recordset.MoveNext();
  recordset.m_pFieldState[1] = 1;
  recordset.m_nEditMode = CRecordset::addnew;
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).code, dbErrorMoveOutOfRange);
  EXPECT_EQ(recordset.m_pFieldState[1], 0);
  EXPECT_EQ(recordset.m_nEditMode, CRecordset::noMode);
}

TEST_F(FirstMoveBinding, NoValueCopiesWithoutTheDirtyCheck) {
  TwoFieldRecordset recordset(database.get());
  PutInOpenState(recordset, {CRecordset::staticCursor, CRecordset::skipDirtyCheck});
  EXPECT_EQ(recordset.m_nFieldsBound, 2);
  ASSERT_NE(recordset.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(recordset.m_pBoundFieldInfo[0].m_pValueCopy, nullptr);
  EXPECT_EQ(recordset.m_pBoundFieldInfo[1].m_pValueCopy, nullptr);
}

TEST_F(FirstMoveBinding, ExchangeThatBindsAnotherCountThanDeclaredIsRefused) {
  TwoFieldRecordset recordset(database.get(), 3);
  PrepareOpenState(recordset);
  ForgetCalls();
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).kind, Raised::InvalidArgument);
  EXPECT_EQ(recordset.m_nFieldsBound, 0);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(FirstMoveBinding, MultiRowFetchBindsThroughTheBulkExchangeAndSkipsTheFixUp) {
  TwoFieldRecordset recordset(database.get());
  PutInOpenState(recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
  EXPECT_EQ(recordset.m_nFieldsBound, 2);
  EXPECT_EQ(recordset.bulkPasses, std::vector<Mode>{Mode::BindFieldToColumn});
  EXPECT_TRUE(recordset.passes.empty());
  recordset.MoveNext();
  EXPECT_TRUE(recordset.passes.empty());
  recordset.Close();
}

TEST_F(FirstMoveBinding, ReopenedRecordsetBindsAndResetsAgain) {
  TwoFieldRecordset recordset(database.get());
  PutInOpenState(recordset);
  while (!recordset.IsEOF()) recordset.MoveNext();
  recordset.Close();
  EXPECT_EQ(recordset.m_nFieldsBound, 0);
  EXPECT_EQ(recordset.m_pBoundFieldInfo, nullptr);

  recordset.passes.clear();
  PutInOpenState(recordset);
  EXPECT_EQ(recordset.passes, (std::vector<Mode>{Mode::BindFieldToColumn, Mode::Fixup}));
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
  EXPECT_EQ(recordset.m_lRowsKnown, 1);
  EXPECT_FALSE(recordset.m_bLastRowKnown);
  EXPECT_FALSE(recordset.IsEOF());
}

TEST_F(FirstMoveBinding, RealOpenBindsTheFieldsOnItsFirstFetch) {
  TwoFieldRecordset recordset(database.get());
  ASSERT_TRUE(recordset.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  EXPECT_EQ(recordset.m_nFieldsBound, 2);
  EXPECT_EQ(std::count(recordset.passes.begin(), recordset.passes.end(),
                       Mode::BindFieldToColumn),
            1);
  EXPECT_EQ(recordset.passes.back(), Mode::Fixup);
  recordset.Close();
}

}  // namespace
