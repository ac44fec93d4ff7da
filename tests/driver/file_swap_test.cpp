// The database file is opened once: what is checked is what is read. This program defines
// open() itself (the driver's calls reach it before the C library's), and right after the
// driver opens the database it puts a FIFO in the file's place, as another process could. A
// driver that opened the path a second time would wait on that FIFO for a writer; it must
// read on through the descriptor it checked. Paths that name a FIFO or a device from the start
// are refused at once.
#include "driver_fixture.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <future>
#include <mutex>

namespace {

std::mutex swapMutex;
std::string watchedPath;      // the database, as the driver names it
std::string replacementPath;  // a FIFO, renamed over the database after its first opening
std::atomic<int> openings{0};

void AfterOpen(const char* path) {
  if (path == nullptr) return;
  std::lock_guard<std::mutex> lock(swapMutex);
  if (watchedPath.empty() || watchedPath != path) return;
  ++openings;
  if (!replacementPath.empty()) {
    ::rename(replacementPath.c_str(), watchedPath.c_str());
    replacementPath.clear();
  }
}

using OpenFunction = int (*)(const char*, int, ...);

int OpenThrough(const char* name, const char* path, int flags, va_list arguments) {
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) mode = va_arg(arguments, mode_t);
  auto real = reinterpret_cast<OpenFunction>(::dlsym(RTLD_NEXT, name));
  int fd = real(path, flags, mode);
  AfterOpen(path);
  return fd;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int fd = OpenThrough("open", path, flags, arguments);
  va_end(arguments);
  return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int fd = OpenThrough("open64", path, flags, arguments);
  va_end(arguments);
  return fd;
}

namespace drivertest {
namespace {

class FileSwapTest : public BrandDatabaseTest {
 protected:
  void TearDown() override {
    std::lock_guard<std::mutex> lock(swapMutex);
    watchedPath.clear();
    replacementPath.clear();
  }
  // Connects with DBQ=`path` on a thread; if it has not answered in 10 s, a writer opens and
  // closes the FIFO at `path` so that a reader blocked on it gets its end of file.
  SQLRETURN ConnectWithin10Seconds(const std::string& path, std::string& blocked) {
    OdbcSession session(false, true);
    auto connected = std::async(std::launch::async, [&] {
      return session.Connect("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=" + path);
    });
    if (connected.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
      blocked = "the connect waited on the FIFO";
      int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
    }
    SQLRETURN rc = connected.get();
    if (SQL_SUCCEEDED(rc)) {
      SQLHSTMT stmt = session.AllocStmt();
      std::string text = "SELECT COUNT(*) FROM avion";
      if (SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS) != SQL_SUCCESS ||
          SQLFetch(stmt) != SQL_SUCCESS || ReadNarrow(stmt, 1) != "10") {
        blocked += " (and the file did not read as the database)";
      }
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    return rc;
  }
};

TEST_F(FileSwapTest, AFifoPutInTheFilesPlaceAfterItsOpeningChangesNothing) {
  const std::string fifo = folder.root() + "/swap.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  {
    std::lock_guard<std::mutex> lock(swapMutex);
    watchedPath = folder.database();
    replacementPath = fifo;
  }
  openings = 0;
  std::string blocked;
  EXPECT_EQ(ConnectWithin10Seconds(folder.database(), blocked), SQL_SUCCESS);
  EXPECT_EQ(blocked, "");
  EXPECT_EQ(openings.load(), 1) << "the driver opened the database path more than once";
  struct stat info {};
  ASSERT_EQ(::stat(folder.database().c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the swap did not happen: the test proves nothing";
}

TEST_F(FileSwapTest, FifosAndDevicesAreRefusedWithoutWaiting) {
  const std::string fifo = folder.root() + "/plain.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
    std::string blocked;
    EXPECT_EQ(ConnectWithin10Seconds(path, blocked), SQL_ERROR) << path;
    EXPECT_EQ(blocked, "") << path;
  }
}

}  // namespace
}  // namespace drivertest
