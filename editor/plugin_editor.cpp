#include "host/plugin_editor.h"

#include <new>

#include "editor/synth_editor.h"
#include "programs/parameter_table.h"

EditorBase* createPluginEditor(EffectBase* owner, PanelClient& client) {
    return new (std::nothrow) SynthEditor(owner, client);
}

bool pluginEditorHasPanel() { return SynthEditor::hasPanel(); }

// The displays that show a parameter follow it at once; the others wait for
// the next update.
void SynthEditor::setParameterFromPanel(int32_t index, float value) {
    if (client) client->setParameterFromPanel(index, value);
    if (index >= Param::AmpAttack && index <= Param::AmpRelease) refreshDisplay(DisplayId::Envelope);
    else if (index >= Param::Osc1Level && index <= Param::Osc1Shift) refreshDisplay(DisplayId::Wave1);
    else if (index >= Param::Osc2Level && index <= Param::Osc2Shift) refreshDisplay(DisplayId::Wave2);
    else if (index >= Param::Osc3Level && index <= Param::Osc3Shift) refreshDisplay(DisplayId::Wave3);
    refreshDisplay(DisplayId::Readout);
}
