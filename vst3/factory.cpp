#include "vst3/factory.h"

#include <cstring>
#include <new>

#include "vst3/utf16.h"
#include "vst3/vst3_plugin.h"

using namespace vst3;

namespace {

constexpr const char* kVendor = "Harvane";
constexpr const char* kName = "Vorzle";
constexpr const char* kCategory = "Audio Module Class";
constexpr const char* kSubCategories = "Instrument|Synth";
constexpr const char* kVersion = "2.1.0";
constexpr const char* kSdkVersion = "VST 3.7";

void copyText(char* out, const char* text, size_t size) {
    std::strncpy(out, text, size - 1);
    out[size - 1] = '\0';
}

// The module's one factory, alive as long as the module: counting its
// references would only let a host free what it never allocated.
class Factory : public IPluginFactory3 {
public:
    tresult VST3_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (FUnknown::iid == iid || IPluginFactory::iid == iid || IPluginFactory2::iid == iid ||
            IPluginFactory3::iid == iid) {
            *obj = this;
            return kResultOk;
        }
        return kNoInterface;
    }
    uint32_t VST3_API addRef() override { return 1; }
    uint32_t VST3_API release() override { return 1; }

    tresult VST3_API getFactoryInfo(PFactoryInfo* info) override {
        if (!info) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        copyText(info->vendor, kVendor, sizeof info->vendor);
        info->flags = PFactoryInfo::kUnicode;
        return kResultOk;
    }
    int32_t VST3_API countClasses() override { return 1; }
    tresult VST3_API getClassInfo(int32_t index, PClassInfo* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        std::memcpy(info->cid, Vst3Plugin::kClassId.bytes, 16);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kCategory, sizeof info->category);
        copyText(info->name, kName, sizeof info->name);
        return kResultOk;
    }
    tresult VST3_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (!cid || !iid || !(Vst3Plugin::kClassId == cid)) return kNoInterface;
        Vst3Plugin* plugin = new (std::nothrow) Vst3Plugin;
        if (!plugin) return kOutOfMemory;
        const tresult result = plugin->queryInterface(iid, obj);
        plugin->release();   // the host's reference is the one queryInterface took
        return result;
    }
    tresult VST3_API getClassInfo2(int32_t index, PClassInfo2* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        std::memcpy(info->cid, Vst3Plugin::kClassId.bytes, 16);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kCategory, sizeof info->category);
        copyText(info->name, kName, sizeof info->name);
        copyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        copyText(info->vendor, kVendor, sizeof info->vendor);
        copyText(info->version, kVersion, sizeof info->version);
        copyText(info->sdkVersion, kSdkVersion, sizeof info->sdkVersion);
        return kResultOk;
    }
    tresult VST3_API getClassInfoUnicode(int32_t index, PClassInfoW* info) override {
        if (index != 0 || !info) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        std::memcpy(info->cid, Vst3Plugin::kClassId.bytes, 16);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kCategory, sizeof info->category);
        copyUtf16(info->name, kName, 64);
        copyText(info->subCategories, kSubCategories, sizeof info->subCategories);
        copyUtf16(info->vendor, kVendor, 64);
        copyUtf16(info->version, kVersion, 64);
        copyUtf16(info->sdkVersion, kSdkVersion, 64);
        return kResultOk;
    }
    tresult VST3_API setHostContext(FUnknown*) override { return kResultOk; }
};

Factory factory;

}  // namespace

IPluginFactory* vorzleFactory() { return &factory; }
