// The module's functions as the page calls them: plain C names and numbers,
// so the page instantiates the .wasm itself without a generated loader. One
// instrument per module instance: the audio worklet has one, the page's
// panel another.
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "editor/control_values.h"
#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "editor/panel_values.h"
#include "engine/program_listener.h"
#include "programs/parameter_table.h"
#include "web/panel_view.h"
#include "web/song_player.h"
#include "web/web_instrument.h"

#define VZ_EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

// Raised by MIDI that changed the program or its values, so the page can
// follow; taken by vz_take_changed.
struct ChangeFlag : ProgramListener {
    void programValuesChanged() override { raised = true; }
    bool raised = false;
};

WebInstrument* instrument = nullptr;
ChangeFlag changed;
SongPlayer* player = nullptr;
PanelView* panel = nullptr;
std::vector<uint8_t> incoming;   // file bytes the page writes before a load
std::string message;             // the last error, or a display text
std::vector<uint8_t> bankBytes;  // the last bank written
int32_t knobCount = 0;

}  // namespace

// 1 once the instrument is built; 0 when memory ran out.
VZ_EXPORT(vz_create) int vz_create() {
    if (instrument) return 1;
    instrument = new (std::nothrow) WebInstrument();
    player = new (std::nothrow) SongPlayer();
    panel = new (std::nothrow) PanelView();
    if (!instrument || !player || !panel || !instrument->ready()) return 0;
    instrument->synth.setChangeListener(&changed);
    knobCount = fillKnobHitTable(knobHitTable);
    return 1;
}

// ---------------------------------------------------------------- sound
VZ_EXPORT(vz_set_sample_rate) void vz_set_sample_rate(float rate) { instrument->synth.setSampleRate(rate); }
VZ_EXPORT(vz_reset) void vz_reset() { instrument->synth.reset(); }
VZ_EXPORT(vz_select_program) void vz_select_program(int program) { instrument->synth.selectProgram(program); }
VZ_EXPORT(vz_program) int vz_program() { return instrument->synth.program(); }
VZ_EXPORT(vz_midi) void vz_midi(int status, int data1, int data2) {
    instrument->midi(static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2));
}
VZ_EXPORT(vz_render) void vz_render(int frames) { instrument->render(frames); }
VZ_EXPORT(vz_left) float* vz_left() { return instrument->left; }
VZ_EXPORT(vz_right) float* vz_right() { return instrument->right; }
VZ_EXPORT(vz_take_due_tables) int vz_take_due_tables() { return instrument->synth.takeDueWavetables(); }
VZ_EXPORT(vz_build_table) const float* vz_build_table(int i) { return instrument->synth.buildWavetable(i); }
VZ_EXPORT(vz_table_length) int vz_table_length() { return instrument->synth.wavetableLength(); }
// Table i from the buffer (vz_table_length floats) into the engine.
VZ_EXPORT(vz_adopt_table) int vz_adopt_table(int i) {
    return instrument->synth.adoptWavetable(i, reinterpret_cast<const float*>(incoming.data()),
                                  static_cast<int32_t>(incoming.size() / sizeof(float)));
}
// Table i of program (vz_table_length floats in the buffer), for a song's
// program changes; loading a bank or a new song drops them.
VZ_EXPORT(vz_prepare_table) void vz_prepare_table(int program, int i) {
    instrument->prepareTable(program, i, reinterpret_cast<const float*>(incoming.data()),
                             static_cast<int32_t>(incoming.size() / sizeof(float)));
}
// Table i of program, shared with one already prepared: 0 when none has its shape.
VZ_EXPORT(vz_prepare_shared) int vz_prepare_shared(int program, int i) { return instrument->prepareShared(program, i); }
// 1 when program p's table i and program q's table j are the same shape.
VZ_EXPORT(vz_same_shape) int vz_same_shape(int p, int i, int q, int j) {
    constexpr int n = Instrument::kNumPrograms, t = Engine::kNumWavetables;
    if (p < 0 || p >= n || q < 0 || q >= n || i < 0 || i >= t || j < 0 || j >= t) return 0;
    return WavetableCache::shapeOf(instrument->synth.programRecord(p), i) ==
           WavetableCache::shapeOf(instrument->synth.programRecord(q), j);
}
VZ_EXPORT(vz_take_changed) int vz_take_changed() {
    const bool was = changed.raised;
    changed.raised = false;
    return was;
}

// ---------------------------------------------------------------- programs
VZ_EXPORT(vz_parameter_count) int vz_parameter_count() { return kNumParameters; }
VZ_EXPORT(vz_parameter) float vz_parameter(int index) { return instrument->synth.parameter(index); }
VZ_EXPORT(vz_set_parameter) void vz_set_parameter(int index, float value) { instrument->synth.setParameter(index, value); }
VZ_EXPORT(vz_parameter_display) const char* vz_parameter_display(int index) {
    message = instrument->synth.parameterDisplay(index);
    return message.c_str();
}
VZ_EXPORT(vz_parameter_name) const char* vz_parameter_name(int index) {
    return index >= 0 && index < kNumParameters ? kParameters[index].name : "";
}
VZ_EXPORT(vz_program_name) const char* vz_program_name(int program) {
    return instrument->synth.programName(program);
}

// ---------------------------------------------------------------- files
// A buffer of size bytes for the page to fill before a load.
VZ_EXPORT(vz_buffer) uint8_t* vz_buffer(int size) {
    if (size < 0) return nullptr;
    if (size == 0) std::vector<uint8_t>().swap(incoming);   // its memory back to the heap
    incoming.assign(static_cast<size_t>(size), 0);
    return incoming.data();
}
VZ_EXPORT(vz_message) const char* vz_message() { return message.c_str(); }

// The song in the buffer, from its start, at rate; 0 with vz_message's reason.
VZ_EXPORT(vz_song_load) int vz_song_load(float rate) {
    message.clear();
    instrument->forgetPreparedTables();
    if (!player->load(incoming, rate, message)) return 0;
    message = player->damage();
    return 1;
}
// The loaded song's events as its schedule placed them (8 bytes each), for
// the page's thread to hand to the audio thread's instance.
VZ_EXPORT(vz_song_event_count) int vz_song_event_count() { return static_cast<int>(player->placedEvents().size()); }
VZ_EXPORT(vz_song_events) const uint64_t* vz_song_events() { return player->placedEvents().data(); }
namespace {
std::vector<uint64_t> handedEvents;
}  // namespace
// Room for count placed events (null when there is no room), then the song
// made of them from its start: the audio thread's instance plays a song the
// page's instance read, without parsing it.
VZ_EXPORT(vz_song_take_buffer) uint64_t* vz_song_take_buffer(int count) {
    player->load({}, 44100.0, message);   // the song playing gives its memory back first
    instrument->forgetPreparedTables();
    if (count < 0 || static_cast<size_t>(count) > kMaxSongEvents) return nullptr;
    handedEvents.clear();
    handedEvents.shrink_to_fit();
    handedEvents.resize(static_cast<size_t>(count));
    return handedEvents.data();
}
VZ_EXPORT(vz_song_take) void vz_song_take(double songFrames, float rate) {
    player->take(std::move(handedEvents), static_cast<int64_t>(songFrames), rate);
    handedEvents = {};
}
namespace {
float songLeft[WebInstrument::kMaxBlockFrames], songRight[WebInstrument::kMaxBlockFrames];
}  // namespace
// The next frames of the song into vz_song_left and vz_song_right; the
// frames of the song among them (fewer once it has ended).
VZ_EXPORT(vz_song_play) int vz_song_play(int frames) {
    if (frames < 1 || frames > WebInstrument::kMaxBlockFrames || !player->loaded()) return 0;
    return player->play(*instrument, songLeft, songRight, frames);
}
VZ_EXPORT(vz_song_left) float* vz_song_left() { return songLeft; }
VZ_EXPORT(vz_song_right) float* vz_song_right() { return songRight; }
VZ_EXPORT(vz_song_program_count) int vz_song_program_count() { return static_cast<int>(player->programs().size()); }
VZ_EXPORT(vz_song_program) int vz_song_program(int i) {
    return i >= 0 && i < vz_song_program_count() ? player->programs()[static_cast<size_t>(i)] : -1;
}
VZ_EXPORT(vz_song_length) double vz_song_length() { return static_cast<double>(player->songFrames()); }
VZ_EXPORT(vz_song_finished) int vz_song_finished() { return player->finished(); }
VZ_EXPORT(vz_song_stop) void vz_song_stop() { player->load({}, 44100.0, message); }
VZ_EXPORT(vz_song_frames) double vz_song_frames() { return static_cast<double>(player->framesPlayed()); }

// The bank as a .fxb file: written to vz_bank_data (vz_bank_size bytes), or
// read from the buffer (0 with vz_message's reason).
VZ_EXPORT(vz_bank_save) int vz_bank_save() {
    bankBytes = instrument->synth.bankFile();
    return static_cast<int>(bankBytes.size());
}
VZ_EXPORT(vz_bank_data) const uint8_t* vz_bank_data() { return bankBytes.data(); }
VZ_EXPORT(vz_bank_load) int vz_bank_load() {
    message.clear();
    instrument->forgetPreparedTables();
    return instrument->synth.loadBankFile(incoming.data(), incoming.size(), message);
}

// ---------------------------------------------------------------- panel
VZ_EXPORT(vz_panel_paint) const uint8_t* vz_panel_paint(int readoutVisible, int x, int y, int parameter, int scale) {
    const PanelReadout readout{readoutVisible != 0, x, y, parameter};
    return panel->paint(instrument->panel, readout, scale) ? panel->rgba() : nullptr;
}
// Field f (0 x, 1 y, 2 width, 3 height) of where the readout of parameter
// lies when it appears at (x, y): its width follows the text.
VZ_EXPORT(vz_readout_field) int vz_readout_field(int x, int y, int parameter, int field) {
    const PanelRect r = readoutArea(instrument->panel, PanelReadout{true, x, y, parameter});
    const int32_t values[4] = {r.x, r.y, r.width, r.height};
    return field >= 0 && field < 4 ? values[field] : 0;
}
VZ_EXPORT(vz_control_count) int vz_control_count() { return static_cast<int>(kPanelControlCount); }
// Field f (0 kind, 1 x, 2 y, 3 width, 4 height, 5 id) of control i, its
// rectangle as the pointer meets it.
VZ_EXPORT(vz_control_field) int vz_control_field(int i, int field) {
    if (i < 0 || i >= static_cast<int>(kPanelControlCount)) return 0;
    const PanelControl& c = panelControls()[i];
    const PanelRect r = controlRect(c);
    const int32_t values[6] = {static_cast<int32_t>(c.kind), r.x, r.y, r.width, r.height, c.id};
    return field >= 0 && field < 6 ? values[field] : 0;
}
VZ_EXPORT(vz_knob_at) int vz_knob_at(int x, int y) { return knobAt(knobHitTable, x, y); }
VZ_EXPORT(vz_dragged_value) float vz_dragged_value(float value, int dy, int control, int shift) {
    return draggedValue(value, dy, control != 0, shift != 0);
}
VZ_EXPORT(vz_toggled_value) float vz_toggled_value(float value) { return toggledValue(value); }
