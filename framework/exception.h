// CException and the framework's own errors.
//
// Errors are thrown by pointer to a heap object and belong to the code that catches them,
// which ends them with Delete(). CException's storage is released only through Delete(): the
// class has a destroying operator delete that runs the destructor and frees the storage only
// when the object asked for it (m_bDeleteRequested) and lives on the heap (m_bAutoDelete).
#pragma once

#include <new>

#include "framework/message_box.h"
#include "framework/object.h"

class CException : public CObject {
  DRAVON_DECLARE_CLASS(CException)

 public:
  // Positive: the object lives on the heap and may end its life through Delete().
  BOOL m_bAutoDelete;
  // Set by Delete() just before the object deletes itself.
  BOOL m_bDeleteRequested;

  CException();
  explicit CException(BOOL autoDelete);
  ~CException() override = 0;

  // Form for a modifiable object: forwards to the read-only form.
  virtual BOOL GetMessageText(char16_t* buffer, UINT capacity, UINT* helpContext = nullptr);
  // Read-only form. The base writes an empty text (when a buffer with room is given), sets the
  // help context to 0 and returns FALSE.
  virtual BOOL GetMessageText(char16_t* buffer, UINT capacity,
                              UINT* helpContext = nullptr) const;
  // Shows the message text in a message box and returns the box's result.
  virtual int ShowError(UINT style = MB_OK, UINT messageId = 0);

  // Ends the life of a heap error object; does nothing when m_bAutoDelete is not positive.
  void Delete();

  void operator delete(CException* p, std::destroying_delete_t);
};

// Out of memory, or no ODBC environment.
class CMemoryException : public CException {
  DRAVON_DECLARE_CLASS(CMemoryException)

 public:
  CMemoryException();
  explicit CMemoryException(BOOL autoDelete);
  ~CMemoryException() override;
};

// An argument or member that must not be null, or a refused request.
class CInvalidArgException : public CException {
  DRAVON_DECLARE_CLASS(CInvalidArgException)

 public:
  CInvalidArgException();
  ~CInvalidArgException() override;
};

// Raise the framework's errors. The memory error is a process-wide object that Delete() leaves
// alone, so raising it needs no memory.
[[noreturn]] void ThrowMemoryException();
[[noreturn]] void ThrowInvalidArgException();
