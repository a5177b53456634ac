// Writes the description files of the LV2 bundle from the parameter table,
// the port table and the factory bank, so that they can never disagree with
// the code: lv2_ttl OUT_DIR FACTORY_BANK_SOURCE
//   OUT_DIR/manifest.ttl  the plug-in, its panel and the presets
//   OUT_DIR/vorzle.ttl    the plug-in's ports
//   OUT_DIR/presets.ttl   the 128 factory programs, in their categories
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "lv2/lv2_uris.h"
#include "lv2/port_layout.h"
#include "instrument/instrument.h"

namespace {

const char* const kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// A float as a Turtle number that reads back as the same float.
std::string number(float x) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(x));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string presetUri(int32_t program) {
    char text[8];
    std::snprintf(text, sizeof(text), "%03d", static_cast<int>(program));
    return std::string("<" VORZLE_LV2_PRESET_PREFIX) + text + ">";
}

std::string bankUri(const std::string& category) {
    std::string slug;
    for (char c : category) slug += std::isalnum(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : '-';
    return "<" VORZLE_LV2_BANK_PREFIX + slug + ">";
}

void writeControlPort(std::ostream& out, uint32_t index, int32_t p, bool output) {
    const PortInfo& info = kPortInfo[p];
    out << "    [\n        a lv2:" << (output ? "OutputPort" : "InputPort") << " , lv2:ControlPort ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol \"" << info.symbol << (output ? "_playing" : "") << "\" ;\n"
        << "        lv2:name " << quoted(std::string(info.name) + (output ? " (playing)" : "")) << " ;\n";
    if (!output) out << "        lv2:default " << number(portDefault(p)) << " ;\n";
    out << "        lv2:minimum " << number(info.minimum) << " ;\n"
        << "        lv2:maximum " << number(info.maximum);
    switch (info.kind) {
    case PortKind::Continuous:
        break;
    case PortKind::Toggle:
        out << " ;\n        lv2:portProperty lv2:toggled";
        break;
    case PortKind::ThreeStateSwitch:
        out << " ;\n        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
            << "        lv2:scalePoint [ rdfs:label \"off\" ; rdf:value 0.0 ] ,\n"
            << "            [ rdfs:label \"on\" ; rdf:value 1.0 ] ,\n"
            << "            [ rdfs:label \"on (stored as 2)\" ; rdf:value 2.0 ]";
        break;
    case PortKind::VoiceCount:
        out << " ;\n        lv2:portProperty lv2:integer";
        break;
    }
    out << "\n    ]";
}

void writePlugin(std::ostream& out) {
    out << kPrefixes << "<" VORZLE_LV2_URI ">\n"
        << "    a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
        << "    doap:name \"Vorzle\" ;\n"
        << "    doap:maintainer [ foaf:name \"Harvane\" ] ;\n"
        << "    rdfs:comment \"Polyphonic subtractive synthesizer: three wavetable oscillators, "
           "a resonant filter with its own envelope and LFO, drive and chorus.\" ;\n"
        << "    lv2:minorVersion 2 ;\n    lv2:microVersion 0 ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:extensionData state:interface ;\n"
        << "    ui:ui <" VORZLE_LV2_UI_URI "> ;\n"
        << "    lv2:port [\n        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n        atom:supports midi:MidiEvent , time:Position ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << Port::kMidiIn << " ;\n        lv2:symbol \"midi_in\" ;\n        lv2:name \"MIDI In\"\n    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n        lv2:index " << Port::kLeft
        << " ;\n        lv2:symbol \"out_left\" ;\n        lv2:name \"Left\"\n    ] , [\n"
        << "        a lv2:OutputPort , lv2:AudioPort ;\n        lv2:index " << Port::kRight
        << " ;\n        lv2:symbol \"out_right\" ;\n        lv2:name \"Right\"\n    ]";
    for (int32_t p = 0; p < kNumParameters; ++p) {
        out << " ,\n";
        writeControlPort(out, Port::control(p), p, false);
    }
    for (int32_t p = 0; p < kNumParameters; ++p) {
        out << " ,\n";
        writeControlPort(out, Port::playing(p), p, true);
    }
    out << " .\n";
}

// Category of each program, from the "# Category:" comments of the bank source.
bool readCategories(const char* path, std::map<int32_t, std::string>& categories) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line, category;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        if (first == "#" && second == "Category:") {
            std::getline(words >> std::ws, category);
            while (!category.empty() && std::isspace(static_cast<unsigned char>(category.back()))) category.pop_back();
        } else if (first == "program" && !second.empty() && std::isdigit(static_cast<unsigned char>(second[0]))) {
            categories[std::stoi(second)] = category;
        }
    }
    return true;
}

bool writePresets(std::ostream& out, const Instrument& factory, const std::map<int32_t, std::string>& categories) {
    out << kPrefixes;
    std::map<std::string, bool> banks;
    for (int32_t k = 0; k < ProgramBank::kNumPrograms; ++k) {
        const ProgramRecord program = factory.programRecord(k);
        const auto category = categories.find(k);
        if (category == categories.end() || category->second.empty()) {
            std::cerr << "lv2_ttl: program " << k << " has no category in the bank source\n";
            return false;
        }
        banks[category->second] = true;
        out << presetUri(k) << "\n    a pset:Preset ;\n    lv2:appliesTo <" VORZLE_LV2_URI "> ;\n"
            << "    rdfs:label " << quoted(program.name) << " ;\n"
            << "    rdfs:comment " << quoted(category->second) << " ;\n"
            << "    pset:bank " << bankUri(category->second) << " ;\n    lv2:port";
        // Polyphony is the player's choice, not part of a program.
        for (int32_t p = 0; p < Param::Polyphony; ++p) {
            const float value = ProgramBank::loadValue(program, p);
            const PortInfo& info = kPortInfo[p];
            if (!(value >= info.minimum && value <= info.maximum)) {
                std::cerr << "lv2_ttl: program " << k << " holds " << value << " for " << info.symbol
                          << ", outside its port's range\n";
                return false;
            }
            out << (p ? " ,\n        " : " ") << "[ lv2:symbol \"" << info.symbol << "\" ; pset:value "
                << number(portFromStored(p, value)) << " ]";
        }
        out << " .\n\n";
    }
    for (const auto& [name, unused] : banks)
        out << bankUri(name) << "\n    a pset:Bank ;\n    rdfs:label " << quoted(name) << " .\n\n";
    return true;
}

void writeManifest(std::ostream& out) {
    out << kPrefixes << "<" VORZLE_LV2_URI ">\n    a lv2:Plugin ;\n"
        << "    lv2:binary <" VORZLE_LV2_DSP_BINARY "> ;\n    rdfs:seeAlso <vorzle.ttl> .\n\n"
        << "<" VORZLE_LV2_UI_URI ">\n    a ui:X11UI ;\n    ui:binary <" VORZLE_LV2_UI_BINARY "> ;\n"
        << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:noUserResize ;\n"
        << "    lv2:extensionData ui:idleInterface .\n\n";
    for (int32_t k = 0; k < ProgramBank::kNumPrograms; ++k)
        out << presetUri(k) << "\n    a pset:Preset ;\n    lv2:appliesTo <" VORZLE_LV2_URI "> ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n\n";
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: lv2_ttl OUT_DIR FACTORY_BANK_SOURCE\n";
        return 2;
    }
    const std::string dir = argv[1];
    std::map<int32_t, std::string> categories;
    if (!readCategories(argv[2], categories)) {
        std::cerr << "lv2_ttl: cannot read " << argv[2] << "\n";
        return 1;
    }
    const Instrument factory;
    if (!factory.usable()) return 1;

    std::ostringstream plugin, presets, manifest;
    writePlugin(plugin);
    if (!writePresets(presets, factory, categories)) return 1;
    writeManifest(manifest);
    if (!writeFile(dir + "/vorzle.ttl", plugin.str()) || !writeFile(dir + "/presets.ttl", presets.str()) ||
        !writeFile(dir + "/manifest.ttl", manifest.str())) {
        std::cerr << "lv2_ttl: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
