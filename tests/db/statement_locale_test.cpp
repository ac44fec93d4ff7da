// Statement composition in the user's locale: the program sets it from the environment before
// anything is composed, and keywords must match the same in every one of them. The Turkish
// locale is the hard case: there the capital of 'i' is a dotted I (U+0130).
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <memory>
#include <string>

#include "db/database.h"
#include "db/recordset.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace {

// Makes `name` the process's locale, as the program's own setlocale does, compiling it with
// localedef into a temporary folder (named then by LOCPATH, beside the machine's own folder)
// when the machine lacks it. The "C" locale is restored and the folder removed at the end.
class ProcessLocale {
 public:
  explicit ProcessLocale(const std::string& name) {
    if (std::setlocale(LC_ALL, name.c_str()) != nullptr) return;
    m_folder = std::make_unique<testsupport::TempFolder>("locale");
    const std::string folder = m_folder->path();
    // "tr_TR.UTF-8": the source "tr_TR", the character map "UTF-8".
    const size_t dot = name.find('.');
    testsupport::ChildOptions localedef;
    localedef.argv = {"localedef", "-i", name.substr(0, dot), "-f", name.substr(dot + 1),
                      m_folder->Path(name)};
    // localedef answers 1 when it only warned; the locale is usable or not, as setlocale says.
    testsupport::RunChild(localedef, std::chrono::seconds(120));
    const char* previous = std::getenv("LOCPATH");
    m_previousPath = previous != nullptr ? previous : "";
    m_hadPath = previous != nullptr;
    ::setenv("LOCPATH", (folder + ":/usr/lib/locale").c_str(), 1);
    if (std::setlocale(LC_ALL, name.c_str()) == nullptr) {
      m_missing = name + " is not installed and localedef could not make it (package locales)";
    }
  }
  ~ProcessLocale() {
    std::setlocale(LC_ALL, "C");
    if (!m_folder) return;
    if (m_hadPath) {
      ::setenv("LOCPATH", m_previousPath.c_str(), 1);
    } else {
      ::unsetenv("LOCPATH");
    }
  }
  ProcessLocale(const ProcessLocale&) = delete;
  ProcessLocale& operator=(const ProcessLocale&) = delete;

  // Why the locale could not be set; empty when it is in force.
  const std::string& Missing() const { return m_missing; }

 private:
  std::string m_missing;
  std::unique_ptr<testsupport::TempFolder> m_folder;
  std::string m_previousPath;
  bool m_hadPath = false;
};

// A statement, whether its rows stay modifiable, and the table text of its FROM clause.
struct Answer {
  const char16_t* text;
  bool modifiable;
  const char16_t* fromTable;
};

constexpr Answer kAnswers[] = {
    {u"select marque from avion ", true, u"avion "},
    {u"select a from t1 inner join t2 on t1.k = t2.k", false, u""},
    {u"select a from t1 left join t2 on t1.k = t2.k where a in (1, 2)", false, u""},
    {u"select a from t union select a from u", false, u""},
    {u"select id from liste where prix > 1 order by id, ville", true, u"liste"},
    {u"{call ingest}", false, u""},
};

class ComposeInLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(ComposeInLocale, KeywordsMatchAsInTheCLocale) {
  const ProcessLocale locale(GetParam());
  if (!locale.Missing().empty()) GTEST_SKIP() << locale.Missing();

  for (const Answer& answer : kAnswers) {
    SCOPED_TRACE(CString(answer.text).ToUtf8());
    CDatabase db;
    CRecordset rs(&db);
    rs.m_bUpdatable = TRUE;
    rs.m_bAppendable = TRUE;
    rs.ComposeStatement(answer.text);
    EXPECT_EQ(std::u16string(rs.m_strSQL.View()), answer.text);
    EXPECT_EQ(rs.m_bUpdatable != FALSE, answer.modifiable);
    EXPECT_EQ(rs.m_bAppendable != FALSE, answer.modifiable);
    EXPECT_EQ(std::u16string(rs.m_strFromTable.View()), answer.fromTable);
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, ComposeInLocale,
                         ::testing::Values("C", "C.UTF-8", "tr_TR.UTF-8"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '.' || c == '-') c = '_';
                           }
                           return name;
                         });

// The Turkish case above proves something only where the locale's own mapping differs.
TEST(TurkishLocale, MapsSmallIToTheDottedCapital) {
  const ProcessLocale locale("tr_TR.UTF-8");
  if (!locale.Missing().empty()) GTEST_SKIP() << locale.Missing();
  EXPECT_EQ(std::towupper(L'i'), static_cast<std::wint_t>(0x130));
}

}  // namespace
