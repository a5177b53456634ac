#pragma once
#include <windows.h>
#include <commctrl.h>

// Graphics shared by every editor of every instance: made when the module is
// attached to the process, released when it is detached.
struct GuiResources {
    HINSTANCE instance = nullptr;   // this module, saved by the entry point
    HFONT readoutFont = nullptr;
    HBRUSH displayBrush = nullptr;  // pattern of the display bitmap
    HBRUSH blackBrush = nullptr;
    int buttonFrameWidth = 0;       // one of the two button faces
    int buttonFrameHeight = 0;
    HIMAGELIST buttonImages = nullptr;  // frame 0 on, frame 1 off
    HIMAGELIST knobImages = nullptr;    // 90 frames, value 0 to value 1
    HIMAGELIST digitImages = nullptr;   // blank, 0..9, minus
};

extern GuiResources guiResources;

// Bitmap resource ids inside the module.
constexpr int kButtonBitmapId = 102;
constexpr int kBackgroundBitmapId = 103;
constexpr int kKnobBitmapId = 104;
constexpr int kDisplayBitmapId = 113;
constexpr int kDigitsBitmapId = 118;

// False when a bitmap or an image list cannot be made; what was made before
// stays for freeGuiResources.
bool loadGuiResources();
// Releases whatever loadGuiResources made; safe to call again.
void freeGuiResources();
