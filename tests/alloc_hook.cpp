// Replaces the global allocation functions of the test program so a test can
// make a nothrow allocation fail. Every form goes through malloc and free, so
// allocation and release always match, also under AddressSanitizer.
#include <cstdlib>
#include <new>

#include "harness.h"

namespace {
int g_nothrowUntilFailure = -1;

void* allocate(std::size_t n) { return std::malloc(n ? n : 1); }

void* allocateOrThrow(std::size_t n) {
  if (void* p = allocate(n)) return p;
  throw std::bad_alloc();
}

void* allocateNothrow(std::size_t n) {
  if (g_nothrowUntilFailure == 0) {
    g_nothrowUntilFailure = -1;
    return nullptr;
  }
  if (g_nothrowUntilFailure > 0) --g_nothrowUntilFailure;
  return allocate(n);
}
}  // namespace

void failNothrowAllocationAfter(int skip) { g_nothrowUntilFailure = skip; }

void* operator new(std::size_t n) { return allocateOrThrow(n); }
void* operator new[](std::size_t n) { return allocateOrThrow(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocateNothrow(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocateNothrow(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
