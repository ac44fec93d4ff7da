// Captures every trace written while it lives, with its category and level.
#pragma once

#include <string>
#include <vector>

#include "framework/trace.h"

class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  const std::vector<TraceRecord>& Records() const { return m_records; }
  // The texts written on one category, in order.
  std::vector<std::string> Texts(TraceCategory category = TraceCategory::Database) const;
  // All texts of one category run together.
  std::string Joined(TraceCategory category = TraceCategory::Database) const;
  void Clear() { m_records.clear(); }

 private:
  std::vector<TraceRecord> m_records;
  TraceSink m_previous;
};
