#include "data_at_exec.h"

#include "convert.h"
#include "handles.h"

#include <cstring>

namespace mdbodbc {
namespace {

// The most one parameter takes in pieces: the largest value a Memo or OLE field holds.
constexpr std::size_t kMaxSentBytes = std::size_t{1} << 30;
// Zero bytes after a sent value, so that reading it as any fixed-size C type stays inside.
constexpr std::size_t kPadding = 64;

bool AtExecution(const SQLLEN* length) {
  return length != nullptr && (*length == SQL_DATA_AT_EXEC || *length <= SQL_LEN_DATA_AT_EXEC_OFFSET);
}

template <typename T>
T* Offset(T* pointer, const SQLLEN* offset) {
  if (pointer == nullptr || offset == nullptr) return pointer;
  return reinterpret_cast<T*>(reinterpret_cast<char*>(pointer) + *offset);
}

// The bytes of a text that ends at its terminator.
std::size_t TerminatedLength(const void* data, SQLSMALLINT cType) {
  if (cType != SQL_C_WCHAR) return std::strlen(static_cast<const char*>(data));
  const auto* units = static_cast<const char16_t*>(data);
  std::size_t n = 0;
  while (units[n] != 0) ++n;
  return n * sizeof(char16_t);
}

}  // namespace

void DataAtExec::Reset() {
  active_.store(false, std::memory_order_release);
  waiting_.clear();
  current_ = 0;
  asked_ = false;
  values_.clear();
}

std::vector<SQLUSMALLINT> DataAtExec::Waiting(const Statement& stmt) {
  std::vector<SQLUSMALLINT> waiting;
  if (!stmt.query) return waiting;
  const int count = stmt.query->ParameterCount();
  for (const auto& [number, b] : stmt.parameters) {
    if (number > count) break;
    const SQLLEN* indicator = Offset(b.indicator, stmt.options.paramBindOffset);
    const SQLLEN* length = Offset(b.octetLength, stmt.options.paramBindOffset);
    if (indicator != nullptr && *indicator == SQL_NULL_DATA) continue;
    if (AtExecution(indicator) || AtExecution(length)) waiting.push_back(number);
  }
  return waiting;
}

void DataAtExec::Start(std::vector<SQLUSMALLINT> waiting) {
  Reset();
  waiting_ = std::move(waiting);
  active_.store(true, std::memory_order_release);
}

bool DataAtExec::Advance() {
  if (asked_) ++current_;
  asked_ = current_ < waiting_.size();
  return asked_;
}

SQLRETURN PutPiece(Statement& stmt, SQLPOINTER data, SQLLEN length) {
  DataAtExec& state = stmt.dataAtExec;
  const SQLUSMALLINT number = state.Current();
  if (!state.Active() || number == 0) {
    return Fail(stmt, "HY010", "function sequence error: no parameter waits for data");
  }
  const SQLSMALLINT cType = stmt.parameters.at(number).cType;
  SentValue& value = state.Value(number);
  if (length == SQL_NULL_DATA || value.null) {
    if (value.sent) return Fail(stmt, "HY020", "attempt to concatenate a null value");
    value.null = value.sent = true;
    return SQL_SUCCESS;
  }
  std::size_t bytes = 0;
  const SQLLEN fixed = FixedSize(cType);
  if (fixed > 0) {
    if (value.sent) return Fail(stmt, "HY019", "non-character and non-binary data sent in pieces");
    bytes = static_cast<std::size_t>(fixed);
  } else if (length == SQL_NTS) {
    if (cType == SQL_C_BINARY) {
      return Fail(stmt, "HY090", "invalid string or buffer length: binary data has no terminator");
    }
    if (data == nullptr) return Fail(stmt, "HY009", "invalid use of null pointer");
    bytes = TerminatedLength(data, cType);
  } else if (length < 0) {
    return Fail(stmt, "HY090", "invalid string or buffer length");
  } else {
    bytes = static_cast<std::size_t>(length);
  }
  if (bytes > 0 && data == nullptr) return Fail(stmt, "HY009", "invalid use of null pointer");
  if (bytes > kMaxSentBytes - value.bytes.size()) {
    return Fail(stmt, "HY001", "parameter " + std::to_string(number) + ": more than 1 GB of data was sent");
  }
  value.bytes.append(static_cast<const char*>(data), bytes);
  value.sent = true;
  return SQL_SUCCESS;
}

SQLRETURN WithSentValues(Statement& stmt, const std::function<SQLRETURN()>& body) {
  const SQLLEN* offset = stmt.options.paramBindOffset;
  std::map<SQLUSMALLINT, Binding> resolved;
  std::map<SQLUSMALLINT, std::string> storage;  // node-based: addresses stay put
  std::map<SQLUSMALLINT, SQLLEN> lengths;
  for (const auto& [number, bound] : stmt.parameters) {
    Binding b = bound;
    auto sent = stmt.dataAtExec.Values().find(number);
    const bool waited = sent != stmt.dataAtExec.Values().end() ||
                        AtExecution(Offset(bound.indicator, offset)) || AtExecution(Offset(bound.octetLength, offset));
    if (waited) {
      std::string& bytes = storage[number];
      SQLLEN& length = lengths[number];
      if (sent != stmt.dataAtExec.Values().end() && !sent->second.null) {
        bytes = sent->second.bytes;
        length = static_cast<SQLLEN>(bytes.size());
      } else {
        length = SQL_NULL_DATA;
      }
      bytes.append(kPadding, '\0');
      b.target = bytes.data();
      b.indicator = &length;
      b.octetLength = nullptr;
    } else {
      b.target = Offset(static_cast<char*>(bound.target), offset);
      b.indicator = Offset(bound.indicator, offset);
      b.octetLength = Offset(bound.octetLength, offset);
    }
    resolved.emplace(number, b);
  }
  // The statement's own bindings and offset come back however the body ends.
  struct Restore {
    Statement& stmt;
    std::map<SQLUSMALLINT, Binding>& saved;
    SQLLEN* offset;
    ~Restore() {
      stmt.parameters.swap(saved);
      stmt.options.paramBindOffset = offset;
    }
  } restore{stmt, resolved, stmt.options.paramBindOffset};
  stmt.parameters.swap(resolved);
  stmt.options.paramBindOffset = nullptr;
  return body();
}

}  // namespace mdbodbc
