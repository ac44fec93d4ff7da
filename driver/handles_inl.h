// Template part of handles.h.
#pragma once

#include <mutex>
#include <new>
#include <stdexcept>

namespace mdbodbc {

template <typename T, typename Body>
SQLRETURN WithHandle(void* handle, HandleKind kind, Body&& body) {
  std::lock_guard<std::recursive_mutex> lock(LibraryMutex());
  T* h = AsHandle<T>(handle, kind);
  if (h == nullptr) return SQL_INVALID_HANDLE;
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
  }
  h->diag.returnCode = rc;
  return rc;
}

}  // namespace mdbodbc
