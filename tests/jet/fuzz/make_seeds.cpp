// Writes the writer-made part of the fuzz seed corpus into a folder: small databases holding
// every type, every memo storage kind and indexes of two levels, plain, encoded and in each
// encrypted form, and tables with properties, relationships and links.
//   jet_fuzz_seeds FOLDER
#include <cstdio>
#include <fstream>

#include "sample_files.h"
#include "seed_password.h"

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
  const std::pair<const char*, mkmdb::Encryption> protectedSeeds[] = {
      {"encoded.mdb", mkmdb::Encryption::None},
      {"rc4_cryptoapi.mdb", mkmdb::Encryption::Rc4CryptoApi},
      {"aes_standard.mdb", mkmdb::Encryption::Standard},
      {"aes_agile.accdb", mkmdb::Encryption::AgileSha512}};
  for (const auto& [name, form] : protectedSeeds) {
    mkmdb::Protection protection;
    protection.encode = form == mkmdb::Encryption::None;
    protection.password = jettest::kFuzzPassword;
    protection.encryption = form;
    protection.accdb = form == mkmdb::Encryption::AgileSha512;
    protection.spinCount = 10;  // the agile form's hashing, cut for speed
    std::ofstream(folder + "/" + name, std::ios::binary)
        << jettest::DatabaseBytes({jettest::EveryTypeTable()}, {}, protection);
  }
  std::ofstream(folder + "/related.mdb", std::ios::binary)
      << jettest::DatabaseBytes(jettest::RelatedTables(), jettest::RelatedCatalog());
  return 0;
}
