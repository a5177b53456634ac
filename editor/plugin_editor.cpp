#include "host/plugin_editor.h"

#include <new>

#include "editor/synth_editor.h"

EditorBase* createPluginEditor(EffectBase* owner, PanelClient& client) {
    return new (std::nothrow) SynthEditor(owner, client);
}

bool pluginEditorHasPanel() { return SynthEditor::hasPanel(); }

// The displays that show a parameter follow it at once; the others wait for
// the next update.
void SynthEditor::setParameterFromPanel(int32_t index, float value) {
    if (client) client->setParameterFromPanel(index, value);
    DisplayId display;
    if (displayOfParameter(index, display)) refreshDisplay(display);
    refreshDisplay(DisplayId::Readout);
}
