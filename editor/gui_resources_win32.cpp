#include <windows.h>
#include <commctrl.h>

#include "editor/gui_resources.h"

GuiResources guiResources;

namespace {

HBITMAP loadModuleBitmap(int id) { return LoadBitmapA(guiResources.instance, MAKEINTRESOURCEA(id)); }

// Cuts a film-strip bitmap into the frames of a new image list; the bitmap
// is deleted whatever happens.
HIMAGELIST makeImageList(HBITMAP strip, int frameWidth, int frameHeight, int initialImages) {
    HIMAGELIST list = ImageList_Create(frameWidth, frameHeight, ILC_COLOR24, initialImages, 0);
    if (!list) {
        if (strip) DeleteObject(strip);
        return nullptr;
    }
    if (!strip || ImageList_Add(list, strip, nullptr) < 0) {
        if (strip) DeleteObject(strip);
        ImageList_Destroy(list);
        return nullptr;
    }
    DeleteObject(strip);
    return list;
}

template <typename Handle>
void deleteGdiObject(Handle& handle) {
    if (handle) DeleteObject(handle);
    handle = nullptr;
}

void destroyImageList(HIMAGELIST& list) {
    if (list) ImageList_Destroy(list);
    list = nullptr;
}

}  // namespace

bool loadGuiResources() {
    GuiResources& r = guiResources;
    r.readoutFont = CreateFontA(8, 8, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                                CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "MS Sans Serif");

    HBITMAP button = loadModuleBitmap(kButtonBitmapId);
    if (!button) return false;
    BITMAP description;
    if (GetObjectA(button, sizeof description, &description) != sizeof description) {
        DeleteObject(button);
        return false;
    }
    r.buttonFrameWidth = description.bmWidth / 2;
    r.buttonFrameHeight = description.bmHeight;
    r.buttonImages = makeImageList(button, r.buttonFrameWidth, r.buttonFrameHeight, 2);
    if (!r.buttonImages) return false;

    HBITMAP display = loadModuleBitmap(kDisplayBitmapId);
    r.displayBrush = CreatePatternBrush(display);
    if (display) DeleteObject(display);
    r.blackBrush = CreateSolidBrush(RGB(0, 0, 0));

    r.knobImages = makeImageList(loadModuleBitmap(kKnobBitmapId), 40, 40, 89);
    if (!r.knobImages) return false;
    r.digitImages = makeImageList(loadModuleBitmap(kDigitsBitmapId), 9, 16, 12);
    if (!r.digitImages) return false;
    return true;
}

void freeGuiResources() {
    GuiResources& r = guiResources;
    deleteGdiObject(r.readoutFont);
    deleteGdiObject(r.displayBrush);
    deleteGdiObject(r.blackBrush);
    destroyImageList(r.buttonImages);
    destroyImageList(r.knobImages);
    destroyImageList(r.digitImages);
}
