#pragma once
#include <cstdint>

// The test program replaces the global operator new and delete (every form)
// with versions that count allocations and can be told to fail one.

// Allocations made through any operator new since the program started.
uint64_t allocationCount();

// Makes the nth allocation from now fail (1 = the next one): the throwing
// forms throw std::bad_alloc, the nothrow forms return null. 0 disarms.
void failNthAllocationFromNow(uint64_t n);
void stopFailingAllocations();

// Allocations that failed because they were told to.
uint64_t injectedFailureCount();

// Counts the allocations made while it lives.
class AllocationCounter {
public:
    AllocationCounter() : start(allocationCount()) {}
    uint64_t count() const { return allocationCount() - start; }

private:
    uint64_t start;
};

// What the audio path must never do, counted on the calling thread while a
// probe lives: allocations (operator new, and the malloc family also from a
// loaded plug-in module), locks (pthread mutexes, std::mutex among them) and
// waits (condition variables, semaphores, sleeps, yields). The malloc family
// is counted in builds without an address or thread sanitizer, whose own
// allocator it would replace.
class AudioPathProbe {
public:
    AudioPathProbe();
    ~AudioPathProbe();
    AudioPathProbe(const AudioPathProbe&) = delete;
    AudioPathProbe& operator=(const AudioPathProbe&) = delete;
    uint64_t allocations() const;
    uint64_t locks() const;
    uint64_t waits() const;
};
