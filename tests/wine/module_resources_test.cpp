// The module refuses to load when a bitmap it needs is missing, and it carries the
// factory bank as committed.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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

TEST(ModuleResources, CarriesTheCommittedFactoryBank) {
    std::ifstream file(VORZLE_SOURCE_DIR "/resources/factory_bank.bin", std::ios::binary);
    const std::string committed((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(committed.size(), 26848u);

    const std::string path = programDirectory() + "Vorzle.dll";
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << path;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(117), "BANK");
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string carried(bytes, SizeofResource(module, found));
    EXPECT_TRUE(carried == committed) << "Vorzle.dll carries another bank than resources/factory_bank.bin";
    FreeLibrary(module);
}
