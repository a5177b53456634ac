#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

// The VST 3 interfaces and records as a host and a plug-in exchange them,
// declared from the format's public interface definitions: identifiers,
// method order, record layout and calling convention are the format's; the
// declarations are ours. Only what Vorzle and its test host use.
//
// Every interface is a table of functions in declaration order behind one
// pointer (no virtual destructors: they would add slots). On Windows the
// methods are __stdcall (it matters on 32-bit x86 only), elsewhere the
// platform's default. Records keep their natural alignment, which is what
// the format's 8-byte packing gives on every platform built here.

#if defined(_WIN32)
#define VST3_API __stdcall
#else
#define VST3_API
#endif

namespace vst3 {

using tresult = int32_t;
using TUID = char[16];
using FIDString = const char*;
using char16 = char16_t;
using String128 = char16[128];
using ParamID = uint32_t;
using ParamValue = double;
using UnitID = int32_t;
using ProgramListID = int32_t;
using MediaType = int32_t;
using BusDirection = int32_t;
using BusType = int32_t;
using IoMode = int32_t;
using TBool = uint8_t;
using SpeakerArrangement = uint64_t;
using CtrlNumber = int16_t;
using KnobMode = int32_t;

// Results: COM's values on Windows, small integers elsewhere.
#if defined(_WIN32)
constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
constexpr tresult kNoInterface = -1;
constexpr tresult kResultOk = 0;
constexpr tresult kResultTrue = 0;
constexpr tresult kResultFalse = 1;
constexpr tresult kInvalidArgument = 2;
constexpr tresult kNotImplemented = 3;
constexpr tresult kInternalError = 4;
constexpr tresult kNotInitialized = 5;
constexpr tresult kOutOfMemory = 6;
#endif

// A 16-byte identifier written as four 32-bit words. Windows keeps the COM
// GUID byte order (the first word and the two halves of the second little
// endian); every other platform stores the words big endian.
struct Uid {
    char bytes[16];
    constexpr Uid(uint32_t l1, uint32_t l2, uint32_t l3, uint32_t l4) : bytes{} {
#if defined(_WIN32)
        const uint8_t order[16] = {
            uint8_t(l1), uint8_t(l1 >> 8), uint8_t(l1 >> 16), uint8_t(l1 >> 24),
            uint8_t(l2 >> 16), uint8_t(l2 >> 24), uint8_t(l2), uint8_t(l2 >> 8),
            uint8_t(l3 >> 24), uint8_t(l3 >> 16), uint8_t(l3 >> 8), uint8_t(l3),
            uint8_t(l4 >> 24), uint8_t(l4 >> 16), uint8_t(l4 >> 8), uint8_t(l4)};
#else
        const uint8_t order[16] = {
            uint8_t(l1 >> 24), uint8_t(l1 >> 16), uint8_t(l1 >> 8), uint8_t(l1),
            uint8_t(l2 >> 24), uint8_t(l2 >> 16), uint8_t(l2 >> 8), uint8_t(l2),
            uint8_t(l3 >> 24), uint8_t(l3 >> 16), uint8_t(l3 >> 8), uint8_t(l3),
            uint8_t(l4 >> 24), uint8_t(l4 >> 16), uint8_t(l4 >> 8), uint8_t(l4)};
#endif
        for (int i = 0; i < 16; ++i) bytes[i] = static_cast<char>(order[i]);
    }
    bool operator==(const char* other) const { return other && std::memcmp(bytes, other, 16) == 0; }
};

class FUnknown {
public:
    virtual tresult VST3_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32_t VST3_API addRef() = 0;
    virtual uint32_t VST3_API release() = 0;
    static constexpr Uid iid{0x00000000, 0x00000000, 0xC0000000, 0x00000046};
};

// ---------------------------------------------------------------- module and factory
struct PFactoryInfo {
    enum { kNoFlags = 0, kUnicode = 1 << 4 };
    char vendor[64];
    char url[256];
    char email[128];
    int32_t flags;
};

struct PClassInfo {
    enum { kManyInstances = 0x7FFFFFFF };
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32_t cardinality;
    char category[32];
    char name[64];
    uint32_t classFlags;
    char subCategories[128];
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

struct PClassInfoW {
    TUID cid;
    int32_t cardinality;
    char category[32];
    char16 name[64];
    uint32_t classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

class IPluginBase : public FUnknown {
public:
    virtual tresult VST3_API initialize(FUnknown* context) = 0;
    virtual tresult VST3_API terminate() = 0;
    static constexpr Uid iid{0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625};
};

class IPluginFactory : public FUnknown {
public:
    virtual tresult VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32_t VST3_API countClasses() = 0;
    virtual tresult VST3_API getClassInfo(int32_t index, PClassInfo* info) = 0;
    virtual tresult VST3_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid{0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F};
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult VST3_API getClassInfo2(int32_t index, PClassInfo2* info) = 0;
    static constexpr Uid iid{0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB};
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult VST3_API getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
    virtual tresult VST3_API setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid{0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931};
};

// ---------------------------------------------------------------- streams
class IBStream : public FUnknown {
public:
    enum { kIBSeekSet = 0, kIBSeekCur, kIBSeekEnd };
    virtual tresult VST3_API read(void* buffer, int32_t numBytes, int32_t* numBytesRead) = 0;
    virtual tresult VST3_API write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) = 0;
    virtual tresult VST3_API seek(int64_t pos, int32_t mode, int64_t* result) = 0;
    virtual tresult VST3_API tell(int64_t* pos) = 0;
    static constexpr Uid iid{0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B};
};

// ---------------------------------------------------------------- component
enum MediaTypes { kAudio = 0, kEvent };
enum BusDirections { kInput = 0, kOutput };
enum BusTypes { kMain = 0, kAux };
constexpr SpeakerArrangement kStereo = 0x3;   // left and right

struct BusInfo {
    enum { kDefaultActive = 1 << 0 };
    MediaType mediaType;
    BusDirection direction;
    int32_t channelCount;
    String128 name;
    BusType busType;
    uint32_t flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32_t busIndex;
    int32_t channel;
};

class IComponent : public IPluginBase {
public:
    virtual tresult VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult VST3_API setIoMode(IoMode mode) = 0;
    virtual int32_t VST3_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult VST3_API getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) = 0;
    virtual tresult VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult VST3_API activateBus(MediaType type, BusDirection dir, int32_t index, TBool state) = 0;
    virtual tresult VST3_API setActive(TBool state) = 0;
    virtual tresult VST3_API setState(IBStream* state) = 0;
    virtual tresult VST3_API getState(IBStream* state) = 0;
    static constexpr Uid iid{0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802};
};

// ---------------------------------------------------------------- processing
enum SymbolicSampleSizes { kSample32 = 0, kSample64 };
enum ProcessModes { kRealtime = 0, kPrefetch, kOffline };

struct ProcessSetup {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    int32_t numChannels;
    uint64_t silenceFlags;
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    virtual ParamID VST3_API getParameterId() = 0;
    virtual int32_t VST3_API getPointCount() = 0;
    virtual tresult VST3_API getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) = 0;
    virtual tresult VST3_API addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) = 0;
    static constexpr Uid iid{0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA};
};

class IParameterChanges : public FUnknown {
public:
    virtual int32_t VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* VST3_API getParameterData(int32_t index) = 0;
    virtual IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32_t& index) = 0;
    static constexpr Uid iid{0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D};
};

struct NoteOnEvent {
    int16_t channel;
    int16_t pitch;
    float tuning;
    float velocity;
    int32_t length;
    int32_t noteId;
};

struct NoteOffEvent {
    int16_t channel;
    int16_t pitch;
    float velocity;
    int32_t noteId;
    float tuning;
};

struct DataEvent {
    uint32_t size;
    uint32_t type;
    const uint8_t* bytes;
};

struct Event {
    enum Types { kNoteOnEvent = 0, kNoteOffEvent = 1, kDataEvent = 2, kPolyPressureEvent = 3 };
    int32_t busIndex;
    int32_t sampleOffset;
    double ppqPosition;
    uint16_t flags;
    uint16_t type;
    union {
        NoteOnEvent noteOn;
        NoteOffEvent noteOff;
        DataEvent data;
        // The largest members of the format's union, for its size: a note
        // expression value (a double) and a note expression text (a pointer
        // after three words).
        struct {
            uint32_t typeId;
            int32_t noteId;
            double value;
        } expressionValue;
        struct {
            uint32_t typeId;
            int32_t noteId;
            uint32_t textLength;
            const char16* text;
        } expressionText;
    };
};

class IEventList : public FUnknown {
public:
    virtual int32_t VST3_API getEventCount() = 0;
    virtual tresult VST3_API getEvent(int32_t index, Event& e) = 0;
    virtual tresult VST3_API addEvent(Event& e) = 0;
    static constexpr Uid iid{0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44};
};

// Only the first field is read here; the host's record is longer.
struct ProcessContextHead {
    enum { kPlaying = 1 << 1 };
    uint32_t state;
};

struct ProcessData {
    int32_t processMode;
    int32_t symbolicSampleSize;
    int32_t numSamples;
    int32_t numInputs;
    int32_t numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContextHead* processContext;
};

class IAudioProcessor : public FUnknown {
public:
    virtual tresult VST3_API setBusArrangements(SpeakerArrangement* inputs, int32_t numIns,
                                                SpeakerArrangement* outputs, int32_t numOuts) = 0;
    virtual tresult VST3_API getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) = 0;
    virtual tresult VST3_API canProcessSampleSize(int32_t symbolicSampleSize) = 0;
    virtual uint32_t VST3_API getLatencySamples() = 0;
    virtual tresult VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult VST3_API setProcessing(TBool state) = 0;
    virtual tresult VST3_API process(ProcessData& data) = 0;
    virtual uint32_t VST3_API getTailSamples() = 0;
    static constexpr Uid iid{0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D};
};

class IProcessContextRequirements : public FUnknown {
public:
    enum { kNeedTransportState = 1 << 10 };
    virtual uint32_t VST3_API getProcessContextRequirements() = 0;
    static constexpr Uid iid{0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0};
};

// ---------------------------------------------------------------- controller
struct ParameterInfo {
    enum Flags : int32_t {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32_t flags;
};

enum RestartFlags : int32_t { kParamValuesChanged = 1 << 2 };

class IComponentHandler : public FUnknown {
public:
    virtual tresult VST3_API beginEdit(ParamID id) = 0;
    virtual tresult VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult VST3_API endEdit(ParamID id) = 0;
    virtual tresult VST3_API restartComponent(int32_t flags) = 0;
    static constexpr Uid iid{0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6};
};

class IPlugView;

class IEditController : public IPluginBase {
public:
    virtual tresult VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult VST3_API setState(IBStream* state) = 0;
    virtual tresult VST3_API getState(IBStream* state) = 0;
    virtual int32_t VST3_API getParameterCount() = 0;
    virtual tresult VST3_API getParameterInfo(int32_t paramIndex, ParameterInfo& info) = 0;
    virtual tresult VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
    virtual tresult VST3_API getParamValueByString(ParamID id, char16* string, ParamValue& valueNormalized) = 0;
    virtual ParamValue VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
    virtual ParamValue VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
    virtual ParamValue VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3_API createView(FIDString name) = 0;
    static constexpr Uid iid{0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E};
};

// The controller numbers beyond MIDI's 0..127 that mapping uses.
enum ControllerNumbers { kAfterTouch = 128, kPitchBend = 129 };

class IMidiMapping : public FUnknown {
public:
    virtual tresult VST3_API getMidiControllerAssignment(int32_t busIndex, int16_t channel, CtrlNumber midiControllerNumber,
                                                         ParamID& id) = 0;
    static constexpr Uid iid{0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5};
};

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32_t programCount;
};

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;

class IUnitInfo : public FUnknown {
public:
    virtual int32_t VST3_API getUnitCount() = 0;
    virtual tresult VST3_API getUnitInfo(int32_t unitIndex, UnitInfo& info) = 0;
    virtual int32_t VST3_API getProgramListCount() = 0;
    virtual tresult VST3_API getProgramListInfo(int32_t listIndex, ProgramListInfo& info) = 0;
    virtual tresult VST3_API getProgramName(ProgramListID listId, int32_t programIndex, String128 name) = 0;
    virtual tresult VST3_API getProgramInfo(ProgramListID listId, int32_t programIndex, const char* attributeId,
                                            String128 attributeValue) = 0;
    virtual tresult VST3_API hasProgramPitchNames(ProgramListID listId, int32_t programIndex) = 0;
    virtual tresult VST3_API getProgramPitchName(ProgramListID listId, int32_t programIndex, int16_t midiPitch,
                                                 String128 name) = 0;
    virtual UnitID VST3_API getSelectedUnit() = 0;
    virtual tresult VST3_API selectUnit(UnitID unitId) = 0;
    virtual tresult VST3_API getUnitByBus(MediaType type, BusDirection dir, int32_t busIndex, int32_t channel,
                                          UnitID& unitId) = 0;
    virtual tresult VST3_API setUnitProgramData(int32_t listOrUnitId, int32_t programIndex, IBStream* data) = 0;
    static constexpr Uid iid{0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1};
};

class IMessage;

class IConnectionPoint : public FUnknown {
public:
    virtual tresult VST3_API connect(IConnectionPoint* other) = 0;
    virtual tresult VST3_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult VST3_API notify(IMessage* message) = 0;
    static constexpr Uid iid{0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1};
};

// ---------------------------------------------------------------- editor view
struct ViewRect {
    int32_t left, top, right, bottom;
};

constexpr const char* kPlatformTypeHWND = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowID = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown {
public:
    virtual tresult VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult VST3_API removed() = 0;
    virtual tresult VST3_API onWheel(float distance) = 0;
    virtual tresult VST3_API onKeyDown(char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult VST3_API onKeyUp(char16 key, int16_t keyCode, int16_t modifiers) = 0;
    virtual tresult VST3_API getSize(ViewRect* size) = 0;
    virtual tresult VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult VST3_API onFocus(TBool state) = 0;
    virtual tresult VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult VST3_API canResize() = 0;
    virtual tresult VST3_API checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid{0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29};
};

class IPlugFrame : public FUnknown {
public:
    virtual tresult VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid{0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3};
};

// Linux hosts lend their user-interface loop through the frame.
class IEventHandler : public FUnknown {
public:
    virtual void VST3_API onFDIsSet(int fd) = 0;
    static constexpr Uid iid{0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983};
};

class ITimerHandler : public FUnknown {
public:
    virtual void VST3_API onTimer() = 0;
    static constexpr Uid iid{0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9};
};

class IRunLoop : public FUnknown {
public:
    virtual tresult VST3_API registerEventHandler(IEventHandler* handler, int fd) = 0;
    virtual tresult VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult VST3_API registerTimer(ITimerHandler* handler, uint64_t milliseconds) = 0;
    virtual tresult VST3_API unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid{0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389};
};

using GetFactoryProc = IPluginFactory* (VST3_API*)();

// The records' sizes as the format lays them out, on 32-bit and 64-bit builds.
static_assert(sizeof(PFactoryInfo) == 452 && sizeof(PClassInfo) == 116 && sizeof(PClassInfo2) == 440 &&
              sizeof(PClassInfoW) == 696);
static_assert(sizeof(BusInfo) == 276 && sizeof(ParameterInfo) == 792 && sizeof(UnitInfo) == 268 &&
              sizeof(ProgramListInfo) == 264);
static_assert(sizeof(ProcessSetup) == 24 && sizeof(AudioBusBuffers) == 24 && sizeof(Event) == 48);
static_assert(sizeof(ProcessData) == (sizeof(void*) == 8 ? 80 : 48) && sizeof(ViewRect) == 16);

}  // namespace vst3
