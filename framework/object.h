// CObject: the root of the framework's classes, with run-time class records, the validity
// check and the diagnostic dump.
#pragma once

#include "framework/types.h"

class CObject;
class CArchive;  // Serialization exists only as an empty hook; no archive class is built.
class CDumpContext;

// Run-time class record: the class name, its size, its base, and how (whether) it can be
// created by name or read from an archive.
struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;                      // 0xFFFF: not serialisable
  CObject* (*m_pfnCreateObject)();     // null: cannot be created by name
  const CRuntimeClass* m_pBaseClass;   // null for the root

  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

// Declares the run-time class record of a class and its run-time class query.
#define DRAVON_DECLARE_CLASS(ClassName)                 \
 public:                                                \
  static const CRuntimeClass class##ClassName;          \
  const CRuntimeClass* GetRuntimeClass() const override;

// Defines them, for a class that can be neither created by name nor serialised.
#define DRAVON_IMPLEMENT_CLASS(ClassName, BaseName)                                      \
  const CRuntimeClass ClassName::class##ClassName = {                                    \
      #ClassName, static_cast<int>(sizeof(ClassName)), 0xFFFF, nullptr,                  \
      &BaseName::class##BaseName};                                                       \
  const CRuntimeClass* ClassName::GetRuntimeClass() const { return &class##ClassName; }

#define RUNTIME_CLASS_OF(ClassName) (&ClassName::class##ClassName)

class CObject {
 public:
  static const CRuntimeClass classCObject;

  // The virtual operations, in this order: run-time class query, destructor, serialization,
  // validity check, diagnostic dump.
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  virtual void Serialize(CArchive& archive);
  virtual void AssertValid() const;
  virtual void Dump(CDumpContext& dc) const;

  BOOL IsKindOf(const CRuntimeClass* runtimeClass) const;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};
