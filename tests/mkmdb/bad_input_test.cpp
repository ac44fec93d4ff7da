// Refused input: the error names the row and the column, no file is left behind, and a file
// already at the destination stays as it was. The output path: only a regular file or a new
// name is written. Folders, devices, FIFOs and sockets are refused (the command exits with 2)
// and stay as they are; symbolic links are followed; temporary names stay within the name
// limit; a new file gets the mode the umask leaves.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "mdb_writer.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnSpec;
using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb::Value;
using testsupport::TempFolder;
using namespace std::string_literals;

struct BadCase {
  std::string title;
  std::vector<ColumnSpec> columns;
  Value bad;                          // placed in row 3 of the column named "cible"
  std::vector<std::string> expected;  // pieces the message must contain
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.title; }

TableSpec TableWith(const BadCase& c) {
  TableSpec table{"avion", c.columns, {}};
  for (int r = 1; r <= 4; ++r) {
    std::vector<Value> row;
    for (const ColumnSpec& column : c.columns) {
      const ColumnType type = column.type;
      const char* good = type == ColumnType::DateTime ? "2020-01-01"
                         : type == ColumnType::Long || type == ColumnType::Double ||
                                 type == ColumnType::YesNo ? "1" : "a";
      row.push_back(r == 3 && column.name == "cible" ? c.bad : Value(good));
    }
    table.rows.push_back(row);
  }
  return table;
}

const ColumnSpec kOther{"autre", ColumnType::Text, 10};

std::vector<BadCase> Cases() {
  return {
      {"TextLongerThanItsColumn", {kOther, {"cible", ColumnType::Text, 5}}, "abcdef",
       {"6 characters", "at most 5"}},
      {"AccentedTextLongerThanItsColumn", {{"cible", ColumnType::Text, 3}}, "éèêë",
       {"4 characters"}},
      {"SurrogatePairsCountAsTwo", {{"cible", ColumnType::Text, 5}}, "😀😀😀", {"6 characters"}},
      {"LongThatDoesNotParse", {kOther, {"cible", ColumnType::Long}}, "12x", {"\"12x\""}},
      {"LongOutOfRange", {{"cible", ColumnType::Long}}, "2147483648", {"range"}},
      {"NumberWithMoreDigitsThanAnyNeeds", {{"cible", ColumnType::Double}},
       std::string(1025, '0'), {"longer than 1024"}},
      {"TextFarLongerThanItsColumnUnread", {{"cible", ColumnType::Text, 5}}, std::string(100, 'x'),
       {"at least 33 characters", "at most 5"}},
      {"EmptyLong", {{"cible", ColumnType::Long}}, "", {"not a whole number"}},
      {"DoubleThatDoesNotParse", {{"cible", ColumnType::Double}}, "1,5", {"\"1,5\""}},
      {"DoubleOutOfRange", {{"cible", ColumnType::Double}}, "1e400", {"range"}},
      {"DoubleNotFinite", {{"cible", ColumnType::Double}}, "nan", {"finite"}},
      {"DateThatDoesNotExist", {{"cible", ColumnType::DateTime}}, "2021-02-29", {"calendar date"}},
      {"DateInAnotherShape", {{"cible", ColumnType::DateTime}}, "02/12/2021", {"YYYY-MM-DD"}},
      {"YesNoThatDoesNotParse", {{"cible", ColumnType::YesNo}}, "peut-être", {"Yes/No"}},
      {"NullYesNo", {{"cible", ColumnType::YesNo}}, std::nullopt, {"NULL"}},
      {"InvalidUtf8InText", {kOther, {"cible", ColumnType::Text, 50}}, "caf\xC3", {"UTF-8"}},
      {"InvalidUtf8InMemo", {{"cible", ColumnType::Memo}}, "\xFF\xFE", {"UTF-8"}},
      {"EncodedSurrogateInText", {{"cible", ColumnType::Text, 50}}, "\xED\xA0\x80", {"UTF-8"}},
      {"NulCharacter", {{"cible", ColumnType::Text, 50}}, std::string("a\0b", 3), {"U+0000"}},
      {"UnstorableByteOrderMark", {{"cible", ColumnType::Text, 50}}, "\xEF\xBB\xBF\xC4\x80",
       {"U+FEFF"}},
  };
}

class BadValues : public testing::TestWithParam<BadCase> {
 protected:
  testsupport::TempFolder folder_;
};

TEST_P(BadValues, AreRefusedNamingRowAndColumnAndLeaveNoFile) {
  const std::string message = mkmdb_test::MessageOf<mkmdb::WriterError>(
      [&] { mkmdb::WriteDatabase(folder_.Path("out.mdb"), {TableWith(GetParam())}); });
  EXPECT_NE(message.find("row 3"), std::string::npos) << message;
  EXPECT_NE(message.find("\"cible\""), std::string::npos) << message;
  for (const auto& piece : GetParam().expected) {
    EXPECT_NE(message.find(piece), std::string::npos) << message << " lacks " << piece;
  }
  EXPECT_TRUE(folder_.Entries().empty());
}

TEST_P(BadValues, LeaveAnExistingFileUntouched) {
  const std::string path = folder_.Path("out.mdb");
  testsupport::WriteFile(path, "precious");
  EXPECT_THROW(mkmdb::WriteDatabase(path, {TableWith(GetParam())}), mkmdb::WriterError);
  EXPECT_EQ(testsupport::ReadFile(path), "precious");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
}

INSTANTIATE_TEST_SUITE_P(Values, BadValues, testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.title; });

class BadTables : public testing::Test {
 protected:
  std::string Refusal(const std::vector<TableSpec>& tables) {
    const std::string path = folder_.Path("out.mdb");
    testsupport::WriteFile(path, "precious");
    const std::string message =
        mkmdb_test::MessageOf<mkmdb::WriterError>([&] { mkmdb::WriteDatabase(path, tables); });
    EXPECT_EQ(testsupport::ReadFile(path), "precious");
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
    return message;
  }
  testsupport::TempFolder folder_;
};

// A row may fill its page to the last byte: the first length refused is one byte over. So also
// when the row fits only once its memo is stored apart.
TEST_F(BadTables, ARowUpToTheLastByteOfItsPageIsWrittenAndOneMoreIsRefused) {
  for (const bool memo : {false, true}) {
    std::vector<ColumnSpec> columns;
    std::vector<Value> row;
    if (memo) {
      columns.push_back({"notes", ColumnType::Memo});
      row.push_back(std::string(300, 'x'));
    }
    for (int i = 0; i < 16; ++i) {
      columns.push_back({"b" + std::to_string(i), ColumnType::Binary, 255});
      row.push_back(std::string(510, 'A'));
    }
    std::string refusal;
    std::size_t length = 0;
    for (; length <= 255 && refusal.empty(); ++length) {
      row.back() = std::string(2 * length, 'A');
      refusal = mkmdb_test::MessageOf<mkmdb::WriterError>(
          [&] { mkmdb::WriteDatabase(folder_.Path("out.mdb"), {{"avion", columns, {row}}}); });
    }
    EXPECT_GT(length, 1u) << memo;  // the row with an empty last value fits
    EXPECT_NE(refusal.find("the row takes 4081 bytes"), std::string::npos) << memo << ": " << refusal;
  }
}

TEST_F(BadTables, BadNamesAreRefused) {
  const std::vector<ColumnSpec> one = {{"marque", ColumnType::Long}};
  for (const std::string& name : {""s, "a.b"s, "a!b"s, "[x]"s, "a`b"s, " a"s, "tab\there"s,
                                  std::string(65, 'n'), "\xC3"s, "msysobjects"s}) {
    EXPECT_NE(Refusal({{name, one, {}}}), "") << "table " << testing::PrintToString(name);
    if (name != "msysobjects") {
      EXPECT_NE(Refusal({{"avion", {{name, ColumnType::Long}}, {}}}), "")
          << "column " << testing::PrintToString(name);
    }
  }
  EXPECT_NO_THROW(mkmdb::WriteDatabase(folder_.Path("ok.mdb"), {{std::string(64, 'n'), one, {}}}))
      << "64 characters are allowed";
}

// Pairs of names that differ only in letter case, in Latin, Greek and Cyrillic letters: as
// table names and as column names of one table, the second is refused.
TEST_F(BadTables, DuplicateNamesAreRefusedInAnyLetterCaseOfAnyScript) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"Marque", "marque"}, {"é", "É"},         {"Été", "ÉTÉ"},   {"λόγος", "ΛΌΓΟΣ"},
      {"Πτήση", "πτήση"},   {"Самолёт", "САМОЛЁТ"}, {"Ёж", "ёЖ"},
  };
  for (const auto& [first, second] : pairs) {
    const std::string columns = Refusal(
        {{"avion", {{first, ColumnType::Long}, {second, ColumnType::Text, 5}}, {}}});
    EXPECT_NE(columns.find("used twice"), std::string::npos) << first << " / " << second;
    const std::string tables = Refusal({{first, {{"a", ColumnType::Long}}, {}},
                                        {second, {{"a", ColumnType::Long}}, {}}});
    EXPECT_NE(tables.find("used twice"), std::string::npos) << first << " / " << second;
  }
  for (const std::string name : {"msysobjects", "MSYSACES", "MSysQueries", "msysRELATIONSHIPS"}) {
    EXPECT_NE(Refusal({{name, {{"a", ColumnType::Long}}, {}}}).find("reserved"),
              std::string::npos)
        << name;
  }
}

TEST_F(BadTables, NamesThatDifferBeyondLetterCaseAreDistinct) {
  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"Été", "Ete"}, {"Straße", "STRASSE"}, {"Ёж", "Еж"}, {"Λόγος", "Λογος"}}) {
    const std::string path = folder_.Path("ok.mdb");
    const TableSpec table{first, {{first, ColumnType::Long}, {second, ColumnType::Long}}, {}};
    const TableSpec other{second, {{"a", ColumnType::Long}}, {}};
    EXPECT_NO_THROW(mkmdb::WriteDatabase(path, {table, other})) << first << " / " << second;
  }
}

struct RefusedTables {
  std::string title;
  std::vector<TableSpec> tables;
  std::vector<std::string> expected;  // pieces the message must contain (any message if none)
};

std::ostream& operator<<(std::ostream& out, const RefusedTables& c) { return out << c.title; }

class RefusedTableSets : public BadTables, public testing::WithParamInterface<RefusedTables> {};

TEST_P(RefusedTableSets, AreRefusedSayingWhy) {
  const std::string message = Refusal(GetParam().tables);
  EXPECT_NE(message, "");
  for (const auto& piece : GetParam().expected) {
    EXPECT_NE(message.find(piece), std::string::npos) << message << " lacks " << piece;
  }
}

std::vector<RefusedTables> RefusedTableCases() {
  TableSpec wide{"avion", {}, {}};
  for (int i = 0; i < 256; ++i) wide.columns.push_back({"c" + std::to_string(i), ColumnType::Long});
  // Nine full Text(255) values of a character never compressed: more than a page.
  TableSpec large{"avion", {}, {{}}};
  for (int i = 0; i < 9; ++i) {
    large.columns.push_back({"t" + std::to_string(i), ColumnType::Text, 255});
    large.rows[0].push_back(mkmdb_test::Repeat("一", 255));
  }
  return {
      {"AWrongNumberOfValuesNamesTheRow",
       {{"avion",
         {{"marque", ColumnType::Text, 10}, {"rang", ColumnType::Long}},
         {{"a", "1"}, {"b"}}}},
       {"row 2", "expected 2 values, found 1"}},
      {"AnUnknownType", {{"avion", {{"marque", static_cast<ColumnType>(17)}}, {}}},
       {"unknown type", "marque"}},
      {"TextSizeZero", {{"avion", {{"marque", ColumnType::Text, 0}}, {}}}, {}},
      {"TextSize256", {{"avion", {{"marque", ColumnType::Text, 256}}, {}}}, {}},
      {"NoColumns", {{"avion", {}, {}}}, {}}, {"TooManyColumns", {wide}, {}},
      {"ARowLargerThanAPage", {large}, {"row 1", "4080"}},
      {"AnErrorInALaterTableStillLeavesNoFile",
       {{"avion", {{"marque", ColumnType::Text, 10}}, {{"Airbus"}, {"Boeing"}}},
        {"pays", {{"rang", ColumnType::Long}}, {{"1"}, {"deux"}}}},
       {"table pays row 2"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Tables, RefusedTableSets, testing::ValuesIn(RefusedTableCases()),
                         [](const auto& info) { return info.param.title; });

TEST(OutputPath, AFolderOrAMissingFolderIsRefused) {
  testsupport::TempFolder folder;
  const std::vector<TableSpec> tables = {{"avion", {{"a", ColumnType::Long}}, {}}};
  EXPECT_THROW(mkmdb::WriteDatabase(folder.path(), tables), mkmdb::WriterError);
  EXPECT_THROW(mkmdb::WriteDatabase(folder.Path("absent/out.mdb"), tables), mkmdb::WriterError);
  EXPECT_TRUE(folder.Entries().empty());
}

const TableSpec kBrands{"avion", {{"marque", ColumnType::Text, 20}}, {{"Airbus"}, {"Boeing"}}};

// Makes a node at `path`; returns an empty string or why it could not be made.
using NodeMaker = std::function<std::string(const std::string& path)>;

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

struct NodeCase {
  std::string title;
  NodeMaker make;
  std::string kind;  // how the refusal names it
};

std::ostream& operator<<(std::ostream& out, const NodeCase& c) { return out << c.title; }

std::string MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  const std::string problem = bound ? "" : Failed("bind");
  close(fd);
  return problem;
}

std::vector<NodeCase> Nodes() {
  return {
      {"Folder", [](const std::string& p) { return mkdir(p.c_str(), 0755) ? Failed("mkdir") : ""; },
       "a folder"},
      {"Fifo", [](const std::string& p) { return mkfifo(p.c_str(), 0644) ? Failed("mkfifo") : ""; },
       "a FIFO"},
      {"Socket", MakeSocket, "a socket"},
      // A node of the null device, as a user would make one with mknod.
      {"CharacterDevice",
       [](const std::string& p) {
         return mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 3)) ? Failed("mknod") : "";
       },
       "a character device"},
      {"LinkToAFifo",
       [](const std::string& p) {
         const std::string fifo = p + ".fifo";
         if (mkfifo(fifo.c_str(), 0644) != 0) return Failed("mkfifo");
         return symlink("out.mdb.fifo", p.c_str()) ? Failed("symlink") : "";
       },
       "a FIFO"},
      {"LinkLoop",
       [](const std::string& p) {
         if (symlink("out.mdb.loop", p.c_str()) != 0) return Failed("symlink");
         return symlink("out.mdb", (p + ".loop").c_str()) ? Failed("symlink") : "";
       },
       "symbolic links"},
  };
}

// What identifies an entry: its type and its inode.
std::pair<mode_t, ino_t> Identity(const std::string& path) {
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0) return {0, 0};
  return {entry.st_mode & S_IFMT, entry.st_ino};
}

class NotARegularFile : public testing::TestWithParam<NodeCase> {
 protected:
  std::string Out() const { return folder_.Path("out.mdb"); }
  TempFolder folder_;
};

TEST_P(NotARegularFile, IsRefusedAndLeftAsItIs) {
  const std::string problem = GetParam().make(Out());
  if (!problem.empty()) GTEST_SKIP() << "cannot make the node here (" << problem << ")";
  const auto entries = folder_.Entries();
  const auto identity = Identity(Out());

  try {
    mkmdb::WriteDatabase(Out(), {kBrands});
    ADD_FAILURE() << "the library wrote over " << GetParam().title;
  } catch (const mkmdb::DestinationError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().kind), std::string::npos) << e.what();
  }
  const auto run = mkmdb_test::RunProgram({MKMDB_PATH, Out(), "--table", "avion", "--column",
                                           "marque:text(20)", "--generate", "3"});
  EXPECT_EQ(run.exitCode, 2) << run.err;
  EXPECT_NE(run.err.find(GetParam().kind), std::string::npos) << run.err;

  EXPECT_EQ(Identity(Out()), identity);
  EXPECT_EQ(folder_.Entries(), entries);
}

INSTANTIATE_TEST_SUITE_P(Destinations, NotARegularFile, testing::ValuesIn(Nodes()),
                         [](const auto& info) { return info.param.title; });

std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(OutputLinks, AreFollowedToTheFileTheyNameAndStay) {
  TempFolder folder;
  // links/out.mdb -> ../chain.mdb -> data/real.mdb, each target relative to its link's folder.
  ASSERT_EQ(mkdir(folder.Path("links").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(folder.Path("data").c_str(), 0755), 0);
  ASSERT_EQ(symlink("../chain.mdb", folder.Path("links/out.mdb").c_str()), 0);
  ASSERT_EQ(symlink("data/real.mdb", folder.Path("chain.mdb").c_str()), 0);
  const std::string real = folder.Path("data/real.mdb");
  const std::string link = folder.Path("links/out.mdb");

  // A link to nothing yet creates the file it names; a second write replaces that file.
  for (const char* round : {"new", "replaced"}) {
    mkmdb::WriteDatabase(link, {kBrands});
    EXPECT_EQ(mkmdb_test::CompareAll(real, {kBrands}), "") << round;
    EXPECT_EQ(Identity(link).first, static_cast<mode_t>(S_IFLNK)) << round;
    EXPECT_EQ(Identity(folder.Path("chain.mdb")).first, static_cast<mode_t>(S_IFLNK)) << round;
    char target[64] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../chain.mdb") << round;
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"chain.mdb", "data", "links"}));
  EXPECT_EQ(EntriesOf(folder.Path("data")), std::vector<std::string>{"real.mdb"});
  EXPECT_EQ(EntriesOf(folder.Path("links")), std::vector<std::string>{"out.mdb"});
}

// The temporary file is ".<name>.XXXXXX"; for names near the limit of 255 bytes its name is
// shortened rather than refused.
class LongOutputNames : public testing::TestWithParam<std::string> {};

TEST_P(LongOutputNames, AreWritten) {
  TempFolder folder;
  const std::string path = folder.Path(GetParam());
  mkmdb::WriteDatabase(path, {kBrands});
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{GetParam()});
  EXPECT_EQ(mkmdb_test::CompareAll(path, {kBrands}), "");
}

std::string AccentedName(std::size_t bytes) {
  std::string name;
  while (name.size() + 2 <= bytes - 4) name += "é";
  while (name.size() < bytes - 4) name += "x";
  return name + ".mdb";
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongOutputNames,
    testing::Values(std::string(244, 'n') + ".mdb", std::string(247, 'n') + ".mdb",
                    std::string(251, 'n') + ".mdb", AccentedName(255), AccentedName(254)),
    [](const auto& info) {
      return std::to_string(info.param.size()) + "Bytes" +
             (info.param[0] == 'n' ? "Ascii" : "Accented");
    });

TEST(NewOutputFiles, GetTheModeTheUmaskLeaves) {
  TempFolder folder;
  const mode_t previous = umask(027);
  mkmdb::WriteDatabase(folder.Path("out.mdb"), {kBrands});
  umask(previous);
  struct stat info {};
  ASSERT_EQ(stat(folder.Path("out.mdb").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
