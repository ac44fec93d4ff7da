// A fresh folder for one test's files, removed with everything in it afterwards.
#pragma once

#include <string>
#include <vector>

namespace mkmdb_test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the folder, hidden ones included, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace mkmdb_test
