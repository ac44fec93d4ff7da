// Writes the writer-made part of the fuzz seed corpus into a folder: small databases holding
// every type, every memo storage kind and indexes of two levels.
//   jet_fuzz_seeds FOLDER
#include <cstdio>
#include <fstream>

#include "sample_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: jet_fuzz_seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::vector<std::pair<const char*, std::vector<mkmdb::TableSpec>>> seeds = {
      {"every_type.mdb", {jettest::EveryTypeTable()}},
      {"memos.mdb", {jettest::MemoTable()}},
      {"two_tables.mdb", {jettest::EveryTypeTable(), jettest::MemoTable()}},
      {"empty_table.mdb", {{"empty", {{"name", mkmdb::ColumnType::Text, 10}}, {}}}},
      {"indexed.mdb", {jettest::IndexedTable()}},
  };
  for (const auto& [name, tables] : seeds) {
    std::ofstream(folder + "/" + name, std::ios::binary) << jettest::DatabaseBytes(tables);
  }
  return 0;
}
