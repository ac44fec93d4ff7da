#include "tests/program/listing_scenarios.h"

#include <algorithm>

namespace listing {

namespace {

using Rows = std::vector<std::optional<std::string>>;

const Rows kBrands = {"Airbus", "Boeing", "Cessna", "Dassault Aviation", "Embraer"};

Rows FirstBrands(size_t count) { return Rows(kBrands.begin(), kBrands.begin() + count); }

// Latin, Czech and a sign of the BMP, and a letter outside it (a surrogate pair in UTF-16).
const Rows kBeyondAscii = {"Aérospatiale", "Škoda ✈", "𝔄irbus"};
const Rows kBeyondAsciiBmp = {"Aérospatiale", "Škoda ✈", "Tupolev"};
// Accents, Cyrillic, and CJK with a character outside the Basic Multilingual Plane.
const Rows kInternational = {"Aérospatiale Ærø Škoda", "Сухой Туполев", "三菱航空機 𠀋"};

std::string Cycled(size_t length) {
  std::string text;
  for (size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
  return text;
}

// A memo value of exactly `characters` characters of the Basic Multilingual Plane: numbered
// pieces "<n> Zlín Жуковский 三菱 ✈ ", so that a piece lost or read twice changes the text.
std::string LongMemo(size_t characters) {
  std::string memo;
  size_t count = 0;
  for (size_t n = 0; count < characters; ++n) {
    const std::string piece = std::to_string(n) + " Zlín Жуковский 三菱 ✈ ";
    for (size_t at = 0; at < piece.size() && count < characters; ++count) {
      size_t length = 1;
      while (at + length < piece.size() && (piece[at + length] & 0xC0) == 0x80) ++length;
      memo.append(piece, at, length);
      at += length;
    }
  }
  return memo;
}

const unsigned kScriptedOnly = kInProcess | kScripted;

const std::vector<Scenario>& Table() {
  const Rows units = {TextOfUnits(31), TextOfUnits(32), TextOfUnits(255)};
  static const std::vector<Scenario> table = {
      // Fewer rows than reads end with the driver's error of the read that found no row.
      {"no_rows", {}}, {"one_row", FirstBrands(1)}, {"five_rows", FirstBrands(5)},
      {"two_rows", FirstBrands(2), kEveryRunner | kMemcheck},
      {"three_rows", FirstBrands(3), kEveryRunner | kMemcheck},
      {"four_rows", FirstBrands(4), kEveryRunner | kMemcheck},
      {"null_between_values", {"Airbus", std::nullopt, "Cessna"}},
      {"null_and_empty", {std::nullopt, "Airbus", ""}, kDriver},
      {"null_in_memo", {"Airbus", std::nullopt, "Boeing"}, kDriver, "C.UTF-8", true},
      {"null_and_long", {std::nullopt, std::string(32, 'v'), std::string(300, 'w')},
       kScriptedOnly, "C.UTF-8", false, 400},
      {"null_and_long_memcheck", {std::nullopt, std::string(40, 'x'), std::string(350, 'y')},
       kMemcheck, "C.UTF-8", false, 400},
      // Around the 32 units where the program's narrow copy of a value leaves its inline buffer.
      {"ascii_31_32_400", {std::string(31, 'x'), std::string(31, 'y') + "Z", Cycled(400)},
       kScriptedOnly, "C.UTF-8", false, 400},
      {"units_31_32_255", units, kDriver, "C.UTF-8", false, 255},
      {"units_31_32_255_c", units, kDriver, "C", false, 255},
      {"memo_20000_5000", {LongMemo(20000), "Piper", LongMemo(5000)}, kDriver, "C.UTF-8", true},
      // A long column is first read into a small buffer: the two units of a character outside
      // the BMP at its start come in different reads.
      {"memo_surrogate_pairs", {"✈", "𠀋 Fuji", "😀😀😀"}, kDriver, "C.UTF-8", true},
      // Beyond ASCII: exact in a UTF-8 locale; one '?' a character in the C locale, in the box as
      // on the line.
      {"beyond_ascii", kBeyondAscii, kInProcess}, {"beyond_ascii_c", kBeyondAscii, kInProcess, "C"},
      {"beyond_ascii_bmp", kBeyondAsciiBmp, kScripted},
      {"beyond_ascii_bmp_c", kBeyondAsciiBmp, kScripted, "C"},
      {"international", kInternational, kDriver},
      {"international_c", {"Aérospatiale Ærø Škoda", "Сухой Туполев", "三菱航空機"}, kDriver, "C"},
      {"international_memo", kInternational, kDriver, "C.UTF-8", true},
      // The statement fails as it is prepared or executed: the driver's records in one box.
      {"missing_table", FirstBrands(3), kEveryRunner | kMemcheck, "C.UTF-8", false, 50,
       Disturbance::MissingTable},
      {"missing_column", FirstBrands(2), kEveryRunner, "C.UTF-8", false, 50,
       Disturbance::MissingColumn},
      // Runs that end with status 1 and one line on standard error.
      {"refused_connection", FirstBrands(3), kScriptedOnly | kDriver | kMemcheck, "C.UTF-8",
       false, 50, Disturbance::RefusedConnection},
      {"huge_length", {"Airbus"}, kScripted | kMemcheck, "C.UTF-8", true, 0,
       Disturbance::HugeLength},
  };
  return table;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

std::string ScenarioName(const testing::TestParamInfo<Scenario>& info) { return info.param.name; }

std::vector<Scenario> ScenariosFor(Runner runner) {
  std::vector<Scenario> chosen;
  for (const Scenario& scenario : Table()) {
    if (scenario.runners & runner) chosen.push_back(scenario);
  }
  return chosen;
}

std::vector<std::string> ExpectedValues(const Scenario& scenario) {
  if (scenario.disturbance != Disturbance::None) return {};
  std::vector<std::string> values;
  for (size_t i = 0; i < std::min<size_t>(3, scenario.rows.size()); ++i) {
    const std::string value = scenario.rows[i].value_or("");
    values.push_back(std::string(scenario.locale) == "C" ? AsCLocaleWrites(value) : value);
  }
  return values;
}

int ExpectedStatus(const Scenario& scenario) {
  const Disturbance d = scenario.disturbance;
  return d == Disturbance::RefusedConnection || d == Disturbance::HugeLength ? 1 : 0;
}

std::optional<std::string> ExpectedErrorBox(const Scenario& scenario, Source source) {
  const bool scripted = source == Source::Scripted;
  switch (scenario.disturbance) {
    case Disturbance::None:
      if (scenario.rows.size() < 3) return "Invalid cursor state\n";
      break;
    case Disturbance::MissingTable:
      return scripted ? "The table 'avion' does not exist.\n"
                      : "avion is not a table or query in this database (at offset 19)\n";
    case Disturbance::MissingColumn:
      return scripted ? "Column marque not found\nStatement not executed\n"
                      : "Column marque not found (at offset 7)\n";
    case Disturbance::RefusedConnection:
    case Disturbance::HugeLength:
      break;
  }
  return std::nullopt;
}

std::string ExpectedFailureLine(const Scenario& scenario) {
  return scenario.disturbance == Disturbance::HugeLength
             ? "brand-listing: the listing failed: out of memory (CMemoryException)"
             : "brand-listing: cannot open the database: Unable to connect";
}

std::string FakeScript(const Scenario& scenario) {
  std::string script = std::string("column marque ") +
                       (scenario.memo ? "SQL_WLONGVARCHAR " : "SQL_WVARCHAR ") +
                       std::to_string(scenario.size) + "\n";
  for (const std::optional<std::string>& row : scenario.rows) {
    script += "row " + (row ? Quoted(*row) : "NULL") + "\n";
  }
  switch (scenario.disturbance) {
    case Disturbance::None: break;
    case Disturbance::MissingTable:
      script += "answer SQLPrepareW 1 rc SQL_ERROR diag S0002 -1305 "
                "\"[FakeODBC][Driver]The table 'avion' does not exist.\"\n";
      break;
    case Disturbance::MissingColumn:
      script += "answer SQLExecute 1 rc SQL_ERROR "
                "diag S0022 0 \"[FakeODBC][Driver]Column marque not found\" "
                "diag S1000 0 \"[FakeODBC][Driver]Statement not executed\"\n";
      break;
    case Disturbance::RefusedConnection:
      script += "answer SQLDriverConnectW 1 rc SQL_ERROR diag 08001 0 "
                "\"[FakeODBC][Driver]Unable to connect\"\n";
      break;
    case Disturbance::HugeLength:
      script += "answer SQLGetData 1 default length 4294967294\n";
      break;
  }
  return script;
}

std::string AsCLocaleWrites(const std::string& utf8) {
  std::string text;
  for (unsigned char c : utf8) {
    if (c < 0x80) {
      text.push_back(static_cast<char>(c));
    } else if ((c & 0xC0) != 0x80) {
      text.push_back('?');  // the first byte of a character; its continuation bytes add nothing
    }
  }
  return text;
}

std::string TextOfUnits(size_t units) {
  static const std::vector<std::string> kCycle = {"A", "é", "Ж", "語", " ", "z", "Ø", "航"};
  std::string text;
  for (size_t i = 0; i < units; ++i) text += kCycle[i % kCycle.size()];
  return text;
}

}  // namespace listing
