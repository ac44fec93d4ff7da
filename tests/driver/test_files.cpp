#include "test_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace drivertest {

TestFolder::TestFolder() { std::filesystem::create_directories(folder_.Path("a/b")); }

TestFolder::~TestFolder() {
  if (!previous_.empty()) std::filesystem::current_path(previous_);
}

void TestFolder::Enter() {
  previous_ = std::filesystem::current_path().string();
  std::filesystem::current_path(folder_.Path("a/b"));
}

std::string LongMemo() {
  std::string memo;
  for (int i = 0; i < 700; ++i) memo += "Line " + std::to_string(i) + " é€ ";
  return memo;
}

std::vector<mkmdb::TableSpec> BrandTables() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec avion{"avion", {}, {}};
  avion.columns = {{"marque", ColumnType::Text, 50}, {"id", ColumnType::Long},
                   {"prix", ColumnType::Double},     {"vol", ColumnType::DateTime},
                   {"actif", ColumnType::YesNo},     {"notes", ColumnType::Memo}};
  auto row = [](mkmdb::Value marque, int id, mkmdb::Value prix, mkmdb::Value vol, bool actif,
                mkmdb::Value notes) {
    return std::vector<mkmdb::Value>{marque, std::to_string(id), prix, vol,
                                     actif ? "1" : "0", notes};
  };
  avion.rows = {
      row("Airbus", 1, "3.25", "2021-12-02 13:45:07", true, "short memo"),
      row("Boeing", 2, "-0.001", "1999-01-31", false, std::nullopt),
      row("Dassault Aviation", 3, "1000000", "1900-01-01 00:00:01", true, ""),
      row(kNonAscii, 4, "0.1", "1899-12-30", false, kNonAscii),
      row(std::nullopt, 5, std::nullopt, std::nullopt, false, std::nullopt),
      row("", 6, "0", "1850-06-15 12:00:00", true, "x"),
      row("Cessna", 7, "2.5e10", "2000-02-29 23:59:59", true, LongMemo()),
      row("Embraer", 8, "-42", "9999-12-31 23:59:59", false, "y"),
      row("Piper", 9, "7", "0100-01-01", true, "z"),
      row("Sukhoi", 10, "8", "2024-07-14", false, "w"),
  };
  return {avion, {"vide", {{"nom", ColumnType::Text, 20}}, {}}};
}

CapturedOutput::CapturedOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
  const int fd = open(folder_.Path("output").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  savedOut_ = dup(1);
  savedErr_ = dup(2);
  dup2(fd, 1);
  dup2(fd, 2);
  close(fd);
}

std::string CapturedOutput::Finish() {
  if (finished_) return {};
  finished_ = true;
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(savedOut_, 1);
  dup2(savedErr_, 2);
  close(savedOut_);
  close(savedErr_);
  return testsupport::ReadFile(folder_.Path("output"));
}

CapturedOutput::~CapturedOutput() { Finish(); }

}  // namespace drivertest
