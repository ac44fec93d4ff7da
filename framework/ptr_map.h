// CMapPtrToPtr: a map from pointers to pointers. The block size is kept for reference.
#pragma once

#include <unordered_map>

class CMapPtrToPtr {
 public:
  explicit CMapPtrToPtr(int blockSize = 10) : m_nBlockSize(blockSize) {}

  int GetCount() const { return static_cast<int>(m_map.size()); }
  bool IsEmpty() const { return m_map.empty(); }
  int GetBlockSize() const { return m_nBlockSize; }
  void SetAt(void* key, void* value) { m_map[key] = value; }
  bool Lookup(void* key, void*& value) const {
    auto it = m_map.find(key);
    if (it == m_map.end()) return false;
    value = it->second;
    return true;
  }
  bool RemoveKey(void* key) { return m_map.erase(key) != 0; }
  void RemoveAll() { m_map.clear(); }

 private:
  std::unordered_map<void*, void*> m_map;
  int m_nBlockSize;
};
