// mkmdb: writes an Access (Jet 4) database file from column descriptions and tab-separated rows.
#include <fstream>
#include <iostream>
#include <memory>

#include "command_line.h"
#include "generated_rows.h"
#include "mdb_writer.h"
#include "pending_output.h"
#include "tsv_rows.h"

int main(int argc, char** argv) {
  using namespace mkmdb;
  std::ios::sync_with_stdio(false);
  Plan plan;
  try {
    plan = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::cerr << "mkmdb: " << e.what() << "\n(mkmdb --help describes the command line)\n";
    return 2;
  }
  if (plan.help) {
    std::cout << HelpText();
    return 0;
  }

  InstallInterruptCleanup();
  try {
    std::vector<std::unique_ptr<std::ifstream>> files;
    std::vector<std::unique_ptr<RowSource>> sources;
    std::vector<TableSource> tables;
    for (std::size_t t = 0; t < plan.tables.size(); ++t) {
      const TablePlan& table = plan.tables[t];
      RowSource* rows = nullptr;
      if (table.rows_file) {
        std::istream* input = &std::cin;
        std::string label = "standard input";
        if (*table.rows_file != "-") {
          files.push_back(std::make_unique<std::ifstream>(*table.rows_file, std::ios::binary));
          if (!*files.back()) throw WriterError("cannot open " + *table.rows_file);
          input = files.back().get();
          label = *table.rows_file;
        }
        sources.push_back(std::make_unique<TsvRows>(*input, label, table.columns));
        rows = sources.back().get();
      } else if (table.generate) {
        sources.push_back(std::make_unique<GeneratedRows>(table.columns, *table.generate));
        rows = sources.back().get();
      }
      tables.push_back({table.name, table.columns, rows, plan.table_descriptions[t], table.indexes});
    }
    WriteDatabaseFromSources(plan.output, tables, plan.catalog, plan.protection);
  } catch (const DestinationError& e) {
    std::cerr << "mkmdb: " << e.what() << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "mkmdb: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
