#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/panel_client.h"
#include "engine/program_listener.h"
#include "instrument/instrument.h"
#include "vst3/parameters.h"
#include "vst3/vst3_abi.h"

// The instrument as one VST 3 object: component, audio processor and edit
// controller together (hosts find the controller by asking the component),
// so both sides read and write the one instrument.
//
// Host values and MIDI share the parameters by the rule the LV2 plug-in
// keeps: a host change writes its parameter at its sample; a MIDI
// controller or program change moves parameters until the host next
// changes them, and what moved is reported back as output parameter changes.
//
// Threads: process() on the audio thread; everything else on the host's
// user-interface thread, as the format says.
class Vst3Plugin final : public vst3::IComponent,
                   public vst3::IAudioProcessor,
                   public vst3::IEditController,
                   public vst3::IMidiMapping,
                   public vst3::IUnitInfo,
                   public vst3::IConnectionPoint,
                   public vst3::IProcessContextRequirements,
                   private PanelClient,
                   private ProgramListener {
public:
    static const vst3::Uid kClassId;
    static constexpr int32_t kProgramListId = 1;
    // More events and parameter points than any host sends in one block; the
    // rest of a larger block's are dropped.
    static constexpr int32_t kMaxBlockEvents = 8192;

    Vst3Plugin();
    Vst3Plugin(const Vst3Plugin&) = delete;
    Vst3Plugin& operator=(const Vst3Plugin&) = delete;

    // FUnknown (one for all the interfaces)
    vst3::tresult VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    uint32_t VST3_API addRef() override;
    uint32_t VST3_API release() override;

    // IPluginBase
    vst3::tresult VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult VST3_API terminate() override;

    // IComponent
    vst3::tresult VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult VST3_API setIoMode(vst3::IoMode mode) override;
    int32_t VST3_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult VST3_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                                      vst3::BusInfo& bus) override;
    vst3::tresult VST3_API getRoutingInfo(vst3::RoutingInfo& in, vst3::RoutingInfo& out) override;
    vst3::tresult VST3_API activateBus(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                                       vst3::TBool state) override;
    vst3::tresult VST3_API setActive(vst3::TBool state) override;
    vst3::tresult VST3_API setState(vst3::IBStream* state) override;   // also the controller's (see .cpp)
    vst3::tresult VST3_API getState(vst3::IBStream* state) override;

    // IAudioProcessor
    vst3::tresult VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                              vst3::SpeakerArrangement* outputs, int32_t numOuts) override;
    vst3::tresult VST3_API getBusArrangement(vst3::BusDirection dir, int32_t index,
                                             vst3::SpeakerArrangement& arr) override;
    vst3::tresult VST3_API canProcessSampleSize(int32_t size) override;
    uint32_t VST3_API getLatencySamples() override { return 0; }
    vst3::tresult VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult VST3_API setProcessing(vst3::TBool state) override;
    vst3::tresult VST3_API process(vst3::ProcessData& data) override;
    uint32_t VST3_API getTailSamples() override;

    // IEditController
    vst3::tresult VST3_API setComponentState(vst3::IBStream* state) override;
    int32_t VST3_API getParameterCount() override { return vst3params::kCount; }
    vst3::tresult VST3_API getParameterInfo(int32_t index, vst3::ParameterInfo& info) override;
    vst3::tresult VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue value,
                                                 vst3::String128 string) override;
    vst3::tresult VST3_API getParamValueByString(vst3::ParamID id, vst3::char16* string,
                                                 vst3::ParamValue& value) override;
    vst3::ParamValue VST3_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::ParamValue VST3_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) override;
    vst3::ParamValue VST3_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* VST3_API createView(vst3::FIDString name) override;

    // IMidiMapping
    vst3::tresult VST3_API getMidiControllerAssignment(int32_t busIndex, int16_t channel, vst3::CtrlNumber number,
                                                       vst3::ParamID& id) override;

    // IUnitInfo: one unit, owning the program list of the 128 programs.
    int32_t VST3_API getUnitCount() override { return 1; }
    vst3::tresult VST3_API getUnitInfo(int32_t index, vst3::UnitInfo& info) override;
    int32_t VST3_API getProgramListCount() override { return 1; }
    vst3::tresult VST3_API getProgramListInfo(int32_t index, vst3::ProgramListInfo& info) override;
    vst3::tresult VST3_API getProgramName(vst3::ProgramListID list, int32_t program, vst3::String128 name) override;
    vst3::tresult VST3_API getProgramInfo(vst3::ProgramListID, int32_t, const char*, vst3::String128) override {
        return vst3::kResultFalse;
    }
    vst3::tresult VST3_API hasProgramPitchNames(vst3::ProgramListID, int32_t) override { return vst3::kResultFalse; }
    vst3::tresult VST3_API getProgramPitchName(vst3::ProgramListID, int32_t, int16_t, vst3::String128) override {
        return vst3::kResultFalse;
    }
    vst3::UnitID VST3_API getSelectedUnit() override { return vst3::kRootUnitId; }
    vst3::tresult VST3_API selectUnit(vst3::UnitID id) override {
        return id == vst3::kRootUnitId ? vst3::kResultOk : vst3::kInvalidArgument;
    }
    vst3::tresult VST3_API getUnitByBus(vst3::MediaType, vst3::BusDirection, int32_t, int32_t,
                                        vst3::UnitID& id) override {
        id = vst3::kRootUnitId;
        return vst3::kResultOk;
    }
    vst3::tresult VST3_API setUnitProgramData(int32_t, int32_t, vst3::IBStream*) override {
        return vst3::kNotImplemented;
    }

    // IConnectionPoint: nothing to exchange, both sides being this object.
    vst3::tresult VST3_API connect(vst3::IConnectionPoint* other) override {
        return other ? vst3::kResultOk : vst3::kInvalidArgument;
    }
    vst3::tresult VST3_API disconnect(vst3::IConnectionPoint*) override { return vst3::kResultOk; }
    vst3::tresult VST3_API notify(vst3::IMessage*) override { return vst3::kResultFalse; }

    // IProcessContextRequirements: the transport's play state only.
    uint32_t VST3_API getProcessContextRequirements() override {
        return vst3::IProcessContextRequirements::kNeedTransportState;
    }

    Instrument& instrument() { return synth; }
    // The panel's client: its knob gestures reach the host as edits.
    PanelClient& panelClient() { return *this; }
    void viewClosed();
    // True once after values changed behind the panel's back (host
    // automation, MIDI, a program, a restored state).
    bool takePanelStale() { return panelStale.exchange(false, std::memory_order_relaxed); }

private:
    ~Vst3Plugin();

    // PanelClient
    float parameterValue(int32_t index) override { return synth.parameter(index); }
    void setParameterFromPanel(int32_t index, float value) override;
    void parameterDisplay(int32_t index, char* text) override { synth.parameterDisplay(index, text); }
    void panelEditBegins(int32_t index) override;
    void panelEditEnds(int32_t index) override;
    // ProgramListener: MIDI moved values or changed the program.
    void programValuesChanged() override { panelStale.store(true, std::memory_order_relaxed); }

    // One event of a block, in the order it plays.
    struct BlockEvent {
        int32_t offset;
        uint8_t rank;       // at one offset: the program, then parameter values, then MIDI
        uint8_t bytes[3];   // MIDI, or the program change
        int32_t parameter;  // for values
        float value;
        int32_t sequence;   // arrival order, for a stable sort without allocation
    };
    int32_t gatherEvents(const vst3::ProcessData& data, int32_t frames);
    void addEvent(const BlockEvent& e);
    void playBlock(float* left, float* right, int32_t frames);
    void reportChanges(vst3::IParameterChanges* out);
    void takeTransport(const vst3::ProcessContextHead* context);

    std::atomic<uint32_t> references{1};
    Instrument synth;
    vst3::IComponentHandler* handler = nullptr;
    bool initialized = false;
    bool setUp = false;
    bool active = false;
    bool transportRolling = false;
    std::unique_ptr<BlockEvent[]> events;
    int32_t eventCount = 0;
    // What the host last heard of each value; changes made by MIDI or the
    // program go back to it from the audio thread.
    float reported[kNumParameters] = {};
    int32_t reportedProgram = 0;
    std::atomic<float> midiValues[vst3params::kMidiCount];
    int32_t editing = -1;   // the parameter a panel gesture is editing
    class View* view = nullptr;
    std::atomic<bool> panelStale{true};
};
