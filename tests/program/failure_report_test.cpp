// The one line that tells why a run ended early.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/failure_report.h"
#include "db/db_exception.h"

namespace {

TEST(FailureReport, DatabaseErrorGivesItsTextOnOneLine) {
  CDBException e(SQL_ERROR);
  e.m_strErrorText = u"Unable to connect\nSecond record\n";
  EXPECT_EQ(DescribeFailure("cannot open the database", &e),
            "brand-listing: cannot open the database: Unable to connect / Second record");
}

TEST(FailureReport, DatabaseErrorWithoutTextGivesItsReturnCode) {
  CDBException invalid(SQL_INVALID_HANDLE);
  EXPECT_EQ(DescribeFailure("cannot open the database", &invalid),
            "brand-listing: cannot open the database: return code -2");
  // A text of empty records counts as empty.
  CDBException blank(SQL_ERROR);
  blank.m_strErrorText = u"\n";
  EXPECT_EQ(DescribeFailure("x", &blank), "brand-listing: x: return code -1");
}

TEST(FailureReport, OtherErrorsAreNamedByKind) {
  CMemoryException memory(FALSE);
  CInvalidArgException argument;
  EXPECT_EQ(DescribeFailure("cannot open the database", &memory),
            "brand-listing: cannot open the database: out of memory (CMemoryException)");
  EXPECT_EQ(DescribeFailure("the listing failed", &argument),
            "brand-listing: the listing failed: invalid argument (CInvalidArgException)");
  EXPECT_EQ(DescribeFailure("the listing failed", std::runtime_error("boom")),
            "brand-listing: the listing failed: unexpected error (boom)");
}

TEST(FailureReport, TextOutsideTheCodePageStaysOneLine) {
  CDBException e(SQL_ERROR);
  e.m_strErrorText = u"Fichier \u00e9trange \u4e2d\n";
  const std::string line = DescribeFailure("cannot open the database", &e);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(line.rfind("brand-listing: cannot open the database: Fichier ", 0), 0u);
}

}  // namespace
