#include <gtest/gtest.h>

#include "tests/shared/render_identity.h"
#include "tests/wine/vorzle_dll.h"

// The DLL renders what was recorded for its architecture.
TEST(RenderIdentity, DllRendersTheRecordedSamples) {
    render_identity::expectRecordedRenders(sizeof(void*) == 8 ? "win64" : "win32", createVorzle,
                                           std::string("Z:") + VORZLE_SOURCE_DIR + "/examples/demo.mid");
}
