#include "tests/native/allocation_hooks.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

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
    if (takeFailure()) {
        injectedFailures.fetch_add(1, std::memory_order_relaxed);
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t alignment) {
    allocations.fetch_add(1, std::memory_order_relaxed);
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
