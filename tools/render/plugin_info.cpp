#include "tools/render/plugin_info.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/render/lower_case.h"
#include "vsthost/plugin_instance.h"

namespace {

constexpr int32_t effFlagsCanDoubleReplacing = 1 << 12;

struct NamedFlag {
    int32_t bit;
    const char* name;
};

constexpr NamedFlag kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},         {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},                 {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},   {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},             {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},       {effFlagsExtHasBuffer, "ExtHasBuffer"},
    {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

constexpr const char* kCategoryNames[] = {"unknown",     "effect",      "synth",      "analysis",
                                          "mastering",   "spacializer", "room effect", "surround effect",
                                          "restoration", "offline",     "shell",      "generator"};

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int more = 0;
        uint32_t codePoint = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            codePoint = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            codePoint = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= text.size()) return false;   // sequence cut off by the end
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            codePoint = (codePoint << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((more == 2 && codePoint < 0x800) || (more == 3 && codePoint < 0x10000) || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string pinFlagsText(int32_t flags) {
    std::string text;
    if (flags & kVstPinIsActive) text += "active";
    if (flags & kVstPinIsStereo) text += text.empty() ? "stereo" : ", stereo";
    const int32_t others = flags & ~(kVstPinIsActive | kVstPinIsStereo);
    if (others) text += (text.empty() ? "" : ", ") + hex32(static_cast<uint32_t>(others));
    return text.empty() ? "no flags" : text;
}

}  // namespace

const std::vector<std::string>& usualCanDoTexts() {
    static const std::vector<std::string> texts = {
        "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo", "sendVstEvents", "sendVstMidiEvent",
        "midiProgramNames", "bypass",              "offline",            "noRealTime",    "1in2out",
        "2in2out",          "0in2out"};
    return texts;
}

std::string fourCharText(int32_t code) {
    std::string text = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(static_cast<uint32_t>(code) >> shift);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '\'') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            text += escaped;
        }
    }
    return text + "'";
}

std::vector<std::string> flagNames(int32_t flags) {
    std::vector<std::string> names;
    int32_t known = 0;
    for (const NamedFlag& flag : kFlagNames) {
        known |= flag.bit;
        if (flags & flag.bit) names.emplace_back(flag.name);
    }
    const uint32_t unknown = static_cast<uint32_t>(flags) & ~static_cast<uint32_t>(known);
    if (unknown) names.push_back(hex32(unknown));
    return names;
}

std::string categoryName(intptr_t category) {
    if (category >= 0 && category < static_cast<intptr_t>(std::size(kCategoryNames)))
        return kCategoryNames[category];
    return "category " + std::to_string(category);
}

std::string canDoAnswerText(intptr_t answer) {
    if (answer > 0) return "yes";
    if (answer < 0) return "no";
    return "don't know";
}

std::string jsonString(std::string_view text) {
    const std::string utf8 = isValidUtf8(text) ? std::string(text) : latin1ToUtf8(text);
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

std::string printableText(std::string_view text) {
    if (text.empty()) return "(empty)";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out;
}

std::vector<std::string> programNames(PluginInstance& plugin, int32_t count) {
    std::vector<std::string> names;
    const intptr_t current = plugin.dispatch(effGetProgram);
    bool indexedNames = true;
    for (int32_t p = 0; p < count; ++p) {
        char buffer[512] = {};
        if (indexedNames && plugin.dispatch(effGetProgramNameIndexed, p, 0, buffer) == 0 && buffer[0] == '\0')
            indexedNames = false;
        if (!indexedNames) {
            // The older way: select each program in turn and ask for its name.
            plugin.dispatch(effSetProgram, 0, p);
            std::memset(buffer, 0, sizeof buffer);
            plugin.dispatch(effGetProgramName, 0, 0, buffer);
        }
        buffer[sizeof buffer - 1] = '\0';
        names.emplace_back(buffer);
    }
    if (!indexedNames && current >= 0 && current < count) plugin.dispatch(effSetProgram, 0, current);
    return names;
}

bool findProgram(const std::vector<std::string>& names, const std::string& wanted, int32_t& index,
                 std::string& problem) {
    for (size_t p = 0; p < names.size(); ++p) {
        if (names[p] == wanted) {
            index = static_cast<int32_t>(p);
            return true;
        }
    }
    // A unique start of a name wins over the same text inside other names, so
    // "bass" stays the one program that starts with it.
    const std::string part = lowerCase(wanted);
    std::vector<int32_t> starts, matches;
    for (size_t p = 0; p < names.size(); ++p) {
        const size_t at = lowerCase(names[p]).find(part);
        if (at == 0) starts.push_back(static_cast<int32_t>(p));
        if (at != std::string::npos) matches.push_back(static_cast<int32_t>(p));
    }
    if (starts.size() == 1 || matches.size() == 1) {
        index = starts.size() == 1 ? starts[0] : matches[0];
        return true;
    }
    if (matches.empty()) {
        problem = "no program is named '" + printableText(wanted) + "' (--info lists them)";
        return false;
    }
    problem = "'" + printableText(wanted) + "' fits " + std::to_string(matches.size()) + " programs:";
    const size_t shown = std::min<size_t>(matches.size(), 4);
    for (size_t k = 0; k < shown; ++k)
        problem += std::string(k ? ", " : " ") + std::to_string(matches[k]) + " '" + printableText(names[matches[k]]) + "'";
    problem += std::string(matches.size() > shown ? ", ..." : "") + "; give more of the name, or the number";
    return false;
}

PluginInfo gatherPluginInfo(PluginInstance& plugin, const std::string& path) {
    PluginInfo info;
    AEffect* effect = plugin.effect();
    info.path = path;
    info.name = plugin.text(effGetEffectName);
    info.vendor = plugin.text(effGetVendorString);
    info.product = plugin.text(effGetProductString);
    info.vendorVersion = plugin.dispatch(effGetVendorVersion);
    info.vstVersion = plugin.dispatch(effGetVstVersion);
    info.uniqueId = effect->uniqueID;
    info.category = plugin.dispatch(effGetPlugCategory);
    info.inputs = effect->numInputs;
    info.outputs = effect->numOutputs;
    info.flags = effect->flags;
    info.programCount = effect->numPrograms;
    info.parameterCount = effect->numParams;
    info.currentProgram = static_cast<int32_t>(plugin.dispatch(effGetProgram));

    info.programNames = programNames(plugin, std::min(info.programCount, PluginInfo::kMaxListed));

    const int32_t parameters = std::clamp(info.parameterCount, 0, PluginInfo::kMaxListed);
    for (int32_t p = 0; p < parameters; ++p)
        info.parameters.push_back(ParameterInfo{plugin.text(effGetParamName, p), plugin.text(effGetParamDisplay, p),
                                                plugin.text(effGetParamLabel, p)});

    const int32_t pins = std::clamp(info.outputs, 0, 64);
    for (int32_t p = 0; p < pins; ++p) {
        VstPinProperties pin{};
        if (plugin.dispatch(effGetOutputProperties, p, 0, &pin) == 0) continue;
        pin.label[sizeof pin.label - 1] = '\0';
        char shortLabel[sizeof pin.shortLabel + 1] = {};
        std::memcpy(shortLabel, pin.shortLabel, sizeof pin.shortLabel);   // may fill all 8 bytes
        info.outputPins.push_back(PinInfo{pin.label, shortLabel, pin.flags});
    }

    for (const std::string& text : usualCanDoTexts()) {
        char buffer[64] = {};
        std::memcpy(buffer, text.c_str(), std::min(text.size(), sizeof buffer - 1));
        info.canDo.push_back(CanDoAnswer{text, plugin.dispatch(effCanDo, 0, 0, buffer)});
    }
    return info;
}

std::string formatInfoText(const PluginInfo& info) {
    std::string out;
    auto line = [&out](const std::string& key, const std::string& value) { out += key + ": " + value + "\n"; };
    line("plug-in", printableText(info.path));
    line("name", printableText(info.name));
    line("vendor", printableText(info.vendor));
    line("product", printableText(info.product));
    line("vendor version", std::to_string(info.vendorVersion));
    line("VST version", std::to_string(info.vstVersion));
    line("unique ID", fourCharText(info.uniqueId) + " (" + hex32(static_cast<uint32_t>(info.uniqueId)) + ")");
    line("category", categoryName(info.category));
    line("inputs", std::to_string(info.inputs));
    line("outputs", std::to_string(info.outputs));
    std::string flags;
    for (const std::string& name : flagNames(info.flags)) flags += (flags.empty() ? "" : " ") + name;
    line("flags", flags.empty() ? "none" : flags);

    std::string programs = std::to_string(info.programCount) + " (current " + std::to_string(info.currentProgram) + ")";
    if (info.programCount > static_cast<int32_t>(info.programNames.size()))
        programs += ", the first " + std::to_string(info.programNames.size()) + " listed";
    if (!info.programNames.empty()) programs += "; numbered as --program counts them";
    line("programs", programs);
    for (size_t p = 0; p < info.programNames.size(); ++p)
        out += "  " + std::to_string(p) + "  " + printableText(info.programNames[p]) + "\n";
    std::string parameters = std::to_string(info.parameterCount);
    if (info.parameterCount > static_cast<int32_t>(info.parameters.size()))
        parameters += ", the first " + std::to_string(info.parameters.size()) + " listed";
    line("parameters", parameters);
    for (size_t p = 0; p < info.parameters.size(); ++p) {
        const ParameterInfo& parameter = info.parameters[p];
        std::string value = printableText(parameter.display);
        if (!parameter.label.empty()) value += " [" + printableText(parameter.label) + "]";
        out += "  " + std::to_string(p) + "  " + printableText(parameter.name) + " = " + value + "\n";
    }
    line("output pins", std::to_string(info.outputPins.size()));
    for (size_t p = 0; p < info.outputPins.size(); ++p) {
        const PinInfo& pin = info.outputPins[p];
        out += "  " + std::to_string(p) + "  " + printableText(pin.label);
        if (!pin.shortLabel.empty()) out += " [" + printableText(pin.shortLabel) + "]";
        out += " (" + pinFlagsText(pin.flags) + ")\n";
    }
    out += "can do:\n";
    for (const CanDoAnswer& answer : info.canDo) out += "  " + answer.text + ": " + canDoAnswerText(answer.answer) + "\n";
    return out;
}

std::string formatInfoJson(const PluginInfo& info) {
    std::string out = "{\n";
    auto field = [&out](const char* key, const std::string& json, bool last = false) {
        out += std::string("  \"") + key + "\": " + json + (last ? "\n" : ",\n");
    };
    const std::string fourChars = fourCharText(info.uniqueId);
    field("plugin", jsonString(info.path));
    field("name", jsonString(info.name));
    field("vendor", jsonString(info.vendor));
    field("product", jsonString(info.product));
    field("vendorVersion", std::to_string(info.vendorVersion));
    field("vstVersion", std::to_string(info.vstVersion));
    field("uniqueId", jsonString(fourChars.substr(1, fourChars.size() - 2)));
    field("uniqueIdNumber", std::to_string(info.uniqueId));
    field("category", jsonString(categoryName(info.category)));
    field("categoryNumber", std::to_string(info.category));
    field("inputs", std::to_string(info.inputs));
    field("outputs", std::to_string(info.outputs));
    std::string flags = "[";
    for (const std::string& name : flagNames(info.flags)) flags += (flags.size() > 1 ? ", " : "") + jsonString(name);
    field("flags", flags + "]");
    field("flagsNumber", std::to_string(info.flags));
    field("programCount", std::to_string(info.programCount));
    field("currentProgram", std::to_string(info.currentProgram));

    std::string programs = "[";
    for (size_t p = 0; p < info.programNames.size(); ++p)
        programs += std::string(p ? ",\n    " : "\n    ") + jsonString(info.programNames[p]);
    field("programs", programs + (info.programNames.empty() ? "]" : "\n  ]"));
    field("parameterCount", std::to_string(info.parameterCount));

    std::string parameters = "[";
    for (size_t p = 0; p < info.parameters.size(); ++p) {
        const ParameterInfo& parameter = info.parameters[p];
        parameters += std::string(p ? ",\n    " : "\n    ") + "{\"index\": " + std::to_string(p) +
                      ", \"name\": " + jsonString(parameter.name) + ", \"display\": " + jsonString(parameter.display) +
                      ", \"label\": " + jsonString(parameter.label) + "}";
    }
    field("parameters", parameters + (info.parameters.empty() ? "]" : "\n  ]"));

    std::string pins = "[";
    for (size_t p = 0; p < info.outputPins.size(); ++p) {
        const PinInfo& pin = info.outputPins[p];
        pins += std::string(p ? ",\n    " : "\n    ") + "{\"label\": " + jsonString(pin.label) +
                ", \"shortLabel\": " + jsonString(pin.shortLabel) + ", \"flags\": " + std::to_string(pin.flags) + "}";
    }
    field("outputPins", pins + (info.outputPins.empty() ? "]" : "\n  ]"));

    std::string canDo = "{";
    for (size_t i = 0; i < info.canDo.size(); ++i)
        canDo += std::string(i ? ",\n    " : "\n    ") + jsonString(info.canDo[i].text) + ": " +
                 jsonString(canDoAnswerText(info.canDo[i].answer));
    field("canDo", canDo + (info.canDo.empty() ? "}" : "\n  }"), true);
    return out + "}\n";
}
