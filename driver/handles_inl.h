// Template part of handles.h.
#pragma once

#include <mutex>
#include <new>
#include <stdexcept>

namespace mdbodbc {

// Marks a statement busy for the length of a call, so that SQLCancel can reach what it runs;
// a stop requested before the call or after it is dropped.
class BusyStatement {
 public:
  explicit BusyStatement(Handle& handle)
      : statement_(handle.kind == HandleKind::Statement ? static_cast<Statement*>(&handle) : nullptr) {
    if (statement_ == nullptr) return;
    statement_->control.cancel.store(false, std::memory_order_relaxed);
    statement_->busy.fetch_add(1, std::memory_order_acq_rel);
  }
  ~BusyStatement() {
    if (statement_ == nullptr) return;
    statement_->busy.fetch_sub(1, std::memory_order_acq_rel);
    statement_->control.cancel.store(false, std::memory_order_relaxed);
  }
  BusyStatement(const BusyStatement&) = delete;
  BusyStatement& operator=(const BusyStatement&) = delete;

 private:
  Statement* statement_;
};

template <typename T, typename Body>
SQLRETURN WithHandle(void* handle, HandleKind kind, Body&& body) {
  T* h = AsHandle<T>(handle, kind);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  std::lock_guard<std::recursive_mutex> lock(HandleMutex(*h));
  BusyStatement busy(*h);
  h->diag.Clear();
  SQLRETURN rc = SQL_ERROR;
  try {
    rc = body(*h);
  } catch (const std::bad_alloc&) {
    h->diag.Add("HY001", "memory allocation failure");
    rc = SQL_ERROR;
  } catch (const std::exception& e) {
    h->diag.Add("HY000", e.what());
    rc = SQL_ERROR;
  } catch (...) {
    // Nothing may leave an entry point: the host would be stopped.
    h->diag.Add("HY000", "internal error of unknown kind");
    rc = SQL_ERROR;
  }
  h->diag.returnCode = rc;
  return rc;
}

}  // namespace mdbodbc
