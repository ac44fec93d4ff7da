// CPtrList: an ordered list of untyped pointers.
//
// Positions stay valid while other elements are added or removed. The node block size is kept
// for reference; nodes are allocated one by one.
#pragma once

#include <list>

#include "framework/exception.h"

class CPtrList {
 public:
  using POSITION = std::list<void*>::iterator;

  explicit CPtrList(int blockSize = 10) : m_nBlockSize(blockSize) {}

  bool IsEmpty() const { return m_list.empty(); }
  int GetCount() const { return static_cast<int>(m_list.size()); }
  int GetBlockSize() const { return m_nBlockSize; }

  // Adds at the head; raises the framework's memory error when no node can be allocated.
  POSITION AddHead(void* item) {
    try {
      m_list.push_front(item);
    } catch (const std::bad_alloc&) {
      ThrowMemoryException();
    }
    return m_list.begin();
  }
  void* GetHead() const { return m_list.front(); }
  void* RemoveHead() {
    void* item = m_list.front();
    m_list.pop_front();
    return item;
  }

  // The position of the first element equal to `item`, searching from the head; End() when
  // it is not there.
  POSITION Find(void* item) {
    for (auto it = m_list.begin(); it != m_list.end(); ++it) {
      if (*it == item) return it;
    }
    return m_list.end();
  }
  POSITION End() { return m_list.end(); }
  void RemoveAt(POSITION position) { m_list.erase(position); }
  void RemoveAll() { m_list.clear(); }

  std::list<void*>::const_iterator begin() const { return m_list.begin(); }
  std::list<void*>::const_iterator end() const { return m_list.end(); }

 private:
  std::list<void*> m_list;
  int m_nBlockSize;
};
