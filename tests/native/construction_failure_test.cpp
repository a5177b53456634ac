// A failed allocation anywhere in construction gives the host null and
// leaves nothing allocated.
#include <gtest/gtest.h>
#include <malloc.h>

#include "vst2/entry.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"
#include "tests/native/allocation_hooks.h"

namespace {

size_t bytesInUse() { return mallinfo2().uordblks; }

void closeInstance(AEffect* effect) { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

}  // namespace

TEST(ConstructionFailure, EveryAllocationFailureGivesNullWithoutLeaks) {
    // Count the allocations one construction makes.
    AllocationCounter counter;
    AEffect* effect = vorzleMain(versionOnlyHost);
    ASSERT_NE(effect, nullptr);
    const uint64_t allocations = counter.count();
    closeInstance(effect);
    ASSERT_GE(allocations, 8u);   // instance, programs, editor, 3 tables, 2 delay lines

    // The process's first exception (the injected failure is thrown inside
    // nothrow new) sets up the unwinder's caches for every loaded library
    // once; that is not a leak of the instrument's, so it happens here first.
    failNthAllocationFromNow(1);
    EXPECT_EQ(vorzleMain(versionOnlyHost), nullptr);
    stopFailingAllocations();

    for (uint64_t n = 1; n <= allocations; ++n) {
        const size_t before = bytesInUse();
        failNthAllocationFromNow(n);
        AEffect* failed = vorzleMain(versionOnlyHost);
        stopFailingAllocations();
        EXPECT_EQ(failed, nullptr) << "allocation " << n;
        if (failed) closeInstance(failed);
        EXPECT_EQ(bytesInUse(), before) << "allocation " << n;
    }
}

TEST(ConstructionFailure, NoHostOrAHostWithoutVersionGivesNull) {
    EXPECT_EQ(vorzleMain(nullptr), nullptr);
    auto refusing = [](AEffect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; };
    AllocationCounter counter;
    EXPECT_EQ(vorzleMain(refusing), nullptr);
    EXPECT_EQ(counter.count(), 0u);
}

TEST(ConstructionFailure, WithoutAHostCallbackTheRecordKeepsBaseValues) {
    SynthPlugin plugin(nullptr);
    const AEffect* e = plugin.getAEffect();
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->uniqueID, fourCharCode("NoEf"));
    EXPECT_EQ(e->flags, effFlagsHasEditor);   // the panel exists in every build
    plugin.resume();   // asks nobody
}
