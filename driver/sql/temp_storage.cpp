#include "temp_storage.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace mdbodbc::sql {

struct TempStorage::State {
  sqlite3_vfs vfs{};
  sqlite3_vfs* base = nullptr;  // the process's default file system: clock and randomness
  std::string name;
  std::size_t limit = 0;
  std::atomic<std::size_t> used{0};
  std::atomic<std::size_t> peak{0};

  bool Charge(std::size_t bytes) {
    std::size_t now = used.load(std::memory_order_relaxed);
    do {
      if (bytes > limit || now > limit - bytes) return false;
    } while (!used.compare_exchange_weak(now, now + bytes, std::memory_order_relaxed));
    std::size_t top = peak.load(std::memory_order_relaxed);
    while (now + bytes > top && !peak.compare_exchange_weak(top, now + bytes, std::memory_order_relaxed)) {
    }
    return true;
  }
  void Release(std::size_t bytes) { used.fetch_sub(bytes, std::memory_order_relaxed); }
};

namespace {

using State = TempStorage::State;

constexpr std::size_t kChunk = 64 * 1024;

// A temporary file: its bytes in chunks, so that growing never copies what is written.
struct Content {
  std::vector<std::unique_ptr<char[]>> chunks;
  sqlite3_int64 size = 0;
};

struct MemoryFile {
  sqlite3_file base;  // first: SQLite hands this pointer back to every method
  State* state;
  Content* content;
};

MemoryFile* AsFile(sqlite3_file* file) { return reinterpret_cast<MemoryFile*>(file); }

void DropChunksFrom(MemoryFile* file, std::size_t keep) {
  Content& c = *file->content;
  if (c.chunks.size() <= keep) return;
  file->state->Release((c.chunks.size() - keep) * kChunk);
  c.chunks.resize(keep);
}

int Close(sqlite3_file* base) {
  MemoryFile* file = AsFile(base);
  DropChunksFrom(file, 0);
  delete file->content;
  file->content = nullptr;
  return SQLITE_OK;
}

int Read(sqlite3_file* base, void* out, int amount, sqlite3_int64 offset) {
  const Content& c = *AsFile(base)->content;
  auto* to = static_cast<char*>(out);
  if (amount < 0 || offset < 0) return SQLITE_IOERR_READ;
  sqlite3_int64 available = std::max<sqlite3_int64>(0, std::min<sqlite3_int64>(amount, c.size - offset));
  for (sqlite3_int64 done = 0; done < available;) {
    auto at = static_cast<std::size_t>(offset + done);
    std::size_t within = at % kChunk;
    std::size_t n = std::min<std::size_t>(kChunk - within, static_cast<std::size_t>(available - done));
    std::memcpy(to + done, c.chunks[at / kChunk].get() + within, n);
    done += static_cast<sqlite3_int64>(n);
  }
  if (available < amount) {
    std::memset(to + available, 0, static_cast<std::size_t>(amount - available));
    return SQLITE_IOERR_SHORT_READ;
  }
  return SQLITE_OK;
}

int Write(sqlite3_file* base, const void* data, int amount, sqlite3_int64 offset) {
  MemoryFile* file = AsFile(base);
  Content& c = *file->content;
  if (amount < 0 || offset < 0) return SQLITE_IOERR_WRITE;
  auto end = static_cast<std::size_t>(offset) + static_cast<std::size_t>(amount);
  std::size_t needed = (end + kChunk - 1) / kChunk;
  while (c.chunks.size() < needed) {
    if (!file->state->Charge(kChunk)) return SQLITE_FULL;
    std::unique_ptr<char[]> chunk(new (std::nothrow) char[kChunk]);
    if (!chunk) {
      file->state->Release(kChunk);
      return SQLITE_NOMEM;
    }
    // A write past the end leaves a hole that reads as zeros.
    std::memset(chunk.get(), 0, kChunk);
    c.chunks.push_back(std::move(chunk));
  }
  const auto* from = static_cast<const char*>(data);
  for (std::size_t done = 0; done < static_cast<std::size_t>(amount);) {
    std::size_t at = static_cast<std::size_t>(offset) + done;
    std::size_t within = at % kChunk;
    std::size_t n = std::min(kChunk - within, static_cast<std::size_t>(amount) - done);
    std::memcpy(c.chunks[at / kChunk].get() + within, from + done, n);
    done += n;
  }
  c.size = std::max<sqlite3_int64>(c.size, static_cast<sqlite3_int64>(end));
  return SQLITE_OK;
}

int Truncate(sqlite3_file* base, sqlite3_int64 size) {
  MemoryFile* file = AsFile(base);
  if (size < 0) return SQLITE_IOERR_TRUNCATE;
  if (size < file->content->size) {
    file->content->size = size;
    DropChunksFrom(file, (static_cast<std::size_t>(size) + kChunk - 1) / kChunk);
  }
  return SQLITE_OK;
}

int Sync(sqlite3_file*, int) { return SQLITE_OK; }

int FileSize(sqlite3_file* base, sqlite3_int64* size) {
  *size = AsFile(base)->content->size;
  return SQLITE_OK;
}

int Lock(sqlite3_file*, int) { return SQLITE_OK; }
int CheckReservedLock(sqlite3_file*, int* out) {
  *out = 0;
  return SQLITE_OK;
}
int FileControl(sqlite3_file*, int, void*) { return SQLITE_NOTFOUND; }
int SectorSize(sqlite3_file*) { return 512; }
int DeviceCharacteristics(sqlite3_file*) {
  return SQLITE_IOCAP_ATOMIC | SQLITE_IOCAP_SAFE_APPEND | SQLITE_IOCAP_SEQUENTIAL |
         SQLITE_IOCAP_POWERSAFE_OVERWRITE;
}

const sqlite3_io_methods kMethods = {
    1,    Close, Read, Write, Truncate, Sync, FileSize, Lock, Lock, CheckReservedLock, FileControl,
    SectorSize, DeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// Only nameless files open: SQLite's temporary files. Anything with a name would be a file on
// disk, which the engine never needs.
int Open(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* base, int, int* outFlags) {
  base->pMethods = nullptr;
  if (name != nullptr) return SQLITE_CANTOPEN;
  auto* content = new (std::nothrow) Content();
  if (content == nullptr) return SQLITE_NOMEM;
  auto* file = reinterpret_cast<MemoryFile*>(base);
  file->state = static_cast<State*>(vfs->pAppData);
  file->content = content;
  base->pMethods = &kMethods;
  if (outFlags != nullptr) *outFlags = SQLITE_OPEN_READWRITE;
  return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char*, int) { return SQLITE_OK; }

int Access(sqlite3_vfs*, const char*, int, int* out) {
  *out = 0;
  return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  if (size <= 0) return SQLITE_CANTOPEN;
  std::snprintf(out, static_cast<std::size_t>(size), "%s", name);
  return SQLITE_OK;
}

int Randomness(sqlite3_vfs* vfs, int bytes, char* out) {
  sqlite3_vfs* base = static_cast<State*>(vfs->pAppData)->base;
  return base->xRandomness(base, bytes, out);
}

int Sleep(sqlite3_vfs* vfs, int microseconds) {
  sqlite3_vfs* base = static_cast<State*>(vfs->pAppData)->base;
  return base->xSleep(base, microseconds);
}

int CurrentTime(sqlite3_vfs* vfs, double* now) {
  sqlite3_vfs* base = static_cast<State*>(vfs->pAppData)->base;
  return base->xCurrentTime(base, now);
}

int CurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now) {
  sqlite3_vfs* base = static_cast<State*>(vfs->pAppData)->base;
  if (base->iVersion >= 2 && base->xCurrentTimeInt64 != nullptr) return base->xCurrentTimeInt64(base, now);
  double days = 0;
  int rc = base->xCurrentTime(base, &days);
  *now = static_cast<sqlite3_int64>(days * 86400000.0);
  return rc;
}

int GetLastError(sqlite3_vfs*, int, char*) { return 0; }

}  // namespace

TempStorage::TempStorage(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<TempStorage> TempStorage::Create(std::size_t limitBytes, std::string& error) {
  if (sqlite3_initialize() != SQLITE_OK) {
    error = "the SQL engine cannot start";
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->base = sqlite3_vfs_find(nullptr);
  if (state->base == nullptr) {
    error = "the SQL engine has no file system to start from";
    return nullptr;
  }
  state->limit = limitBytes;
  char name[64];
  std::snprintf(name, sizeof name, "mdbodbc-temp-%p", static_cast<void*>(state.get()));
  state->name = name;
  sqlite3_vfs& v = state->vfs;
  v.iVersion = 2;
  v.szOsFile = static_cast<int>(sizeof(MemoryFile));
  v.mxPathname = 512;
  v.zName = state->name.c_str();
  v.pAppData = state.get();
  v.xOpen = Open;
  v.xDelete = Delete;
  v.xAccess = Access;
  v.xFullPathname = FullPathname;
  v.xRandomness = Randomness;
  v.xSleep = Sleep;
  v.xCurrentTime = CurrentTime;
  v.xGetLastError = GetLastError;
  v.xCurrentTimeInt64 = CurrentTimeInt64;
  if (sqlite3_vfs_register(&v, 0) != SQLITE_OK) {
    error = "the SQL engine refused its temporary storage";
    return nullptr;
  }
  return std::unique_ptr<TempStorage>(new TempStorage(std::move(state)));
}

TempStorage::~TempStorage() { sqlite3_vfs_unregister(&state_->vfs); }

const char* TempStorage::VfsName() const { return state_->name.c_str(); }
std::size_t TempStorage::LimitBytes() const { return state_->limit; }
std::size_t TempStorage::UsedBytes() const { return state_->used.load(std::memory_order_relaxed); }
std::size_t TempStorage::PeakBytes() const { return state_->peak.load(std::memory_order_relaxed); }

}  // namespace mdbodbc::sql
