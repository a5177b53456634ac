#include "vst2/plugin_editor.h"

#include <new>

#include "editor/synth_editor.h"

namespace {

// Handed out to the host, valid for the module's life.
ERect editorRect = {0, 0, 0, 0};

// The VST 2 editor calls, answered by the panel.
class PluginEditor : public EditorBase {
public:
    PluginEditor(EffectBase* owner, PanelClient& client) : EditorBase(owner), panel(client, owner) {}

    intptr_t getRect(ERect** rect) override {
        editorRect = ERect{0, 0, static_cast<int16_t>(kEditorHeight), static_cast<int16_t>(kEditorWidth)};
        if (rect) *rect = &editorRect;
        return 1;
    }
    intptr_t open(void* parent) override {
        parentWindow = parent;
        return panel.open(parent) ? 1 : 0;
    }
    void close() override { panel.close(); }
    void idle() override {
        panel.idle();
        EditorBase::idle();
    }
    void update() override { panel.update(); }

private:
    SynthEditor panel;
};

}  // namespace

EditorBase* createPluginEditor(EffectBase* owner, PanelClient& client) {
    return new (std::nothrow) PluginEditor(owner, client);
}

bool pluginEditorHasPanel() { return SynthEditor::hasPanel(); }
