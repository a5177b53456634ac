#pragma once
#include <cstdint>

#include "editor/panel_client.h"
#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "editor/pixel_canvas.h"

struct _XDisplay;
struct _XGC;
struct _XImage;

// The panel on Linux: one child window of 664 x 441 in the host's window,
// on a display connection of its own, drawn from the shared canvas. It
// starts no thread: the host's idle calls run its events on the host's
// user-interface thread.
class X11Panel {
public:
    // Null when the display cannot be opened, the parent does not exist or
    // the artwork cannot be decoded; nothing is left behind then.
    static X11Panel* create(unsigned long parent, PanelClient& client);
    ~X11Panel();
    X11Panel(const X11Panel&) = delete;
    X11Panel& operator=(const X11Panel&) = delete;

    unsigned long window() const { return window_; }
    bool dragging() const { return drag_.active; }

    // Handles every event that is waiting, without blocking.
    void processEvents();
    // The pointer in panel coordinates; false when it is on another screen.
    bool pointer(int32_t& x, int32_t& y);

    // The value readout of parameter: shown at (x, y), or hidden.
    void showReadout(int32_t x, int32_t y, int32_t parameter);
    void hideReadout();
    bool readoutVisible() const { return readout_.visible; }

    // A control moved: stores the value and shows at once the displays that
    // show it and the readout.
    void setParameterFromPanel(int32_t parameter, float value);
    // Redraws from the current program and shows the result.
    void repaintAll();
    void repaintControl(int32_t parameter);
    void repaintDisplay(DisplayId id);

private:
    explicit X11Panel(PanelClient& client) : client_(client) {}
    float value(int32_t parameter) const;
    bool open(unsigned long parent);
    bool failed();
    // After the window is gone or a request failed the panel sends nothing
    // more until it is closed.
    bool quiet() const { return windowGone_ || !errors_ || *errors_ != 0; }
    void render();
    void show(const PanelRect& area);
    void showWithReadout(const PanelRect& area);
    // Where the readout lies with its current text, and showing what changed
    // there since it was last shown (its width follows the text).
    PanelRect readoutRect() const;
    void showReadoutChange();
    void handlePress(int32_t x, int32_t y, unsigned int button, int32_t rootX, int32_t rootY);
    void handleMotion(int32_t x, int32_t y, int32_t rootY, unsigned int state);
    void endDrag();
    const PanelControl* controlAt(int32_t x, int32_t y) const;

    PanelClient& client_;
    const PanelArtwork* art_ = nullptr;
    _XDisplay* display_ = nullptr;
    unsigned long window_ = 0;
    unsigned long root_ = 0;
    _XGC* gc_ = nullptr;
    _XImage* image_ = nullptr;
    unsigned long hiddenCursor_ = 0;
    unsigned long knobCursor_ = 0;
    bool knobCursorShown_ = false;
    int* errors_ = nullptr;     // X errors of this connection; kept by the connection
    bool windowGone_ = false;   // destroyed with the host's window
    PixelImage canvas_{kEditorWidth, kEditorHeight};

    struct Drag {
        bool active = false;
        int32_t parameter = -1;
        int32_t anchorX = 0;   // root window position of the press; the hidden pointer stays here
        int32_t anchorY = 0;
    } drag_;
    struct Readout {
        bool visible = false;
        int32_t x = 0, y = 0;
        int32_t parameter = 0;
    } readout_;
    PanelRect readoutShown_{0, 0, 0, 0};   // the readout's area on screen; empty when hidden
};
