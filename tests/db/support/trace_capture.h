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
  // The first and the last database text; empty when there is none.
  std::string First() const { return Texts().empty() ? "" : Texts().front(); }
  std::string Last() const { return Texts().empty() ? "" : Texts().back(); }
  // All texts of one category run together.
  std::string Joined(TraceCategory category = TraceCategory::Database) const;
  void Clear() { m_records.clear(); }

 private:
  std::vector<TraceRecord> m_records;
  TraceSink m_previous;
};
