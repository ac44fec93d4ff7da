#include "tests/db/support/trace_capture.h"

TraceCapture::TraceCapture() {
  m_previous = SetTraceSink([this](const TraceRecord& record) { m_records.push_back(record); });
}

TraceCapture::~TraceCapture() { SetTraceSink(std::move(m_previous)); }

std::vector<std::string> TraceCapture::Texts(TraceCategory category) const {
  std::vector<std::string> texts;
  for (const TraceRecord& r : m_records) {
    if (r.category == category) texts.push_back(r.text);
  }
  return texts;
}

std::string TraceCapture::Joined(TraceCategory category) const {
  std::string all;
  for (const std::string& text : Texts(category)) all += text;
  return all;
}
