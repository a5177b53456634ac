#include "tests/native/allocation_hooks.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// The audio-path probe's counts, for the thread that opened it.
struct ProbeCounts {
    bool open = false;
    uint64_t allocations = 0, locks = 0, waits = 0;
};
thread_local ProbeCounts probe;
inline void countAllocation() {
    if (probe.open) ++probe.allocations;
}
inline void countLock() {
    if (probe.open) ++probe.locks;
}
inline void countWait() {
    if (probe.open) ++probe.waits;
}

std::atomic<uint64_t> allocations{0};
std::atomic<uint64_t> injectedFailures{0};
// Countdown to the allocation that fails; 0 when none is armed.
std::atomic<uint64_t> failCountdown{0};

// True when this allocation is the one that was told to fail.
bool takeFailure() {
    uint64_t remaining = failCountdown.load(std::memory_order_relaxed);
    while (remaining != 0) {
        if (failCountdown.compare_exchange_weak(remaining, remaining - 1, std::memory_order_relaxed))
            return remaining == 1;
    }
    return false;
}

void* allocate(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    countAllocation();
    if (takeFailure()) {
        injectedFailures.fetch_add(1, std::memory_order_relaxed);
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    countAllocation();
    if (takeFailure()) {
        injectedFailures.fetch_add(1, std::memory_order_relaxed);
        throw std::bad_alloc();
    }
    const std::size_t align = static_cast<std::size_t>(alignment);
    std::size_t rounded = (size + align - 1) / align * align;
    if (rounded == 0) rounded = align;
    if (void* p = std::aligned_alloc(align, rounded)) return p;
    throw std::bad_alloc();
}

void* allocateNoThrow(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void* allocateAlignedNoThrow(std::size_t size, std::align_val_t alignment) noexcept {
    try {
        return allocateAligned(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

uint64_t allocationCount() { return allocations.load(std::memory_order_relaxed); }
void failNthAllocationFromNow(uint64_t n) { failCountdown.store(n, std::memory_order_relaxed); }
void stopFailingAllocations() { failCountdown.store(0, std::memory_order_relaxed); }
uint64_t injectedFailureCount() { return injectedFailures.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocateNoThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocateNoThrow(size); }
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedNoThrow(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocateAlignedNoThrow(size, a);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

AudioPathProbe::AudioPathProbe() { probe = ProbeCounts{true}; }
AudioPathProbe::~AudioPathProbe() { probe.open = false; }
uint64_t AudioPathProbe::allocations() const { return probe.allocations; }
uint64_t AudioPathProbe::locks() const { return probe.locks; }
uint64_t AudioPathProbe::waits() const { return probe.waits; }

// The C library's calls, counted and passed on to the next definition (the
// C library's own). Operator new above already counts what it takes from malloc.
namespace {
template <typename F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
}  // namespace

extern "C" {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* malloc(size_t size) {
    countAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    countAllocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
    countAllocation();
    return __libc_realloc(p, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    countAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    countAllocation();
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return 22;   // EINVAL
    void* p = __libc_memalign(alignment, size);
    if (!p) return 12;   // ENOMEM
    *out = p;
    return 0;
}
#endif

int pthread_mutex_lock(pthread_mutex_t* m) {
    countLock();
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_lock");
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    countLock();
    static auto real = next<int (*)(pthread_mutex_t*)>("pthread_mutex_trylock");
    return real(m);
}
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
    countWait();
    static auto real = reinterpret_cast<int (*)(pthread_cond_t*, pthread_mutex_t*)>(dlvsym(RTLD_NEXT, "pthread_cond_wait", "GLIBC_2.3.2"));
    return real(c, m);
}
int pthread_cond_timedwait(pthread_cond_t* c, pthread_mutex_t* m, const timespec* t) {
    countWait();
    static auto real = reinterpret_cast<int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*)>(
        dlvsym(RTLD_NEXT, "pthread_cond_timedwait", "GLIBC_2.3.2"));
    return real(c, m, t);
}
int sem_wait(sem_t* s) {
    countWait();
    static auto real = next<int (*)(sem_t*)>("sem_wait");
    return real(s);
}
int nanosleep(const timespec* t, timespec* left) {
    countWait();
    static auto real = next<int (*)(const timespec*, timespec*)>("nanosleep");
    return real(t, left);
}
int clock_nanosleep(clockid_t clock, int flags, const timespec* t, timespec* left) {
    countWait();
    static auto real = next<int (*)(clockid_t, int, const timespec*, timespec*)>("clock_nanosleep");
    return real(clock, flags, t, left);
}
int usleep(useconds_t us) {
    countWait();
    static auto real = next<int (*)(useconds_t)>("usleep");
    return real(us);
}
int sched_yield() {
    countWait();
    static auto real = next<int (*)()>("sched_yield");
    return real();
}
}
