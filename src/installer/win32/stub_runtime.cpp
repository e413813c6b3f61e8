// The stub is built without exceptions. libstdc++'s own operator new and its
// std::__throw_* helpers would throw, and linking them drags in the whole
// unwinder and the exception classes (tens of KB). These replacements end the
// process instead, which is all a no-exception program can do with an
// unsatisfiable allocation or a broken precondition anyway. Code that can
// cope with a failed allocation uses malloc or the nothrow forms.
#include <bits/functexcept.h>

#include <cstdlib>
#include <new>

namespace {

void* AllocateOrDie(std::size_t size) {
  void* block = malloc(size != 0 ? size : 1);
  if (block == nullptr) abort();
  return block;
}

void* AllocateAlignedOrDie(std::size_t size, std::align_val_t alignment) {
  void* block = _aligned_malloc(size != 0 ? size : 1, static_cast<std::size_t>(alignment));
  if (block == nullptr) abort();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrDie(size); }
void* operator new[](std::size_t size) { return AllocateOrDie(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return malloc(size != 0 ? size : 1);
}

void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, std::size_t) noexcept { free(block); }
void operator delete[](void* block, std::size_t) noexcept { free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }

void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrDie(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrDie(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return _aligned_malloc(size != 0 ? size : 1, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return _aligned_malloc(size != 0 ? size : 1, static_cast<std::size_t>(alignment));
}
void operator delete(void* block, std::align_val_t) noexcept { _aligned_free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { _aligned_free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { _aligned_free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
  _aligned_free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  _aligned_free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
  _aligned_free(block);
}

// Every helper libstdc++ declares in <bits/functexcept.h>. Leaving one out
// would pull libstdc++'s functexcept.o, which defines them all, and the link
// would fail on the duplicates: a missing one cannot go unnoticed.
namespace std {
void __throw_bad_exception() { abort(); }
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_bad_cast() { abort(); }
void __throw_bad_typeid() { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_domain_error(const char*) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_runtime_error(const char*) { abort(); }
void __throw_range_error(const char*) { abort(); }
void __throw_overflow_error(const char*) { abort(); }
void __throw_underflow_error(const char*) { abort(); }
void __throw_ios_failure(const char*) { abort(); }
void __throw_ios_failure(const char*, int) { abort(); }
void __throw_system_error(int) { abort(); }
void __throw_future_error(int) { abort(); }
void __throw_bad_function_call() { abort(); }
}  // namespace std

// A pure virtual call can only be a bug; libstdc++'s handler would report it
// through the verbose terminate handler and its demangler (about 40 KB).
extern "C" void __cxa_pure_virtual() { abort(); }
