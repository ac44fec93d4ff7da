// The two steps of a read used on their own, as the field exchange of long values uses them:
// ReadColumn answers the length the driver reported, ReadRemainingText settles the text and
// reads the rest where the first read's terminator stood.
#include "tests/db/support/field_reading.h"

namespace {

class FieldReadSteps : public FieldReadTest {
 protected:
  CRecordset& OpenOnLongValue(const std::u16string& text) {
    return OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  }
};

TEST_F(FieldReadSteps, TheFirstReadReportsTheWholeLengthAndTheSecondTheRest) {
  const std::u16string text = Letters(1000);
  CRecordset& rs = OpenOnLongValue(text);
  CString value;
  char16_t* first = value.GetBufferSetLength(2);

  const SQLLEN reported = CRecordset::ReadColumn(database.get(), rs.m_hstmt, 1, SQL_C_WCHAR,
                                                 first, 4, SQL_WLONGVARCHAR);
  EXPECT_EQ(reported, 2000);
  EXPECT_EQ(first[0], u'A');
  EXPECT_EQ(first[1], u'\0');

  void* target = first;
  CRecordset::ReadRemainingText(database.get(), rs.m_hstmt, 1, reported / 2, &target, 2, value,
                                SQL_WLONGVARCHAR, SQL_C_WCHAR);
  // The rest went to character position 1 of the grown text.
  EXPECT_EQ(target, static_cast<const void*>(value.GetString() + 1));
  EXPECT_EQ(value.GetLength(), 1000);
  EXPECT_EQ(value.Str(), text);
  EXPECT_EQ(Calls().back(), GetDataLine(1, 2000, "SQL_SUCCESS"));
}

TEST_F(FieldReadSteps, ANullValueIsReportedAsSuch) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {std::nullopt}));
  char16_t buffer[51] = {};
  EXPECT_EQ(CRecordset::ReadColumn(database.get(), rs.m_hstmt, 1, SQL_C_WCHAR, buffer,
                                   sizeof buffer, SQL_WVARCHAR),
            SQL_NULL_DATA);
}

TEST_F(FieldReadSteps, AValueThatFitTakesItsReportedLengthWithoutAnotherCall) {
  CRecordset& rs = OpenOnLongValue(u"A");
  CString value;
  char16_t* first = value.GetBufferSetLength(2);
  const SQLLEN reported = CRecordset::ReadColumn(database.get(), rs.m_hstmt, 1, SQL_C_WCHAR,
                                                 first, 4, SQL_WLONGVARCHAR);
  ForgetCalls();
  void* target = first;
  CRecordset::ReadRemainingText(database.get(), rs.m_hstmt, 1, reported / 2, &target, 2, value,
                                SQL_WLONGVARCHAR, SQL_C_WCHAR);
  EXPECT_EQ(value.ToUtf8(), "A");
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(FieldReadSteps, TheRestOfALongValueNeedsAPlaceForItsTarget) {
  CRecordset& rs = OpenOnLongValue(Letters(10));
  CString value;
  char16_t* first = value.GetBufferSetLength(2);
  const SQLLEN reported = CRecordset::ReadColumn(database.get(), rs.m_hstmt, 1, SQL_C_WCHAR,
                                                 first, 4, SQL_WLONGVARCHAR);
  ForgetCalls();
  const Raised raised = RunCatching([&] {
    CRecordset::ReadRemainingText(database.get(), rs.m_hstmt, 1, reported / 2, nullptr, 2,
                                  value, SQL_WLONGVARCHAR, SQL_C_WCHAR);
  });
  EXPECT_EQ(raised.kind, Raised::InvalidArgument);
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(FieldReadSteps, AnImpossibleLengthIsAMemoryErrorBeforeTheTargetIsExamined) {
  CRecordset& rs = OpenOnLongValue(Letters(10));
  CString value;
  value.GetBufferSetLength(2);
  const Raised raised = RunCatching([&] {
    CRecordset::ReadRemainingText(database.get(), rs.m_hstmt, 1, SQLLEN{0x7FFFFFFF}, nullptr, 2,
                                  value, SQL_WLONGVARCHAR, SQL_C_WCHAR);
  });
  EXPECT_EQ(raised.kind, Raised::Memory);
  EXPECT_THAT(Calls(), IsEmpty());
}

}  // namespace
