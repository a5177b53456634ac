#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "tests/native/allocation_hooks.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

TEST(EngineAllocation, RenderingSixtyFourVoicesWithTheEffectAllocatesNothing) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 1.0f);
    plugin->setParameter(Param::Polyphony, 1.0f);
    std::vector<float> left(512), right(512);
    float* outputs[2] = {left.data(), right.data()};

    const AllocationCounter counter;
    for (int n = 0; n < 64; ++n) noteOn(*plugin, static_cast<uint8_t>(30 + n), 100);
    plugin->setParameter(Param::Osc1Sine, 0.4f);   // a rebuild inside the first call
    plugin->processReplacing(outputs, 512);
    for (int call = 0; call < 20; ++call) plugin->processReplacing(outputs, 512);
    plugin->process(outputs, 333);
    midi(*plugin, 0xB0, 7, 100);
    midi(*plugin, 0xE0, 0x10, 0x50);
    noteOff(*plugin, 40);
    plugin->processReplacing(outputs, 512);
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_EQ(activeVoices(*plugin), 64);
}

TEST(EngineAllocation, HooksCountAndFailOnRequest) {
    // Direct operator calls: new-expressions may be elided by the compiler.
    const AllocationCounter counter;
    void* a = ::operator new(16);
    ::operator delete(a);
    void* b = ::operator new[](32, std::align_val_t{64});
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 64, 0u);
    ::operator delete[](b, std::align_val_t{64});
    EXPECT_EQ(counter.count(), 2u);

    const uint64_t failures = injectedFailureCount();
    failNthAllocationFromNow(2);
    void* first = ::operator new(8, std::nothrow);
    void* second = ::operator new(8, std::nothrow);
    void* third = ::operator new(8, std::nothrow);
    const bool firstOk = first != nullptr, secondNull = second == nullptr, thirdOk = third != nullptr;
    ::operator delete(first);
    ::operator delete(third);
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondNull);
    EXPECT_TRUE(thirdOk);

    failNthAllocationFromNow(1);
    bool threw = false;
    try {
        ::operator delete(::operator new(8));
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    stopFailingAllocations();
    EXPECT_TRUE(threw);
    EXPECT_EQ(injectedFailureCount(), failures + 2);
}
