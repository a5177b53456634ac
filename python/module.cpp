// vorzle._vorzle: the instrument object and the song renderer for Python.
// The package's Python layer (vorzle/__init__.py) checks arguments and gives
// the friendly interface; this layer keeps the instrument safe on its own:
// every call takes the synth's lock, and renders run without the GIL.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <ebur128.h>

#include "instrument/instrument.h"
#include "python/song_render.h"
#include "song/midi_file.h"

namespace py = pybind11;

namespace {

constexpr int64_t kMaxRenderFrames = int64_t(1) << 30;

// The synth's lock, taken without holding the GIL while it waits, so that a
// render on another thread can finish and hand it over.
class Hold {
public:
    explicit Hold(std::mutex& mutex) : lock(mutex, std::try_to_lock) {
        if (!lock.owns_lock()) {
            py::gil_scoped_release nogil;
            lock.lock();
        }
    }

private:
    std::unique_lock<std::mutex> lock;
};

// 2 for program change and channel pressure, else 3; 0 for what is no channel message.
int messageLength(uint8_t status) {
    if (status < 0x80 || status >= 0xF0) return 0;
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

py::array_t<float> planar(const std::vector<float>& left, const std::vector<float>& right) {
    const py::ssize_t n = static_cast<py::ssize_t>(left.size());
    py::array_t<float> out({py::ssize_t(2), n});
    float* data = out.mutable_data();
    std::memcpy(data, left.data(), left.size() * sizeof(float));
    std::memcpy(data + n, right.data(), right.size() * sizeof(float));
    return out;
}

class Synth {
public:
    explicit Synth(double sampleRate) {
        if (!(sampleRate >= 8000.0 && sampleRate <= 384000.0))
            throw py::value_error("sample_rate must be 8000 to 384000");
        instrument = std::make_unique<Instrument>(static_cast<float>(sampleRate));
        if (!instrument->usable()) throw std::bad_alloc();
        instrument->reset();   // the plug-in starts switched off
    }

    double sampleRate() {
        Hold hold(mutex);
        return instrument->sampleRate();
    }

    void setSampleRate(double rate) {
        if (!(rate >= 8000.0 && rate <= 384000.0)) throw py::value_error("sample_rate must be 8000 to 384000");
        py::gil_scoped_release nogil;
        std::lock_guard<std::mutex> lock(mutex);
        instrument->setSampleRate(static_cast<float>(rate));
        pending.clear();
    }

    // A channel message for the next render, on its frame there.
    void midi(const std::string& bytes, int64_t frame) {
        const uint8_t status = bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]);
        const int length = messageLength(status);
        if (length == 0)
            throw py::value_error("not a MIDI channel message: the first byte must be a status byte 0x80 to 0xEF");
        if (static_cast<int>(bytes.size()) != length)
            throw py::value_error("a message of status 0x" + hex(status) + " has " + std::to_string(length) +
                                  " bytes, not " + std::to_string(bytes.size()));
        for (size_t i = 1; i < bytes.size(); ++i)
            if (static_cast<uint8_t>(bytes[i]) >= 0x80) throw py::value_error("MIDI data bytes must be 0 to 127");
        if (frame < 0 || frame >= kMaxRenderFrames) throw py::value_error("frame must be 0 or more");
        Message m{{status, 0, 0}, static_cast<int32_t>(frame)};
        for (size_t i = 1; i < bytes.size(); ++i) m.bytes[i] = static_cast<uint8_t>(bytes[i]);
        Hold hold(mutex);
        pending.push_back(m);
    }

    py::array_t<float> render(int64_t frames) {
        if (frames < 0 || frames > kMaxRenderFrames) throw py::value_error("frames must be 0 to 2**30");
        py::array_t<float> out({py::ssize_t(2), static_cast<py::ssize_t>(frames)});
        if (frames == 0) return out;
        float* left = out.mutable_data();
        float* right = left + frames;
        py::gil_scoped_release nogil;
        std::lock_guard<std::mutex> lock(mutex);
        {
            Instrument::MidiDelivery delivery(*instrument);
            for (const Message& m : pending) delivery.add(m.bytes, m.frame);
        }
        pending.clear();
        instrument->render(left, right, static_cast<int32_t>(frames), true);
        return out;
    }

    void reset() {
        py::gil_scoped_release nogil;
        std::lock_guard<std::mutex> lock(mutex);
        instrument->reset();
        pending.clear();
    }

    int32_t program() {
        Hold hold(mutex);
        return instrument->program();
    }

    void selectProgram(int32_t index) {
        if (index < 0 || index >= Instrument::kNumPrograms) throw py::value_error("program must be 0 to 127");
        py::gil_scoped_release nogil;
        std::lock_guard<std::mutex> lock(mutex);
        instrument->selectProgram(index);
    }

    std::string programName(int32_t index) {
        Hold hold(mutex);
        return instrument->programName(index);
    }

    int32_t findProgram(const std::string& name) {
        Hold hold(mutex);
        return instrument->findProgram(name);
    }

    float parameter(int32_t index) {
        checkIndex(index);
        Hold hold(mutex);
        return instrument->parameter(index);
    }

    void setParameter(int32_t index, float value) {
        checkIndex(index);
        checkValue(value);
        Hold hold(mutex);
        instrument->setParameter(index, value);
    }

    py::array_t<float> parameters() {
        py::array_t<float> out(kNumParameters);
        float* data = out.mutable_data();
        Hold hold(mutex);
        for (int32_t i = 0; i < kNumParameters; ++i) data[i] = instrument->parameter(i);
        return out;
    }

    std::string parameterDisplay(int32_t index) {
        checkIndex(index);
        Hold hold(mutex);
        return instrument->parameterDisplay(index);
    }

    py::bytes state(const std::string& scope) {
        std::vector<uint8_t> chunk;
        {
            Hold hold(mutex);
            if (!instrument->saveState(scopeOf(scope), chunk)) throw std::bad_alloc();
        }
        return py::bytes(reinterpret_cast<const char*>(chunk.data()), chunk.size());
    }

    void setState(const std::string& data, const std::string& scope) {
        const Instrument::StateScope kind = scopeOf(scope);
        std::string reason;
        bool ok = false;
        {
            py::gil_scoped_release nogil;
            std::lock_guard<std::mutex> lock(mutex);
            ok = instrument->restoreState(reinterpret_cast<const uint8_t*>(data.data()), data.size(), kind, &reason);
            if (ok) pending.clear();
        }
        if (!ok) throw py::value_error("not a Vorzle " + scope + " state: " + reason);
    }

    py::bytes bankFile() {
        std::vector<uint8_t> file;
        {
            Hold hold(mutex);
            file = instrument->bankFile();
        }
        return py::bytes(reinterpret_cast<const char*>(file.data()), file.size());
    }

    void loadBankFile(const std::string& data) {
        std::string reason;
        bool ok = false;
        {
            py::gil_scoped_release nogil;
            std::lock_guard<std::mutex> lock(mutex);
            ok = instrument->loadBankFile(reinterpret_cast<const uint8_t*>(data.data()), data.size(), reason);
        }
        if (!ok) throw py::value_error("not a Vorzle bank file: " + reason);
    }

private:
    struct Message {
        uint8_t bytes[3];
        int32_t frame;
    };

    static std::string hex(uint8_t value) {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", value);
        return text;
    }

    static void checkIndex(int32_t index) {
        if (index < 0 || index >= kNumParameters) throw py::index_error("parameter index must be 0 to 38");
    }

    static void checkValue(float value) {
        if (!(value >= 0.0f && value <= 1.0f)) throw py::value_error("parameter values are 0 to 1");
    }

    static Instrument::StateScope scopeOf(const std::string& scope) {
        if (scope == "bank") return Instrument::StateScope::Bank;
        if (scope == "program") return Instrument::StateScope::Program;
        throw py::value_error("scope must be 'bank' or 'program'");
    }

    std::mutex mutex;
    std::unique_ptr<Instrument> instrument;
    std::vector<Message> pending;
};

// Reads and plays a song; returns the audio, the song's frames (before the
// tail) and the renderer's warnings.
py::tuple renderMidi(const std::string& data, int32_t program, const std::string& programName, uint32_t sampleRate,
                     int32_t blockSize, bool fixedBlocks, std::optional<double> tail, uint16_t channels,
                     bool ignoreProgramChanges, bool strict, bool perChannel, bool generalMidi, bool drums,
                     std::optional<int32_t> transpose, std::vector<std::pair<int32_t, float>> parameters) {
    SongRenderOptions options;
    options.sampleRate = sampleRate;
    options.blockSize = blockSize;
    options.fixedBlocks = fixedBlocks;
    options.program = program;
    options.tailSeconds = tail;
    options.channels = channels;
    options.ignoreProgramChanges = ignoreProgramChanges;
    options.strict = strict;
    options.perChannel = perChannel || generalMidi;
    options.generalMidi = generalMidi;
    options.drums = drums;
    options.transpose = transpose;
    options.parameters = std::move(parameters);
    if (!programName.empty()) {
        const Instrument names;
        options.program = names.findProgram(programName);
        if (options.program < 0) throw py::value_error("no program named '" + programName + "'");
    }
    const std::string problem = songOptionsProblem(options);
    if (!problem.empty()) throw py::value_error(problem);

    SongRenderResult result;
    std::string error;
    {
        py::gil_scoped_release nogil;
        MidiSong song;
        const std::vector<uint8_t> bytes(data.begin(), data.end());
        if (parseMidiFile(bytes, song, error, strict ? MidiDamagePolicy::Refuse : MidiDamagePolicy::PlayReadablePart)) {
            error.clear();
            if (!song.damage.empty())
                result.warnings.push_back("damaged, played as far as it is readable: " + song.damage +
                                          "; strict=True refuses such files");
            std::vector<std::string> warnings = std::move(result.warnings);
            renderSong(std::move(song), options, result);
            warnings.insert(warnings.end(), result.warnings.begin(), result.warnings.end());
            result.warnings = std::move(warnings);
        } else if (error.empty()) {
            error = "not a MIDI file";
        }
    }
    if (!error.empty()) throw py::value_error("not a playable MIDI file: " + error);
    return py::make_tuple(planar(result.left, result.right), result.songFrames, result.warnings);
}

// EBU R 128 of a (2, n) render.
py::dict loudness(py::array_t<float, py::array::c_style | py::array::forcecast> audio, uint32_t sampleRate,
                  bool truePeak) {
    if (audio.ndim() != 2 || audio.shape(0) != 2) throw py::value_error("audio must have the shape (2, frames)");
    if (sampleRate < 8000 || sampleRate > 384000) throw py::value_error("sample_rate must be 8000 to 384000");
    const size_t n = static_cast<size_t>(audio.shape(1));
    const float* left = audio.data();
    const float* right = left + n;
    double integrated = -HUGE_VAL, range = 0.0, peak[2] = {-HUGE_VAL, -HUGE_VAL};
    bool ok = false;
    {
        py::gil_scoped_release nogil;
        // The true peak's oversampling costs more than the render itself.
        ebur128_state* state = ebur128_init(2, sampleRate,
                                            EBUR128_MODE_I | EBUR128_MODE_LRA | (truePeak ? EBUR128_MODE_TRUE_PEAK : 0));
        if (state) {
            std::vector<float> interleaved(2 * 4096);
            ok = true;
            for (size_t done = 0; ok && done < n;) {
                const size_t count = std::min<size_t>(4096, n - done);
                for (size_t i = 0; i < count; ++i) {
                    interleaved[2 * i] = left[done + i];
                    interleaved[2 * i + 1] = right[done + i];
                }
                ok = ebur128_add_frames_float(state, interleaved.data(), count) == EBUR128_SUCCESS;
                done += count;
            }
            ok = ok && ebur128_loudness_global(state, &integrated) == EBUR128_SUCCESS &&
                 ebur128_loudness_range(state, &range) == EBUR128_SUCCESS &&
                 (!truePeak || (ebur128_true_peak(state, 0, &peak[0]) == EBUR128_SUCCESS &&
                                ebur128_true_peak(state, 1, &peak[1]) == EBUR128_SUCCESS));
            ebur128_destroy(&state);
        }
    }
    if (!ok) throw std::runtime_error("the loudness measurement failed");
    const double peakLevel = std::max(peak[0], peak[1]);
    py::dict out;
    out["integrated_lufs"] = std::isfinite(integrated) ? py::cast(integrated) : py::none();
    out["loudness_range_lu"] = range;
    if (truePeak) out["true_peak_dbtp"] = peakLevel > 0.0 ? py::cast(20.0 * std::log10(peakLevel)) : py::none();
    return out;
}

}  // namespace

PYBIND11_MODULE(_vorzle, m) {
    m.doc() = "Vorzle's instrument object and song renderer (the compiled part of the vorzle package).";
    m.attr("__version__") = VORZLE_VERSION;
    m.attr("NUM_PROGRAMS") = Instrument::kNumPrograms;
    m.attr("NUM_PARAMETERS") = kNumParameters;
    m.def("parameter_name", &Instrument::parameterName, "Parameter index's panel name.");
    m.def("parameter_unit", &Instrument::parameterUnit, "The unit of parameter index's display text.");

    py::class_<Synth>(m, "Instrument", "One instrument; see vorzle.Synth.")
        .def(py::init<double>(), py::arg("sample_rate"))
        .def_property("sample_rate", &Synth::sampleRate, &Synth::setSampleRate)
        .def("midi", &Synth::midi, py::arg("message"), py::arg("frame"))
        .def("render", &Synth::render, py::arg("frames"))
        .def("reset", &Synth::reset)
        .def("program", &Synth::program)
        .def("select_program", &Synth::selectProgram, py::arg("index"))
        .def("program_name", &Synth::programName, py::arg("index"))
        .def("find_program", &Synth::findProgram, py::arg("name"))
        .def("parameter", &Synth::parameter, py::arg("index"))
        .def("set_parameter", &Synth::setParameter, py::arg("index"), py::arg("value"))
        .def("parameters", &Synth::parameters)
        .def("parameter_display", &Synth::parameterDisplay, py::arg("index"))
        .def("state", &Synth::state, py::arg("scope"))
        .def("set_state", &Synth::setState, py::arg("data"), py::arg("scope"))
        .def("bank_file", &Synth::bankFile)
        .def("load_bank_file", &Synth::loadBankFile, py::arg("data"));

    m.def("render_midi", &renderMidi, py::arg("data"), py::arg("program"), py::arg("program_name"),
          py::arg("sample_rate"), py::arg("block_size"), py::arg("fixed_blocks"), py::arg("tail"),
          py::arg("channels"), py::arg("ignore_program_changes"), py::arg("strict"), py::arg("per_channel"),
          py::arg("gm"), py::arg("drums"), py::arg("transpose"), py::arg("parameters"),
          "Plays a MIDI file image as vorzle-render does; returns (audio, song_frames, warnings).");
    m.def("loudness", &loudness, py::arg("audio"), py::arg("sample_rate"), py::arg("true_peak") = true,
          "EBU R 128 of a (2, n) render: {integrated_lufs, loudness_range_lu, true_peak_dbtp} (None for\n"
          "silence; true_peak=False leaves out the true peak, whose 4x oversampling costs more than a render).");
}
