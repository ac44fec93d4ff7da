#include "framework/exception.h"

#include "framework/message_box.h"

DRAVON_IMPLEMENT_CLASS(CException, CObject)
DRAVON_IMPLEMENT_CLASS(CMemoryException, CException)
DRAVON_IMPLEMENT_CLASS(CInvalidArgException, CException)

namespace {
constexpr UINT kGenericMessageId = 61472;
constexpr UINT kShowErrorBufferChars = 512;
}  // namespace

CException::CException() : m_bAutoDelete(TRUE), m_bDeleteRequested(FALSE) {}

CException::CException(BOOL autoDelete) : m_bAutoDelete(autoDelete), m_bDeleteRequested(FALSE) {}

CException::~CException() = default;

BOOL CException::GetMessageText(char16_t* buffer, UINT capacity, UINT* helpContext) {
  return static_cast<const CException*>(this)->GetMessageText(buffer, capacity, helpContext);
}

BOOL CException::GetMessageText(char16_t* buffer, UINT capacity, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  if (buffer && capacity != 0) buffer[0] = u'\0';
  return FALSE;
}

int CException::ShowError(UINT style, UINT messageId) {
  char16_t text[kShowErrorBufferChars];
  UINT helpContext = 0;
  if (GetMessageText(text, kShowErrorBufferChars, &helpContext)) {
    return ShowMessageBox(text, style, helpContext);
  }
  return ShowMessageBoxById(messageId != 0 ? messageId : kGenericMessageId, style, helpContext);
}

void CException::Delete() {
  if (m_bAutoDelete > 0) {
    m_bDeleteRequested = TRUE;
    delete this;
  }
}

void CException::operator delete(CException* p, std::destroying_delete_t) {
  const bool release = p->m_bDeleteRequested && p->m_bAutoDelete > 0;
  p->~CException();
  if (release) ::operator delete(static_cast<void*>(p));
}

CMemoryException::CMemoryException() = default;
CMemoryException::CMemoryException(BOOL autoDelete) : CException(autoDelete) {}
CMemoryException::~CMemoryException() = default;

CInvalidArgException::CInvalidArgException() = default;
CInvalidArgException::~CInvalidArgException() = default;

void ThrowMemoryException() {
  static CMemoryException processMemoryError(FALSE);
  throw &processMemoryError;
}

void ThrowInvalidArgException() { throw new CInvalidArgException; }
