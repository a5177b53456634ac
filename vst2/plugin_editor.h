#pragma once
#include "editor/panel_client.h"
#include "vst2/editor_base.h"

class EffectBase;

// The plug-in's editor: the editor layer's panel behind the VST 2 editor
// calls. The plug-in knows it only as an EditorBase that talks back through a
// PanelClient. Null when it cannot be allocated.
EditorBase* createPluginEditor(EffectBase* owner, PanelClient& client);

// False in a build without a window system for the panel: the plug-in then
// claims no editor.
bool pluginEditorHasPanel();
