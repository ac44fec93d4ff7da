// Lengths no text can hold: a long value announced at 0x7FFFFFFF characters, or a column
// described larger than a text, raise the framework's memory error before anything of that
// size is asked of the allocator.
#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"
#include "tests/db/support/table_cases.h"

namespace {

// The allocator of this test program remembers the largest request made while it watches,
// and refuses anything of a gigabyte or more, so that a read that tries to allocate an
// announced length fails at once instead of filling the machine's memory.
std::atomic<bool> g_watching{false};
std::atomic<std::size_t> g_largestRequest{0};
constexpr std::size_t kRefusedSize = std::size_t{1} << 30;

class AllocationWatch {
 public:
  AllocationWatch() {
    g_largestRequest = 0;
    g_watching = true;
  }
  ~AllocationWatch() { g_watching = false; }
  static std::size_t Largest() { return g_largestRequest; }
};

}  // namespace

// The replacement pair allocates with malloc and releases with free, which the compiler
// cannot see through once it inlines them into their callers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (g_watching.load(std::memory_order_relaxed)) {
    std::size_t largest = g_largestRequest.load();
    while (size > largest && !g_largestRequest.compare_exchange_weak(largest, size)) {
    }
  }
  if (size >= kRefusedSize) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

#pragma GCC diagnostic pop

namespace {

constexpr std::size_t kSmallRequest = std::size_t{1} << 20;

// Reads the first field into `value` while the allocator watches; AllocationWatch::Largest()
// keeps the largest request of the read until the next watch.
Raised ReadWatched(CRecordset& rs, CString& value) {
  AllocationWatch watch;
  return RunCatching([&] { rs.GetFieldValue(0, value); });
}

TEST_F(FieldReadTest, ALongValueAnnouncedAt0x7FFFFFFFCharactersIsAMemoryError) {
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0x7FFFFFFF), {u"short"}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQLLEN{0x7FFFFFFF} * 2));
  CString value;
  EXPECT_EQ(ReadWatched(rs, value).kind, Raised::Memory);
  EXPECT_LT(AllocationWatch::Largest(), kSmallRequest);
  // Only the first read went to the driver.
  EXPECT_EQ(CountCalls("SQLGetData"), 1);
  // The record of its expected truncation was read, and nothing is traced.
  EXPECT_THAT(traces.Texts(), IsEmpty());
  EXPECT_EQ(rs.m_lOpen, 1);
}

TEST_F(FieldReadTest, TheLongestTextAnnouncedIsStillAskedOfTheAllocator) {
  // 0x7FFFFFFE characters is the last length a text holds: the read tries to grow the text
  // to it, which this program's allocator refuses, and that is a memory error too.
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0x7FFFFFFF), {u"short"}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQLLEN{0x7FFFFFFE} * 2));
  CString value;
  EXPECT_EQ(ReadWatched(rs, value).kind, Raised::Memory);
  EXPECT_GE(AllocationWatch::Largest(), std::size_t{0x7FFFFFFF} * 2);
  EXPECT_EQ(CountCalls("SQLGetData"), 1);
}

using FieldHugeColumn = CasesOf<FieldReadTest, SQLULEN>;

TEST_P(FieldHugeColumn, GetsNoBufferAndMakesNoCall) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(Column{u"marque", SQL_WVARCHAR, GetParam()}, {u"Airbus"}));
  CString value(u"kept");
  EXPECT_EQ(ReadWatched(rs, value).kind, Raised::Memory);
  EXPECT_LT(AllocationWatch::Largest(), kSmallRequest);
  EXPECT_EQ(CountCalls("SQLGetData"), 0);
  EXPECT_EQ(value.ToUtf8(), "kept");
}

// Column sizes whose buffer (size and terminator) is beyond the longest text.
INSTANTIATE_TEST_SUITE_P(Sizes, FieldHugeColumn,
                         ::testing::Values<SQLULEN>(0x7FFFFFFE, 0x7FFFFFFF, 0xFFFFFFFF));

}  // namespace
