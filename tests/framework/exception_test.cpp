#include "framework/exception.h"

#include <gtest/gtest.h>

namespace {

int g_destroyed = 0;

class CountedError : public CException {
 public:
  using CException::CException;
  ~CountedError() override { ++g_destroyed; }
};

TEST(ExceptionLifetime, DeleteEndsAHeapError) {
  g_destroyed = 0;
  CException* e = new CountedError;
  EXPECT_EQ(e->m_bAutoDelete, TRUE);
  EXPECT_EQ(e->m_bDeleteRequested, FALSE);
  e->Delete();  // the sanitizer build reports a leak or a double release if this is wrong
  EXPECT_EQ(g_destroyed, 1);
}

TEST(ExceptionLifetime, DeleteLeavesAnErrorThatIsNotAutoDeleted) {
  g_destroyed = 0;
  CountedError onStack(FALSE);
  onStack.Delete();
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(onStack.m_bDeleteRequested, FALSE);
  onStack.m_bAutoDelete = -1;  // not positive either
  onStack.Delete();
  EXPECT_EQ(g_destroyed, 0);
}

// Made out of line so that the compiler's new/delete pairing check, which does not know
// destroying deletes, does not see both ends of the plain delete below.
[[gnu::noinline]] CException* MakeHeapError() { return new CountedError; }

TEST(ExceptionLifetime, PlainDeleteRunsTheDestructorButKeepsTheStorage) {
  g_destroyed = 0;
  CException* e = MakeHeapError();
  void* storage = e;
  delete e;
  EXPECT_EQ(g_destroyed, 1);
  // The storage is still allocated: releasing it here must be the one and only release.
  ::operator delete(storage);
}

TEST(ExceptionLifetime, ThrownByPointerAndCaughtAsBase) {
  g_destroyed = 0;
  try {
    throw new CountedError;
  } catch (CException* e) {
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS_OF(CException)));
    EXPECT_FALSE(e->IsKindOf(RUNTIME_CLASS_OF(CMemoryException)));
    e->Delete();
  }
  EXPECT_EQ(g_destroyed, 1);
}

TEST(FrameworkErrors, MemoryErrorNeedsNoMemoryAndSurvivesDelete) {
  for (int i = 0; i < 2; ++i) {
    try {
      ThrowMemoryException();
    } catch (CException* e) {
      EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS_OF(CMemoryException)));
      EXPECT_EQ(e->m_bAutoDelete, FALSE);
      e->Delete();
    }
  }
}

TEST(FrameworkErrors, InvalidArgumentIsAHeapError) {
  try {
    ThrowInvalidArgException();
  } catch (CException* e) {
    EXPECT_STREQ(e->GetRuntimeClass()->m_lpszClassName, "CInvalidArgException");
    EXPECT_EQ(e->GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS_OF(CException));
    EXPECT_EQ(e->m_bAutoDelete, TRUE);
    e->Delete();
  }
}

TEST(FrameworkErrors, BaseMessageTextIsEmptyAndFalse) {
  CMemoryException e(FALSE);
  char16_t buffer[8] = {u'x', u'x'};
  UINT help = 99;
  EXPECT_FALSE(e.GetMessageText(buffer, 8, &help));
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(help, 0u);
  EXPECT_FALSE(e.GetMessageText(nullptr, 8, nullptr));
  buffer[0] = u'x';
  EXPECT_FALSE(e.GetMessageText(buffer, 0, nullptr));
  EXPECT_EQ(buffer[0], u'x');  // no room: nothing written
}

}  // namespace
