#pragma once

// The names the bundle and the plug-in share. They are stored in sessions and
// presets: never change one.
#define VORZLE_LV2_URI "urn:harvane:vorzle"
#define VORZLE_LV2_UI_URI VORZLE_LV2_URI ":ui"
#define VORZLE_LV2_PRESET_PREFIX VORZLE_LV2_URI ":preset:"
#define VORZLE_LV2_BANK_PREFIX VORZLE_LV2_URI ":bank:"
// State that ports cannot hold: the current program, the values that sound
// (MIDI may have moved them away from the ports) and the port values they
// were last taken from.
#define VORZLE_LV2_STATE_PROGRAM VORZLE_LV2_URI "#program"
#define VORZLE_LV2_STATE_SOUND VORZLE_LV2_URI "#sound"
#define VORZLE_LV2_STATE_PORTS_SEEN VORZLE_LV2_URI "#portsSeen"

// The module files inside Vorzle.lv2.
#define VORZLE_LV2_DSP_BINARY "vorzle_dsp.so"
#define VORZLE_LV2_UI_BINARY "vorzle_ui.so"
