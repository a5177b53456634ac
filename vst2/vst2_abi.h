#pragma once
#include <cstddef>
#include <cstdint>

// The VST 2 records and constants as a host exchanges them with a plug-in.
// On 32-bit x86 every pointer-sized field is 32 bits and the effect record is
// exactly 144 bytes; on 64-bit the same fields grow to pointer size.

struct AEffect;

using audioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

// Four characters packed first-character-most-significant.
constexpr int32_t fourCharCode(const char (&c)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(c[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<uint8_t>(c[2])) << 8) |
                                static_cast<uint32_t>(static_cast<uint8_t>(c[3])));
}

constexpr int32_t kEffectMagic = fourCharCode("VstP");

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    char future[60];
};

// The published layout, for 32-bit hosts and for 64-bit hosts. On 64-bit,
// pointers take 8 bytes with 8-byte alignment, so padding follows flags and
// the record ends on a multiple of 8.
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "VST 2 records exist for 32-bit and 64-bit pointers only");
constexpr size_t publishedOffset(size_t on32Bit, size_t on64Bit) { return sizeof(void*) == 4 ? on32Bit : on64Bit; }
static_assert(offsetof(AEffect, magic) == publishedOffset(0, 0));
static_assert(offsetof(AEffect, dispatcher) == publishedOffset(4, 8));
static_assert(offsetof(AEffect, process) == publishedOffset(8, 16));
static_assert(offsetof(AEffect, setParameter) == publishedOffset(12, 24));
static_assert(offsetof(AEffect, getParameter) == publishedOffset(16, 32));
static_assert(offsetof(AEffect, numPrograms) == publishedOffset(20, 40));
static_assert(offsetof(AEffect, numParams) == publishedOffset(24, 44));
static_assert(offsetof(AEffect, numInputs) == publishedOffset(28, 48));
static_assert(offsetof(AEffect, numOutputs) == publishedOffset(32, 52));
static_assert(offsetof(AEffect, flags) == publishedOffset(36, 56));
static_assert(offsetof(AEffect, resvd1) == publishedOffset(40, 64));
static_assert(offsetof(AEffect, resvd2) == publishedOffset(44, 72));
static_assert(offsetof(AEffect, initialDelay) == publishedOffset(48, 80));
static_assert(offsetof(AEffect, realQualities) == publishedOffset(52, 84));
static_assert(offsetof(AEffect, offQualities) == publishedOffset(56, 88));
static_assert(offsetof(AEffect, ioRatio) == publishedOffset(60, 92));
static_assert(offsetof(AEffect, object) == publishedOffset(64, 96));
static_assert(offsetof(AEffect, user) == publishedOffset(68, 104));
static_assert(offsetof(AEffect, uniqueID) == publishedOffset(72, 112));
static_assert(offsetof(AEffect, version) == publishedOffset(76, 116));
static_assert(offsetof(AEffect, processReplacing) == publishedOffset(80, 120));
static_assert(offsetof(AEffect, future) == publishedOffset(84, 128));
static_assert(sizeof(AEffect) == publishedOffset(144, 192));

// Record flags.
constexpr int32_t effFlagsHasEditor = 1;
constexpr int32_t effFlagsHasClip = 2;
constexpr int32_t effFlagsHasVu = 4;
constexpr int32_t effFlagsCanMono = 8;
constexpr int32_t effFlagsCanReplacing = 16;
constexpr int32_t effFlagsProgramChunks = 32;
constexpr int32_t effFlagsIsSynth = 256;
constexpr int32_t effFlagsNoSoundInStop = 512;
constexpr int32_t effFlagsExtIsAsync = 1024;
constexpr int32_t effFlagsExtHasBuffer = 2048;

// Dispatcher opcodes.
enum : int32_t {
    effOpen = 0, effClose, effSetProgram, effGetProgram, effSetProgramName, effGetProgramName,
    effGetParamLabel, effGetParamDisplay, effGetParamName, effGetVu, effSetSampleRate,
    effSetBlockSize, effMainsChanged, effEditGetRect, effEditOpen, effEditClose, effEditDraw,
    effEditMouse, effEditKey, effEditIdle, effEditTop, effEditSleep, effIdentify, effGetChunk,
    effSetChunk,
    effProcessEvents = 25, effCanBeAutomated, effString2Parameter, effGetNumProgramCategories,
    effGetProgramNameIndexed, effCopyProgram, effConnectInput, effConnectOutput,
    effGetInputProperties, effGetOutputProperties, effGetPlugCategory, effGetCurrentPosition,
    effGetDestinationBuffer, effOfflineNotify, effOfflinePrepare, effOfflineRun, effProcessVarIo,
    effSetSpeakerArrangement, effSetBlockSizeAndSampleRate, effSetBypass, effGetEffectName,
    effGetErrorText, effGetVendorString, effGetProductString, effGetVendorVersion,
    effVendorSpecific, effCanDo, effGetTailSize, effIdle, effGetIcon, effSetViewPosition,
    effGetParameterProperties, effKeysRequired, effGetVstVersion
};
static_assert(effGetVstVersion == 58);

// Host callback opcodes.
enum : int32_t {
    audioMasterAutomate = 0, audioMasterVersion, audioMasterCurrentId, audioMasterIdle,
    audioMasterPinConnected,
    audioMasterWantMidi = 6, audioMasterGetTime, audioMasterProcessEvents, audioMasterSetTime,
    audioMasterTempoAt, audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization, audioMasterIOChanged, audioMasterNeedIdle,
    audioMasterSizeWindow, audioMasterGetSampleRate, audioMasterGetBlockSize,
    audioMasterGetInputLatency, audioMasterGetOutputLatency, audioMasterGetPreviousPlug,
    audioMasterGetNextPlug, audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel, audioMasterGetAutomationState, audioMasterOfflineStart,
    audioMasterOfflineRead, audioMasterOfflineWrite, audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass, audioMasterSetOutputSampleRate,
    audioMasterGetSpeakerArrangement, audioMasterGetVendorString, audioMasterGetProductString,
    audioMasterGetVendorVersion, audioMasterVendorSpecific, audioMasterSetIcon,
    audioMasterCanDo, audioMasterGetLanguage, audioMasterOpenWindow, audioMasterCloseWindow,
    audioMasterGetDirectory, audioMasterUpdateDisplay
};
static_assert(audioMasterUpdateDisplay == 42);

constexpr int32_t kPlugCategUnknown = 0;
constexpr int32_t kPlugCategSynth = 2;

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8);

constexpr int32_t kVstMidiType = 1;

struct VstEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

struct VstMidiEvent {
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(sizeof(VstMidiEvent) == 32);

struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];   // numEvents pointers in reality
};
static_assert(offsetof(VstEvents, reserved) == publishedOffset(4, 8));
static_assert(offsetof(VstEvents, events) == publishedOffset(8, 16));

constexpr int32_t kVstPinIsActive = 1;
constexpr int32_t kVstPinIsStereo = 2;

struct VstPinProperties {
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};
static_assert(sizeof(VstPinProperties) == 128);
