// The storage an open prepares around the result: per-field and per-parameter state for a
// recordset that binds fields, and the row status of the fetch.
#include "db/field_exchange.h"
#include "tests/db/support/db_fixture.h"

namespace {

// A recordset that binds two named text fields.
class BrandAndCountry : public CRecordset {
 public:
  explicit BrandAndCountry(CDatabase* database) : CRecordset(database) { m_nFields = 2; }

  void ExchangeFields(CFieldExchange* pFX) override {
    ExchangeField(pFX, u"marque", m_brand);
    ExchangeField(pFX, u"pays", m_country);
  }

  CString m_brand;
  CString m_country;
};

// A recordset that records how the open asked for its rows per fetch.
class CountingRowsPerFetch : public CRecordset {
 public:
  using CRecordset::CRecordset;
  void SetRowsPerFetch(DWORD rows) override { m_asked.push_back(rows); }
  std::vector<DWORD> m_asked;
};

class OpenFieldState : public DbConnectedTest {
 protected:
  void SetUp() override {
    DbConnectedTest::SetUp();
    ResultSet result = fakeodbc::healthyResult();
    result.columns.push_back(Column{u"pays", SQL_WVARCHAR, 30, 0, SQL_NULLABLE});
    for (auto& row : result.rows) row.push_back(u"France");
    fakeodbc::setResult(result);
  }
};

TEST_F(OpenFieldState, RecordsetWithBoundFieldsGetsZeroedStateForEach) {
  BrandAndCountry rs(database.get());
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"avion", CRecordset::readOnly));

  // The bare table became a SELECT of the bound fields.
  EXPECT_EQ(rs.m_strSQL, u"SELECT marque,pays  FROM avion");
  ASSERT_NE(rs.m_pBoundFieldInfo, nullptr);
  ASSERT_NE(rs.m_pFieldState, nullptr);
  for (DWORD i = 0; i < rs.m_nFields; ++i) {
    EXPECT_EQ(rs.m_pFieldState[i], 0) << i;
    EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_nLength, 0) << i;
    EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_nStatus, 0) << i;
  }
  // No parameters, no parameter state.
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
  EXPECT_EQ(rs.m_nFieldsBound, 2);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenFieldState, FieldStateIsMadeOnlyWhereItIsMissing) {
  CRecordset rs(database.get());
  rs.m_nFields = 3;
  rs.m_nParams = 2;
  BYTE kept[3] = {7, 8, 9};
  rs.m_pFieldState = kept;

  rs.AllocateFieldState();

  EXPECT_EQ(rs.m_pFieldState, kept);
  EXPECT_EQ(kept[0], 7);
  ASSERT_NE(rs.m_pBoundFieldInfo, nullptr);
  ASSERT_NE(rs.m_pParamState, nullptr);
  ASSERT_NE(rs.m_pParamLengths, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_pValueCopy, nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rs.m_pParamState[i], 0);
    EXPECT_EQ(rs.m_pParamLengths[i], 0);
  }
  rs.m_pFieldState = nullptr;  // not ours to free
  rs.Close();
  EXPECT_EQ(rs.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
}

TEST_F(OpenFieldState, RecordsetWithoutFieldsOrParametersGetsNoState) {
  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  EXPECT_EQ(rs.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(rs.m_pFieldState, nullptr);
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
}

TEST_F(OpenFieldState, SingleRowFetchGetsOneStatusEntry) {
  CRecordset rs(database.get());
  ASSERT_EQ(rs.m_dwRowsPerFetch, 25u);
  rs.SetUpRowStatus();
  ASSERT_NE(rs.m_pRowStatus, nullptr);
  EXPECT_EQ(rs.m_pRowStatus[0], 0);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 1u);
  rs.Close();
}

TEST_F(OpenFieldState, MultiRowFetchLeavesTheRowsToSetRowsPerFetch) {
  CountingRowsPerFetch rs(database.get());
  rs.m_dwOpenOptions = CRecordset::multiRowFetch;
  rs.m_dwRowsPerFetch = 40;
  rs.SetUpRowStatus();
  EXPECT_EQ(rs.m_asked, std::vector<DWORD>{40});
  EXPECT_EQ(rs.m_pRowStatus, nullptr);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 40u);
}

}  // namespace
