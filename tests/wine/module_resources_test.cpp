// The module refuses to load when a bitmap it needs is missing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "vsthost/plugin_module.h"

TEST(ModuleResources, MissingBitmapRefusesTheLoad) {
    for (const char* missing : {"102", "104", "118"}) {
        const std::string path = programDirectory() + "VorzleWithout" + missing + ".dll";
        ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
        HMODULE module = LoadLibraryA(path.c_str());
        EXPECT_EQ(module, nullptr) << "bitmap " << missing;
        if (module) FreeLibrary(module);
        else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED)) << "bitmap " << missing;
    }
}
