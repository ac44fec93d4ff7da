// The damaged files users reported, rebuilt from their descriptions on writer-made files: one
// list for every test that reads them (the reader's, the driver's hosts, the writer's checks).
// Each file's table is "avion", so that every host reads it with the same statement.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ReportedFile {
  std::string name;
  std::string bytes;
  // What the reader gives: "open: <error>" when the file does not open, otherwise the last row
  // of its last table as the Jet tests write it ("text:Airbus", "scan error: ...").
  std::string reads;
  // A part of that every host must show.
  std::string shown;
};

std::vector<ReportedFile> ReportedFiles();

}  // namespace testsupport
