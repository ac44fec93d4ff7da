// A fresh private folder for one test's files under the system's temporary folder (TMPDIR),
// removed with everything in it afterwards, and the reading and writing of whole files.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class TempFolder {
 public:
  // The folder's name starts with `prefix`, which says whose it is when one is left behind.
  explicit TempFolder(const std::string& prefix = "dravon-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return m_path; }
  // The path of `name` inside the folder.
  std::string Path(const std::string& name) const { return m_path + "/" + name; }
  // Names of the entries in the folder, hidden ones included, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string m_path;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces the content of a file; throws std::runtime_error when it cannot be written.
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testsupport
