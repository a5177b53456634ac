#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/render/plugin_info.h"
#include "tools/render/progress_bar.h"
#include "tools/render/render_summary.h"
#include "vsthost/plugin_instance.h"

namespace fs = std::filesystem;

namespace {

// A plug-in whose texts are awkward: quotes, backslashes, control characters,
// Latin-1 bytes, a name that fills the whole buffer an old host would use.
// With `indexedNames` false it ignores effGetProgramNameIndexed, as old plug-ins do.
struct AwkwardPlugin {
    AEffect effect{};
    bool indexedNames = true;
    int32_t program = 2;
    int setProgramCalls = 0;
    static AwkwardPlugin* current;

    static void copy(void* ptr, const char* text) { std::strcpy(static_cast<char*>(ptr), text); }

    static intptr_t dispatch(AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float) {
        AwkwardPlugin& p = *current;
        switch (opcode) {
        case effGetEffectName: copy(ptr, "Say \"hi\"\\"); return 1;
        case effGetVendorString: copy(ptr, "Caf\xE9\x01"); return 1;     // Latin-1 e-acute, then a control
        case effGetProductString: copy(ptr, "Gr\xC3\xBC\xC3\x9F" "e"); return 1;   // valid UTF-8
        case effGetVendorVersion: return 1234;
        case effGetVstVersion: return 2400;
        case effGetPlugCategory: return kPlugCategSynth;
        case effGetProgram: return p.program;
        case effSetProgram: p.program = static_cast<int32_t>(value); ++p.setProgramCalls; return 0;
        case effGetProgramName: copy(ptr, ("Prog " + std::to_string(p.program)).c_str()); return 0;
        case effGetProgramNameIndexed:
            if (!p.indexedNames) return 0;
            copy(ptr, index == 1 ? "Tab\there" : ("Named " + std::to_string(index)).c_str());
            return 1;
        case effGetParamName: if (index == 0) copy(ptr, "Cutoff"); return 0;   // parameter 1 stays nameless
        case effGetParamDisplay: copy(ptr, index == 0 ? "0.50" : "off"); return 0;
        case effGetParamLabel: if (index == 0) copy(ptr, "Hz"); return 0;
        case effGetOutputProperties: {
            if (index != 0) return 0;   // the second pin is not described
            auto* pin = static_cast<VstPinProperties*>(ptr);
            std::strcpy(pin->label, "Out L");
            std::memcpy(pin->shortLabel, "12345678", 8);   // no terminator
            pin->flags = kVstPinIsActive | kVstPinIsStereo;
            return 1;
        }
        case effCanDo: {
            const std::string text = static_cast<const char*>(ptr);
            if (text == "receiveVstEvents") return 1;
            if (text == "offline") return -1;
            return 0;
        }
        default: return 0;
        }
    }

    AwkwardPlugin() {
        current = this;
        effect.magic = kEffectMagic;
        effect.dispatcher = dispatch;
        effect.numPrograms = 3;
        effect.numParams = 2;
        effect.numOutputs = 2;
        effect.flags = effFlagsIsSynth | effFlagsCanReplacing | (1 << 20);
        effect.uniqueID = fourCharCode("Ab\x01'");
    }
    static AEffect* entry(audioMasterCallback) { return &current->effect; }
};
AwkwardPlugin* AwkwardPlugin::current = nullptr;

PluginInfo gather(AwkwardPlugin&) {
    std::string error;
    auto instance = PluginInstance::create(&AwkwardPlugin::entry, error);
    EXPECT_TRUE(instance) << error;
    return gatherPluginInfo(*instance, "C:\\plug\"ins\\awkward.dll");
}

std::string runPython(const std::string& script, const std::string& json) {
    const fs::path file = fs::temp_directory_path() / ("render_info_test_" + std::to_string(getpid()) + ".json");
    std::ofstream(file, std::ios::binary) << json;
    const std::string command = "/usr/bin/python3 -c '" + script + "' '" + file.string() + "' 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char chunk[4096];
    size_t n;
    while (pipe && (n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
    if (pipe) {
        EXPECT_EQ(pclose(pipe), 0) << output;
    }
    fs::remove(file);
    return output;
}

}  // namespace

TEST(RenderInfo, GathersWhatTheHostLearns) {
    AwkwardPlugin plugin;
    const PluginInfo info = gather(plugin);
    EXPECT_EQ(info.name, "Say \"hi\"\\");
    EXPECT_EQ(info.vendorVersion, 1234);
    EXPECT_EQ(info.vstVersion, 2400);
    EXPECT_EQ(info.category, kPlugCategSynth);
    EXPECT_EQ(info.currentProgram, 2);
    EXPECT_EQ(info.programNames, (std::vector<std::string>{"Named 0", "Tab\there", "Named 2"}));
    ASSERT_EQ(info.parameters.size(), 2u);
    EXPECT_EQ(info.parameters[0].name, "Cutoff");
    EXPECT_EQ(info.parameters[0].label, "Hz");
    EXPECT_EQ(info.parameters[1].name, "");
    EXPECT_EQ(info.parameters[1].display, "off");
    ASSERT_EQ(info.outputPins.size(), 1u);
    EXPECT_EQ(info.outputPins[0].shortLabel, "12345678");
    ASSERT_EQ(info.canDo.size(), usualCanDoTexts().size());
    EXPECT_EQ(info.canDo[0].answer, 1);
    EXPECT_EQ(plugin.setProgramCalls, 0);   // indexed names need no program switching
}

TEST(RenderInfo, OldPluginsAreAskedProgramByProgramAndRestored) {
    AwkwardPlugin plugin;
    plugin.indexedNames = false;
    const PluginInfo info = gather(plugin);
    EXPECT_EQ(info.programNames, (std::vector<std::string>{"Prog 0", "Prog 1", "Prog 2"}));
    EXPECT_EQ(plugin.program, 2);
    EXPECT_EQ(plugin.setProgramCalls, 4);
}

TEST(RenderInfo, TextFormat) {
    AwkwardPlugin plugin;
    const std::string text = formatInfoText(gather(plugin));
    for (const char* line : {"name: Say \"hi\"\\\n", "vendor version: 1234\n", "VST version: 2400\n",
                             "unique ID: 'Ab\\x01\\x27' (0x41620127)\n", "category: synth\n", "inputs: 0\n",
                             "outputs: 2\n", "flags: CanReplacing IsSynth 0x00100000\n",
                             "programs: 3 (current 2); numbered as --program counts them\n", "  1  Tab\\x09here\n", "parameters: 2\n",
                             "  0  Cutoff = 0.50 [Hz]\n", "  1  (empty) = off\n", "output pins: 1\n",
                             "  0  Out L [12345678] (active, stereo)\n", "  receiveVstEvents: yes\n",
                             "  offline: no\n", "  bypass: don't know\n"})
        EXPECT_NE(text.find(line), std::string::npos) << "missing: " << line << "\nin:\n" << text;
}

TEST(RenderInfo, JsonIsValidAndCarriesTheSameTexts) {
    AwkwardPlugin plugin;
    const std::string json = formatInfoJson(gather(plugin));
    const std::string script =
        "import json,sys\n"
        "d=json.load(open(sys.argv[1],encoding=\"utf-8\"))\n"
        "assert d[\"name\"]==\"Say \\\"hi\\\"\\\\\", d[\"name\"]\n"
        "assert d[\"vendor\"]==\"Caf\\u00e9\\u0001\", d[\"vendor\"]\n"
        "assert d[\"product\"]==\"Gr\\u00fc\\u00dfe\", d[\"product\"]\n"
        "assert d[\"plugin\"]==\"C:\\\\plug\\\"ins\\\\awkward.dll\"\n"
        "assert d[\"uniqueIdNumber\"]==0x41620127\n"
        "assert d[\"flags\"]==[\"CanReplacing\",\"IsSynth\",\"0x00100000\"]\n"
        "assert d[\"programs\"][1]==\"Tab\\there\"\n"
        "assert d[\"parameters\"][0]=={\"index\":0,\"name\":\"Cutoff\",\"display\":\"0.50\",\"label\":\"Hz\"}\n"
        "assert d[\"outputPins\"][0][\"shortLabel\"]==\"12345678\"\n"
        "assert d[\"canDo\"][\"offline\"]==\"no\" and d[\"canDo\"][\"receiveVstEvents\"]==\"yes\"\n"
        "print(\"ok\")\n";
    std::string quotedScript;
    for (char c : script) quotedScript += c == '\'' ? std::string("'\\''") : std::string(1, c);
    EXPECT_EQ(runPython(quotedScript, json), "ok\n") << json;
}

TEST(RenderInfo, FormattingPieces) {
    EXPECT_EQ(fourCharText(fourCharCode("Trlx")), "'Trlx'");
    EXPECT_EQ(fourCharText(0), "'\\x00\\x00\\x00\\x00'");
    EXPECT_EQ(flagNames(effFlagsHasEditor | effFlagsIsSynth), (std::vector<std::string>{"HasEditor", "IsSynth"}));
    EXPECT_TRUE(flagNames(0).empty());
    EXPECT_EQ(categoryName(2), "synth");
    EXPECT_EQ(categoryName(11), "generator");
    EXPECT_EQ(categoryName(-3), "category -3");
    EXPECT_EQ(jsonString("a\"b\\c\n\x1f"), "\"a\\\"b\\\\c\\n\\u001F\"");
    EXPECT_EQ(jsonString("\xE9"), "\"\xC3\xA9\"");               // Latin-1 read as such
    EXPECT_EQ(jsonString("\xC3\xA9"), "\"\xC3\xA9\"");           // UTF-8 kept
    EXPECT_EQ(jsonString("\xC0\x80"), "\"\xC3\x80\xC2\x80\"");   // overlong form is not UTF-8
    EXPECT_EQ(jsonString("\xE2\x82"), "\"\xC3\xA2\xC2\x82\"");   // cut-off sequence
    EXPECT_EQ(printableText(""), "(empty)");
}

TEST(RenderSummary, OneLineWithLengthLevelsClipsAndSpeed) {
    WavLevels levels;
    levels.frames = 88200;
    levels.peak = 0.5;
    levels.sumOfSquares = 0.25 * 2 * 88200;   // RMS 0.5
    levels.clippedSamples = 3;
    EXPECT_EQ(formatSummary("out.wav", levels, 44100, 0.5),
              "out.wav: 2.00 s at 44100 Hz, peak -6.0 dBFS, RMS -6.0 dBFS, 3 clipped samples, 4.0x real time");
    levels.nonFiniteSamples = 2;
    levels.peak = 0;
    levels.sumOfSquares = 0;
    EXPECT_EQ(formatSummary("o", levels, 44100, 0.0),
              "o: 2.00 s at 44100 Hz, peak -inf dBFS, RMS -inf dBFS, 3 clipped samples, 2 NaN or infinite samples "
              "written as 0, too fast to time");
}

TEST(RenderInfo, ProgramsAreFoundByExactNameThenByAUniqueStartThenAnywhereInAnyCase) {
    const std::vector<std::string> names{"Classiq", "Rave bass", "Walking Bass", "Blank", "Blank", "blank 2", "Raw"};
    int32_t index = -1;
    std::string problem;
    EXPECT_TRUE(findProgram(names, "Rave bass", index, problem));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(findProgram(names, "walk", index, problem));
    EXPECT_EQ(index, 2);
    EXPECT_TRUE(findProgram(names, "Blank", index, problem));   // exact wins over the prefix of "blank 2"
    EXPECT_EQ(index, 3);
    EXPECT_TRUE(findProgram(names, "RAW", index, problem));
    EXPECT_EQ(index, 6);
    EXPECT_TRUE(findProgram(names, "ssiq", index, problem));   // anywhere in the name
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(findProgram(names, "BASS", index, problem));
    EXPECT_EQ(problem, "'BASS' fits 2 programs: 1 'Rave bass', 2 'Walking Bass'; give more of the name, or the number");
    EXPECT_FALSE(findProgram(names, "ra", index, problem));
    EXPECT_EQ(problem, "'ra' fits 2 programs: 1 'Rave bass', 6 'Raw'; give more of the name, or the number");
    EXPECT_FALSE(findProgram(names, "Organ", index, problem));
    EXPECT_EQ(problem, "no program is named 'Organ' (--info lists them)");
}

TEST(RenderSummary, ProgressBarFitsTheTerminal) {
    for (int columns : {200, 80, 40, 30, 12, 1, 0}) {
        for (int64_t done : {int64_t(0), int64_t(22050), int64_t(88200)}) {
            const std::string line = ProgressBar::line(done, 44100, 88200, 44100.0, columns);
            EXPECT_LE(int(line.size()), std::max(columns - 1, 0)) << columns << ": " << line;
        }
    }
    EXPECT_EQ(ProgressBar::line(22050, 44100, 88200, 44100.0, 40), "[####...............]  25%  0.5 / 2.0 s");
    EXPECT_EQ(ProgressBar::line(22050, 44100, 88200, 44100.0, 20), "25%  0.5 / 2.0 s");
    EXPECT_EQ(ProgressBar::line(88200, 44100, -1, 44100.0, 200).substr(0, 52), "[" + std::string(50, '#') + "]");
}
