// The parts of the C++ runtime that the shipped programs link in place of the
// library's own. The programs throw no exceptions and catch none, so every
// way the library would throw ends the process, as the uncaught exception
// would have; what goes away is the machinery around it (the exception
// objects, their strings and type descriptions, the unwinder and the
// demangler of the default terminate handler), which was most of the
// programs' size. The error messages were never seen: the programs have no
// console.
//
// Linked as an object file of each program (see qm_shipped_program), so these
// definitions are found before the library is searched. The programs' static
// locals are guarded here too, with Win32 calls instead of the thread library.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

[[noreturn]] void Fail() {
    abort();
}

// The allocation functions stay out of the callers' sight, also when the
// programs are optimised as a whole: a caller's array size that overflows
// arrives here as SIZE_MAX on purpose, so that malloc refuses it, and seen
// through, that constant would only draw a warning about its size.
#define QM_OPAQUE __attribute__((noipa))

QM_OPAQUE void* Allocate(size_t size) {
    // A zero-byte request still gets a block of its own.
    void* p = malloc(size != 0 ? size : 1);
    if (p == nullptr)
        Fail();
    return p;
}

} // namespace

void* operator new(size_t size) {
    return Allocate(size);
}
void* operator new[](size_t size) {
    return Allocate(size);
}
QM_OPAQUE void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}
QM_OPAQUE void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept {
    free(p);
}
void operator delete[](void* p) noexcept {
    free(p);
}
void operator delete(void* p, size_t) noexcept {
    free(p);
}
void operator delete[](void* p, size_t) noexcept {
    free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    free(p);
}

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    Fail();
}
} // namespace __gnu_cxx

// Where the library's containers, strings, mutexes and function wrappers
// report a failure.
namespace std {
void __throw_bad_exception() {
    Fail();
}
void __throw_bad_alloc() {
    Fail();
}
void __throw_bad_array_new_length() {
    Fail();
}
void __throw_bad_cast() {
    Fail();
}
void __throw_bad_typeid() {
    Fail();
}
void __throw_logic_error(const char*) {
    Fail();
}
void __throw_domain_error(const char*) {
    Fail();
}
void __throw_invalid_argument(const char*) {
    Fail();
}
void __throw_length_error(const char*) {
    Fail();
}
void __throw_out_of_range(const char*) {
    Fail();
}
void __throw_out_of_range_fmt(const char*, ...) {
    Fail();
}
void __throw_runtime_error(const char*) {
    Fail();
}
void __throw_range_error(const char*) {
    Fail();
}
void __throw_overflow_error(const char*) {
    Fail();
}
void __throw_underflow_error(const char*) {
    Fail();
}
void __throw_system_error(int) {
    Fail();
}
void __throw_bad_function_call() {
    Fail();
}
} // namespace std

// Thread-safe initialisation of function-local statics. The guard is 64 bits:
// the compiler's inline check reads its first byte (non-zero: initialised);
// the second half is this code's lock, taken by the one thread that runs the
// initialiser while the others yield. Different guards never wait for each
// other, so an initialiser may use other statics.
namespace {
struct Guard {
    volatile LONG done;
    volatile LONG busy;
};
static_assert(sizeof(Guard) == sizeof(int64_t), "the guard is 64 bits");
} // namespace

extern "C" int __cxa_guard_acquire(int64_t* raw) {
    Guard* guard = reinterpret_cast<Guard*>(raw);
    for (;;) {
        if (InterlockedCompareExchange(&guard->done, 0, 0) != 0)
            return 0;
        if (InterlockedCompareExchange(&guard->busy, 1, 0) == 0) {
            if (InterlockedCompareExchange(&guard->done, 0, 0) == 0)
                return 1;
            InterlockedExchange(&guard->busy, 0);
            return 0;
        }
        SwitchToThread();
    }
}

extern "C" void __cxa_guard_release(int64_t* raw) {
    Guard* guard = reinterpret_cast<Guard*>(raw);
    InterlockedExchange(&guard->done, 1);
    InterlockedExchange(&guard->busy, 0);
}

// Only reached through an exception out of an initialiser, which these
// programs never throw; the next caller then tries again.
extern "C" void __cxa_guard_abort(int64_t* raw) {
    InterlockedExchange(&reinterpret_cast<Guard*>(raw)->busy, 0);
}
