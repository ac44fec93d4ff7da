#include "app/failure_report.h"

#include "db/db_exception.h"

namespace {

std::string ReasonOf(const CException* error) {
  if (const auto* db = dynamic_cast<const CDBException*>(error)) {
    std::string text = db->m_strErrorText.ToCodePage();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    // One record per line in the error text; the report keeps them on one line.
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
      text.replace(at, 1, " / ");
    }
    if (text.empty()) text = "return code " + std::to_string(db->m_nReturnCode);
    return text;
  }
  if (dynamic_cast<const CMemoryException*>(error)) return "out of memory (CMemoryException)";
  if (dynamic_cast<const CInvalidArgException*>(error)) {
    return "invalid argument (CInvalidArgException)";
  }
  return std::string("unexpected error (") + error->GetRuntimeClass()->m_lpszClassName + ")";
}

}  // namespace

std::string DescribeFailure(const char* what, const CException* error) {
  return std::string("brand-listing: ") + what + ": " + ReasonOf(error);
}

std::string DescribeFailure(const char* what, const std::exception& error) {
  return std::string("brand-listing: ") + what + ": unexpected error (" + error.what() + ")";
}
