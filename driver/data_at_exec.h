// Parameters whose values the application sends while the statement executes: bound with a
// length of SQL_DATA_AT_EXEC or SQL_LEN_DATA_AT_EXEC(n), then asked for one after the other by
// SQLParamData and sent, whole or in pieces, by SQLPutData. When the last one has arrived, the
// statement runs with them as if they had been in the bound buffers.
#pragma once

#include "odbc.h"

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace mdbodbc {

struct Statement;

// A value sent by SQLPutData.
struct SentValue {
  std::string bytes;  // the pieces one after the other, as the application's C type holds them
  bool null = false;
  bool sent = false;  // SQLPutData was called for it
};

class DataAtExec {
 public:
  // True between an execution that answered SQL_NEED_DATA and the end of its last SQLParamData.
  bool Active() const { return active_.load(std::memory_order_acquire); }
  // Forgets the execution in progress and every value sent for it.
  void Reset();

  // The parameters of the prepared statement that wait for their values; none when they have
  // values in their buffers. Read from the bound lengths, with the binding offset applied.
  static std::vector<SQLUSMALLINT> Waiting(const Statement& stmt);
  void Start(std::vector<SQLUSMALLINT> waiting);

  // The parameter the application sends next, after SQLParamData named it; 0 before that.
  SQLUSMALLINT Current() const { return current_ < waiting_.size() && asked_ ? waiting_[current_] : 0; }
  // Moves to the next waiting parameter; false when all have been asked for.
  bool Advance();
  SentValue& Value(SQLUSMALLINT parameter) { return values_[parameter]; }
  const std::map<SQLUSMALLINT, SentValue>& Values() const { return values_; }

 private:
  std::atomic<bool> active_{false};  // read by SQLCancel from any thread
  std::vector<SQLUSMALLINT> waiting_;
  std::size_t current_ = 0;
  bool asked_ = false;  // SQLParamData has named waiting_[current_]
  std::map<SQLUSMALLINT, SentValue> values_;
};

// SQLPutData on the current parameter: one more piece of its value.
SQLRETURN PutPiece(Statement& stmt, SQLPOINTER data, SQLLEN length);

// Runs `body` with the statement's parameters as they are at execution: the bound buffers of
// the ordinary ones (their binding offset applied), and the values sent for the others (NULL
// for one that was asked for and never sent).
SQLRETURN WithSentValues(Statement& stmt, const std::function<SQLRETURN()>& body);

}  // namespace mdbodbc
