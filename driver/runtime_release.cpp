// With the C++ runtime linked into the driver, the runtime's start-up reserves memory for
// exceptions thrown when the heap is exhausted, and nothing frees it: a driver manager that
// unloads the driver and loads it again would lose that reserve each time. The driver hands it
// back as it is unloaded. A shared runtime belongs to the whole process and is left alone.
#ifdef DRAVON_STATIC_CXX_RUNTIME
namespace __gnu_cxx {
void __freeres();
}

namespace {
[[gnu::destructor]] void ReleaseRuntimeReserve() { __gnu_cxx::__freeres(); }
}  // namespace
#endif
