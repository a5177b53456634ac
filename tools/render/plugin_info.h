#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class PluginInstance;

// Everything a host learns about a plug-in by asking it, gathered once and then
// printed as text or JSON. Texts are kept as the plug-in wrote them.

struct ParameterInfo {
    std::string name;
    std::string display;
    std::string label;
};

struct PinInfo {
    std::string label;
    std::string shortLabel;
    int32_t flags = 0;
};

struct CanDoAnswer {
    std::string text;
    intptr_t answer = 0;   // 1 yes, -1 no, 0 does not know
};

struct PluginInfo {
    std::string path;
    std::string name;
    std::string vendor;
    std::string product;
    intptr_t vendorVersion = 0;
    intptr_t vstVersion = 0;
    int32_t uniqueId = 0;
    intptr_t category = 0;
    int32_t inputs = 0;
    int32_t outputs = 0;
    int32_t flags = 0;
    int32_t programCount = 0;
    int32_t currentProgram = 0;
    std::vector<std::string> programNames;       // at most kMaxListed
    int32_t parameterCount = 0;
    std::vector<ParameterInfo> parameters;       // at most kMaxListed
    std::vector<PinInfo> outputPins;             // only pins the plug-in describes
    std::vector<CanDoAnswer> canDo;

    static constexpr int32_t kMaxListed = 1024;
};

// The can-do texts a host usually asks about.
const std::vector<std::string>& usualCanDoTexts();

// Asks an opened instance everything above. Program names come from
// effGetProgramNameIndexed; a plug-in that does not answer it is asked through
// effSetProgram + effGetProgramName and then set back to its current program.
PluginInfo gatherPluginInfo(PluginInstance& plugin, const std::string& path);

// The names of programs 0 .. count − 1, asked as gatherPluginInfo does.
std::vector<std::string> programNames(PluginInstance& plugin, int32_t count);

// The program --program NAME means: the one named exactly so, else the only one
// whose name starts with it, else the only one whose name holds it anywhere,
// ignoring case. Otherwise false with a one-line reason listing the candidates.
bool findProgram(const std::vector<std::string>& names, const std::string& wanted, int32_t& index,
                 std::string& problem);

std::string formatInfoText(const PluginInfo& info);
std::string formatInfoJson(const PluginInfo& info);

// Pieces of the formats, kept visible for tests.
std::string fourCharText(int32_t code);           // 'Trlx'; bytes outside ASCII as \xNN
std::vector<std::string> flagNames(int32_t flags); // "IsSynth"...; unknown bits as "0x..."
std::string categoryName(intptr_t category);
std::string canDoAnswerText(intptr_t answer);
// Valid UTF-8 stays as it is; any other text is read as Latin-1. Then every
// quote, backslash and control character is escaped.
std::string jsonString(std::string_view text);
// For one-line text output: control characters as \xNN.
std::string printableText(std::string_view text);
