// The mkmdb command: its arguments, rows from files and standard input, errors naming the line
// and the column, and no broken file whatever happens, interruptions included.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>

#include "command_line.h"
#include "jet/database.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb_test::ProgramResult;
using testsupport::TempFolder;

const std::string kMkmdb = MKMDB_PATH;

std::string Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos ? "" : "\"" + piece + "\" not in: " + text;
}

TEST(CommandLineParsing, ReadsTablesInOrder) {
  const auto plan = mkmdb::ParseCommandLine(
      {"out.mdb", "--table", "avion", "--column", "marque:text(50)", "--column", "rang:long",
       "--rows", "-", "--table", "pays", "--column", "nom:memo", "--generate", "12"});
  EXPECT_FALSE(plan.help);
  EXPECT_EQ(plan.output, "out.mdb");
  ASSERT_EQ(plan.tables.size(), 2u);
  EXPECT_EQ(plan.tables[0].name, "avion");
  ASSERT_EQ(plan.tables[0].columns.size(), 2u);
  EXPECT_EQ(plan.tables[0].columns[1].type, ColumnType::Long);
  EXPECT_EQ(plan.tables[0].rows_file, "-");
  EXPECT_FALSE(plan.tables[0].generate.has_value());
  EXPECT_EQ(plan.tables[1].generate, 12u);
}

TEST(CommandLineParsing, ReadsIndexesPrimaryKeysAndUniqueness) {
  const auto plan = mkmdb::ParseCommandLine(
      {"out.mdb", "--table", "t", "--column", "id:long", "--column", "nom:text(9)",
       "--column", "Date of flight:datetime", "--primary-key", "id", "--index",
       "par_nom:nom DESC,id", "--unique", "--index", "vols:Date of flight asc,nom desc"});
  ASSERT_EQ(plan.tables.size(), 1u);
  // Each index as "name: column[ desc], ...[ unique][ primary key]".
  std::vector<std::string> indexes;
  for (const mkmdb::IndexSpec& index : plan.tables[0].indexes) {
    std::string text = index.name + ":";
    for (const auto& column : index.columns) {
      text += " " + column.name + (column.descending ? " desc," : ",");
    }
    indexes.push_back(text + (index.unique ? " unique" : "") +
                      (index.primary_key ? " primary key" : ""));
  }
  EXPECT_EQ(indexes, (std::vector<std::string>{"PrimaryKey: id, unique primary key",
                                               "par_nom: nom desc, id, unique",
                                               "vols: Date of flight, nom desc,"}));
}

TEST(CommandLineParsing, RefusesIncompleteOrContradictoryArguments) {
  using Args = std::vector<std::string>;
  for (const Args& args : {
           Args{}, Args{"out.mdb"}, Args{"--table", "avion", "--column", "a:long"},
           Args{"out.mdb", "--column", "a:long"}, Args{"out.mdb", "--table", "avion"},
           Args{"out.mdb", "--table", "avion", "--column"},
           Args{"out.mdb", "--table", "avion", "--column", "a:long", "--rows", "x", "--generate",
                "3"},
           Args{"out.mdb", "--table", "avion", "--column", "a:long", "--generate", "-3"},
           Args{"out.mdb", "--table", "avion", "--column", "a:long", "--generate", "3x"},
           Args{"out.mdb", "--table", "t", "--column", "a:long", "--rows", "-", "--table", "u",
                "--column", "a:long", "--rows", "-"},
           Args{"out.mdb", "other.mdb", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--table", "t", "--column", "a:long", "--frobnicate"},
           // Protection: an encryption without its password, unknown forms, contradictions.
           Args{"out.mdb", "--encrypt", "agile", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--encrypt", "des", "--password", "p", "--table", "t", "--column",
                "a:long"},
           Args{"out.mdb", "--encode", "--encrypt", "aes", "--password", "p", "--table", "t",
                "--column", "a:long"},
           Args{"out.mdb", "--accdb", "--encode", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--accdb", "--password", "p", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--password", "", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--encode", "--encode", "--table", "t", "--column", "a:long"},
           Args{"out.mdb", "--password", "a", "--password", "b", "--table", "t", "--column",
                "a:long"},
           // A relationship's sides are TABLE.COLUMN, both named.
           Args{"out.mdb", "--table", "t", "--column", "a:long", "--relationship", "r", ".a", "t.a"},
           Args{"out.mdb", "--table", "t", "--column", "a:long", "--relationship", "r", "t.", "t.a"},
           // An index or key belongs to a table and names its columns.
           Args{"o.mdb", "--table", "t", "--column", "a:long", "--unique"},
           Args{"o.mdb", "--index", "i:a"},
           Args{"o.mdb", "--table", "t", "--column", "a:long", "--index", "i"},
           Args{"o.mdb", "--table", "t", "--column", "a:long", "--index", "i:a,"},
           Args{"o.mdb", "--table", "t", "--column", "a:long", "--primary-key"},
       }) {
    EXPECT_ANY_THROW(mkmdb::ParseCommandLine(args)) << testing::PrintToString(args);
  }
  // Names of one letter are names.
  const auto plan = mkmdb::ParseCommandLine(
      {"out.mdb", "--table", "t", "--column", "a:long", "--relationship", "r", "t.a", "t.b"});
  ASSERT_EQ(plan.catalog.relationships.size(), 1u);
  EXPECT_EQ(plan.catalog.relationships[0].foreign_table, "t");
  EXPECT_EQ(plan.catalog.relationships[0].primary_columns, std::vector<std::string>{"b"});
}

TEST(CommandLineParsing, ReadsTheProtectionOptions) {
  const auto plan = mkmdb::ParseCommandLine({"out.accdb", "--table", "t", "--column", "a:long",
                                             "--accdb", "--encrypt", "agile-sha1", "--password",
                                             "Kennwort"});
  EXPECT_TRUE(plan.protection.accdb);
  EXPECT_FALSE(plan.protection.encode);
  EXPECT_EQ(plan.protection.encryption, mkmdb::Encryption::AgileSha1);
  EXPECT_EQ(plan.protection.password, "Kennwort");
}

class Mkmdb : public testing::Test {
 protected:
  std::string Out() const { return folder_.Path("out.mdb"); }
  // Standard input from the file `stdin_path`, or /dev/null.
  ProgramResult Run(std::vector<std::string> args, const std::string& stdin_path = {}) {
    args.insert(args.begin(), kMkmdb);
    testsupport::ChildOptions options = mkmdb_test::ProgramOptions(args);
    options.inputFd = stdin_path.empty() ? -1 : open(stdin_path.c_str(), O_RDONLY | O_CLOEXEC);
    ProgramResult run = testsupport::RunChild(options, mkmdb_test::kProgramDeadline);
    if (options.inputFd >= 0) close(options.inputFd);
    return run;
  }
  TempFolder folder_;
};

TEST_F(Mkmdb, HelpDescribesTheCommandLine) {
  const ProgramResult run = Run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* piece : {"--table", "--column", "--rows", "--generate", "text(N)", "memo",
                            "long", "double", "datetime", "yesno", "\\N"}) {
    EXPECT_EQ(Contains(run.out, piece), "");
  }
}

TEST_F(Mkmdb, ABadCommandLineExitsWithTwoAndWritesNothing) {
  const ProgramResult run = Run({Out(), "--table", "avion", "--column", "marque:varchar(5)"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(Contains(run.err, "varchar(5)"), "");
  EXPECT_TRUE(folder_.Entries().empty());
}

// Each protection the command writes, read back by the reader with the password and refused
// without it; a password the file cannot hold fails the run and leaves nothing.
TEST_F(Mkmdb, WritesProtectedFilesTheReaderOpensWithThePassword) {
  using Args = std::vector<std::string>;
  for (const Args& protection : {Args{"--encode"}, Args{"--password", "clé"},
                                 Args{"--encrypt", "rc4", "--password", "clé"},
                                 Args{"--encrypt", "agile", "--password", "clé", "--accdb"}}) {
    Args args = {Out(), "--table", "t", "--column", "a:long", "--generate", "3"};
    args.insert(args.end(), protection.begin(), protection.end());
    const ProgramResult run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string error;
    jet::OpenFailure failure{};
    const bool asksPassword = protection.size() > 1;
    EXPECT_EQ(jet::Database::Open(Out(), {}, error, &failure) == nullptr, asksPassword) << error;
    const auto database = jet::Database::Open(Out(), {"clé"}, error);
    ASSERT_NE(database, nullptr) << error;
    jet::TableDefinition definition;
    ASSERT_TRUE(database->ReadDefinition("t", definition, error)) << error;
    auto scan = database->StartScan(definition);
    int rows = 0;
    while (scan->Next()) ++rows;
    EXPECT_EQ(rows, 3) << testing::PrintToString(protection);
  }
  std::remove(Out().c_str());
  const ProgramResult tooLong = Run({Out(), "--password", std::string(21, 'x'), "--table", "t",
                                     "--column", "a:long"});
  EXPECT_EQ(tooLong.exitCode, 1);
  EXPECT_EQ(Contains(tooLong.err, "at most 20 characters"), "");
  EXPECT_TRUE(folder_.Entries().empty());
}

TEST_F(Mkmdb, ReadsRowsFromStandardInputWithEscapes) {
  const std::string rows = folder_.Path("rows.tsv");
  testsupport::WriteFile(rows,
                        "Airbus\t1\n"
                        "\\N\t\\N\n"
                        "\t-2\n"
                        "tab\\there\\nnew line\\\\ \\r end\t3\r\n"
                        "\\\\N\t4\n"
                        "Туполев x一y\t5");  // no final line feed
  const ProgramResult run =
      Run({Out(), "--table", "avion", "--column", "marque:text(50)", "--column", "rang:long",
           "--rows", "-"},
          rows);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  TableSpec expected{"avion", {{"marque", ColumnType::Text, 50}, {"rang", ColumnType::Long}}, {}};
  expected.rows = {{"Airbus", "1"},
                   {std::nullopt, std::nullopt}, {"", "-2"},
                   {"tab\there\nnew line\\ \r end", "3"}, {"\\N", "4"},
                   {"Туполев x一y", "5"}};
  EXPECT_EQ(mkmdb_test::CompareAll(Out(), {expected}), "");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"out.mdb", "rows.tsv"}));
}

TEST_F(Mkmdb, WritesSeveralTablesFromFilesAndGenerators) {
  const std::string pays = folder_.Path("pays.tsv");
  testsupport::WriteFile(pays, "France\t1792-09-22\t1\nJapon\t\\N\t0\n");
  const ProgramResult run =
      Run({Out(), "--table", "avion", "--column", "marque:text(50)", "--generate", "2500",
           "--table", "pays", "--column", "nom:text(20)", "--column", "date:datetime",
           "--column", "ue:yesno", "--rows", pays, "--table", "vide", "--column", "m:memo"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  TableSpec avion{"avion", {{"marque", ColumnType::Text, 50}}, {}};
  for (int i = 1; i <= 2500; ++i) avion.rows.push_back({"marque " + std::to_string(i)});
  TableSpec expected_pays{"pays",
                          {{"nom", ColumnType::Text, 20},
                           {"date", ColumnType::DateTime},
                           {"ue", ColumnType::YesNo}},
                          {{"France", "1792-09-22", "1"}, {"Japon", std::nullopt, "0"}}};
  TableSpec vide{"vide", {{"m", ColumnType::Memo}}, {}};
  EXPECT_EQ(mkmdb_test::CompareAll(Out(), {avion, expected_pays, vide}), "");
}

struct CliBadInput {
  std::string title;
  std::string rows;
  std::vector<std::string> expected;
};

std::ostream& operator<<(std::ostream& out, const CliBadInput& c) { return out << c.title; }

class MkmdbBadInput : public Mkmdb, public testing::WithParamInterface<CliBadInput> {
 protected:
  ProgramResult RunOn(const std::string& rows_text) {
    const std::string rows = folder_.Path("rows.tsv");
    testsupport::WriteFile(rows, rows_text);
    return Run({Out(), "--table", "avion", "--column", "marque:text(5)", "--column",
                "rang:long", "--column", "vol:datetime", "--rows", rows});
  }
};

TEST_P(MkmdbBadInput, NamesTheLineAndColumnAndLeavesNoFile) {
  const ProgramResult run = RunOn(GetParam().rows);
  EXPECT_EQ(run.exitCode, 1);
  for (const auto& piece : GetParam().expected) EXPECT_EQ(Contains(run.err, piece), "");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"rows.tsv"});
}

TEST_P(MkmdbBadInput, LeavesAnExistingFileUntouched) {
  testsupport::WriteFile(Out(), "precious");
  const ProgramResult run = RunOn(GetParam().rows);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(testsupport::ReadFile(Out()), "precious");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"out.mdb", "rows.tsv"}));
}

const char kGood[] = "abc\t1\t2020-01-01\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, MkmdbBadInput,
    testing::Values(
        CliBadInput{"TooLong", std::string(kGood) + kGood + "abcdef\t3\t2020-01-01\n",
                    {"rows.tsv line 3", "\"marque\"", "6 characters"}},
        CliBadInput{"NotANumber", std::string(kGood) + "abc\tdeux\t2020-01-01\n",
                    {"line 2", "\"rang\"", "\"deux\""}},
        CliBadInput{"NotADate", std::string(kGood) + "abc\t2\t2020-02-30\n",
                    {"line 2", "\"vol\""}},
        CliBadInput{"TooManyFields", std::string(kGood) + "abc\t2\t2020-01-01\textra\n",
                    {"line 2", "expected 3", "found 4"}},
        CliBadInput{"TooFewFields", std::string(kGood) + kGood + kGood + "abc\t2\n",
                    {"line 4", "expected 3", "found 2"}},
        CliBadInput{"InvalidUtf8", std::string(kGood) + "ab\xE9\t2\t2020-01-01\n",
                    {"line 2", "\"marque\"", "UTF-8"}},
        CliBadInput{"UnknownEscape", std::string(kGood) + "a\\qb\t2\t2020-01-01\n",
                    {"line 2", "\"marque\"", "escape"}},
        CliBadInput{"EmptyLine", std::string(kGood) + "\n" + kGood, {"line 2", "found 1"}}),
    [](const auto& info) { return info.param.title; });

TEST_F(Mkmdb, AMissingRowsFileIsAnError) {
  const ProgramResult run = Run({Out(), "--table", "avion", "--column", "a:long", "--rows",
                                 folder_.Path("absent.tsv")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(Contains(run.err, "absent.tsv"), "");
  EXPECT_TRUE(folder_.Entries().empty());
}

// Runs that read their rows from a pipe: the run is waiting for input, its temporary file
// present, when the signal arrives.
class MkmdbSignalled : public Mkmdb, public testing::WithParamInterface<int> {
 protected:
  std::unique_ptr<testsupport::Child> StartWaitingForRows(
      const std::vector<int>& ignored = {}) {
    // SIGQUIT would leave a core file of the run; the limit passes on to it.
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = 0;
    setrlimit(RLIMIT_CORE, &core);
    testsupport::ChildOptions options = mkmdb_test::ProgramOptions(
        {kMkmdb, Out(), "--table", "avion", "--column", "marque:text(50)", "--rows", "-"});
    options.inputOpen = true;
    options.ignoredSignals = ignored;
    auto run = std::make_unique<testsupport::Child>(options);
    run->Write("Airbus\n");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Writing() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return run;
  }
  // Whether the temporary file of the run is there.
  bool Writing() const {
    for (const std::string& name : folder_.Entries()) {
      if (name.rfind(".out.mdb.", 0) == 0) return true;
    }
    return false;
  }
};

// An interrupted run removes its temporary file and leaves the destination as it was.
TEST_P(MkmdbSignalled, AnInterruptedRunLeavesNoFileBehind) {
  testsupport::WriteFile(Out(), "precious");
  auto run = StartWaitingForRows();
  ASSERT_TRUE(run->started());
  ASSERT_TRUE(Writing()) << "the temporary file never appeared";
  run->Signal(GetParam());
  const ProgramResult result = run->Wait(mkmdb_test::kProgramDeadline);
  EXPECT_EQ(result.signal, GetParam()) << "exit " << result.exitCode << ": " << result.err;
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
  EXPECT_EQ(testsupport::ReadFile(Out()), "precious");
}

// A signal ignored when the run starts (nohup, a background job) stays ignored.
TEST_P(MkmdbSignalled, ASignalIgnoredAtTheStartStaysIgnored) {
  auto run = StartWaitingForRows({GetParam()});
  ASSERT_TRUE(run->started());
  ASSERT_TRUE(Writing()) << "the temporary file never appeared";
  run->Signal(GetParam());
  run->Write("Boeing\n");
  const ProgramResult result = run->Wait(mkmdb_test::kProgramDeadline);
  EXPECT_EQ(result.signal, 0);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const TableSpec expected{"avion", {{"marque", ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}}};
  EXPECT_EQ(mkmdb_test::CompareAll(Out(), {expected}), "");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
}

INSTANTIATE_TEST_SUITE_P(Signals, MkmdbSignalled,
                         testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

}  // namespace
