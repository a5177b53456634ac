#pragma once
#include "host/editor_base.h"
#include "host/panel_client.h"

class EffectBase;

// The editor layer builds the plug-in's editor; the plug-in knows it only as
// an EditorBase that talks back through a PanelClient. Null when it cannot be
// allocated.
EditorBase* createPluginEditor(EffectBase* owner, PanelClient& client);

// False in a build without a window system for the panel: the plug-in then
// claims no editor.
bool pluginEditorHasPanel();
