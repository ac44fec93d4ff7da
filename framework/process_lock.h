// Process-wide locks and once-only process records.
#pragma once

#include <atomic>
#include <mutex>
#include <new>

// The process-wide recursive locks, each created on first use.
enum class ProcessLockId {
  Database,   // the shared ODBC environment, its count and every connection's recordset list
  Creation,   // the one-time creation of process-wide records
};

std::recursive_mutex& ProcessLock(ProcessLockId id);

// Holds a process-wide lock for a scope; Unlock() releases it early.
class ProcessLockGuard {
 public:
  explicit ProcessLockGuard(ProcessLockId id) : m_mutex(ProcessLock(id)) { m_mutex.lock(); }
  ~ProcessLockGuard() { Unlock(); }
  void Unlock() {
    if (m_locked) {
      m_locked = false;
      m_mutex.unlock();
    }
  }
  ProcessLockGuard(const ProcessLockGuard&) = delete;
  ProcessLockGuard& operator=(const ProcessLockGuard&) = delete;

 private:
  std::recursive_mutex& m_mutex;
  bool m_locked = true;
};

// One zero-filled record of type T per process, created on first use under the creation lock.
// Readers that find it created take no lock. The record is never destroyed: it lives until the
// process ends, and whatever it refers to then is left as it is.
template <class T>
class ProcessRecord {
 public:
  static T& Get() {
    T* record = s_record.load(std::memory_order_acquire);
    if (record == nullptr) {
      std::lock_guard<std::recursive_mutex> lock(ProcessLock(ProcessLockId::Creation));
      record = s_record.load(std::memory_order_relaxed);
      if (record == nullptr) {
        record = new (&s_storage) T{};
        s_record.store(record, std::memory_order_release);
        ++s_creations;
      }
    }
    return *record;
  }
  static bool Exists() { return s_record.load(std::memory_order_acquire) != nullptr; }
  // Where the record is made, before and after its creation; the creation fills it whole.
  static void* Storage() { return s_storage; }
  static int Creations() { return s_creations; }

 private:
  alignas(T) static inline unsigned char s_storage[sizeof(T)];
  static inline std::atomic<T*> s_record{nullptr};
  static inline int s_creations = 0;
};
