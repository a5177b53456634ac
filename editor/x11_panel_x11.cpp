#include "editor/x11_panel.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "editor/control_values.h"
#include "editor/display_probe.h"
#include "editor/panel_values.h"

// Xlib's hooks for a connection's errors; the header also defines min and max.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {

// How long a display may take to answer before the panel gives up on it.
constexpr int kDisplayAnswerMilliseconds = 1500;

constexpr long kPanelEvents =
    ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | StructureNotifyMask;

// X errors of the panel's requests (a parent window that does not exist, a
// window the host destroyed first) are counted on the panel's own connection
// and go no further. Xlib passes each error of a connection through that
// connection's converters before the process-wide handler, and a converter
// that answers False ends it there. So the host's handler is never replaced:
// no two threads can leave the wrong one installed, and no X error of the
// host can reach this module after it is unloaded. The count lives on the
// connection and goes with it.
struct ErrorRecord {
    XExtData data;   // first: Xlib frees the record through it
    int errors;
};

int keepRecord(XExtData*) { return 0; }   // marks the record; freed with its XExtData

ErrorRecord* errorRecord(Display* display) {
    XEDataObject object;
    object.display = display;
    for (XExtData* data = *XEHeadOfExtensionList(object); data; data = data->next)
        if (data->free_private == keepRecord) return reinterpret_cast<ErrorRecord*>(data);
    return nullptr;
}

Bool countError(Display* display, XErrorEvent*, xError*) {
    if (ErrorRecord* record = errorRecord(display)) ++record->errors;
    return False;
}

// The error count of a new connection, or null when it cannot be kept.
int* trapErrors(Display* display) {
    XExtCodes* codes = XAddExtension(display);
    auto* record = static_cast<ErrorRecord*>(std::calloc(1, sizeof(ErrorRecord)));
    if (!codes || !record) {
        std::free(record);
        return nullptr;
    }
    record->data.number = codes->extension;
    record->data.free_private = keepRecord;
    XEDataObject object;
    object.display = display;
    XAddToExtensionList(XEHeadOfExtensionList(object), &record->data);
    for (int code = 0; code < 256; ++code) XESetWireToError(display, code, countError);
    return &record->errors;
}

bool inside(const PanelRect& r, int32_t x, int32_t y) {
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

// How far a channel mask is shifted, and how many bits it has.
void maskShape(unsigned long mask, int& shift, int& bits) {
    shift = 0, bits = 0;
    if (!mask) return;
    while (!(mask & 1)) mask >>= 1, ++shift;
    while (mask & 1) mask >>= 1, ++bits;
}

unsigned long channel(uint32_t value8, unsigned long mask) {
    int shift, bits;
    maskShape(mask, shift, bits);
    const unsigned long scaled = bits >= 8 ? value8 << (bits - 8) : value8 >> (8 - bits);
    return (scaled << shift) & mask;
}

}  // namespace

X11Panel* X11Panel::create(unsigned long parent, PanelClient& client) {
    if (!parent) return nullptr;
    X11Panel* panel = new (std::nothrow) X11Panel(client);
    if (panel && !panel->open(parent)) {
        delete panel;
        panel = nullptr;
    }
    return panel;
}

float X11Panel::value(int32_t parameter) const { return client_.parameterValue(parameter); }

// The displays that show a parameter follow it at once; the others wait for
// the next update.
void X11Panel::setParameterFromPanel(int32_t parameter, float value) {
    client_.setParameterFromPanel(parameter, value);
    DisplayId display;
    if (displayOfParameter(parameter, display)) repaintDisplay(display);
    repaintDisplay(DisplayId::Readout);
}

// Errors of requests still in flight arrive with the round trip.
bool X11Panel::failed() {
    XSync(display_, False);
    return *errors_ != 0;
}

bool X11Panel::open(unsigned long parent) {
    art_ = panelArtwork();
    if (!art_) return false;
    // The host waits on the open: a server that never answers is given up on.
    const char* name = XDisplayName(nullptr);
    if (!displayAnswers(name, kDisplayAnswerMilliseconds)) return false;
    display_ = XOpenDisplay(name);
    if (!display_) return false;
    errors_ = trapErrors(display_);
    if (!errors_) return false;
    XWindowAttributes host;
    if (!XGetWindowAttributes(display_, parent, &host) || failed()) return false;
    root_ = host.root;

    XSetWindowAttributes attributes = {};
    attributes.event_mask = kPanelEvents;
    attributes.background_pixmap = None;   // every pixel comes from the canvas
    window_ = XCreateWindow(display_, parent, 0, 0, kEditorWidth, kEditorHeight, 0, CopyFromParent, InputOutput,
                            CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
    if (failed() || !window_) return false;
    gc_ = XCreateGC(display_, window_, 0, nullptr);

    char* pixels = static_cast<char*>(std::calloc(static_cast<size_t>(kEditorWidth) * kEditorHeight, 4));
    if (!pixels) return false;
    image_ = XCreateImage(display_, host.visual, static_cast<unsigned>(host.depth), ZPixmap, 0, pixels, kEditorWidth,
                          kEditorHeight, 32, 0);
    if (!image_) {
        std::free(pixels);
        return false;
    }

    if (failed()) return false;

    // While a knob is dragged the pointer is grabbed with an empty cursor.
    // A server without cursors (no cursor font) still gets a working panel.
    char empty = 0;
    Pixmap blank = XCreateBitmapFromData(display_, window_, &empty, 1, 1);
    XColor black = {};
    hiddenCursor_ = XCreatePixmapCursor(display_, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display_, blank);
    knobCursor_ = XCreateFontCursor(display_, XC_sb_v_double_arrow);
    if (failed()) {
        hiddenCursor_ = knobCursor_ = 0;
        *errors_ = 0;
    }

    render();
    XMapWindow(display_, window_);
    // Shown at once where the host's window is already on screen; elsewhere
    // the first Expose, at the host's next idle, shows it.
    show({0, 0, kEditorWidth, kEditorHeight});
    return !failed();
}

// Closing the connection frees whatever the server still holds for it; a
// window that went down with the host's window is not destroyed twice.
X11Panel::~X11Panel() {
    if (!display_) return;
    if (!quiet()) {
        endDrag();
        if (window_) XDestroyWindow(display_, window_);
    }
    if (image_) XDestroyImage(image_);   // frees the pixels too
    if (gc_) XFreeGC(display_, gc_);
    XCloseDisplay(display_);
}

void X11Panel::processEvents() {
    while (!quiet() && XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
            case Expose: {
                const XExposeEvent& e = event.xexpose;
                show({e.x, e.y, e.width, e.height});
                break;
            }
            case ButtonPress: {
                const XButtonEvent& e = event.xbutton;
                handlePress(e.x, e.y, e.button, e.x_root, e.y_root);
                break;
            }
            case ButtonRelease:
                if (event.xbutton.button == Button1) endDrag();
                break;
            case MotionNotify: {
                // Only the latest position counts: the pointer goes back to
                // the anchor after each step, so queued moves are stale.
                while (XCheckTypedWindowEvent(display_, window_, MotionNotify, &event)) {
                }
                const XMotionEvent& e = event.xmotion;
                handleMotion(e.x, e.y, e.y_root, e.state);
                break;
            }
            case DestroyNotify:
                if (event.xdestroywindow.window == window_) windowGone_ = true;
                break;
            default:
                break;
        }
    }
}

bool X11Panel::pointer(int32_t& x, int32_t& y) {
    if (quiet()) return false;
    Window root, child;
    int rootX, rootY, windowX, windowY;
    unsigned int mask;
    if (!XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &windowX, &windowY, &mask) || quiet())
        return false;
    x = windowX;
    y = windowY;
    return true;
}

// The readout lies above every control, as on Windows, where it is the
// first child window.
const PanelControl* X11Panel::controlAt(int32_t x, int32_t y) const {
    if (readout_.visible && inside(readoutRect(), x, y)) return nullptr;
    const PanelControl* controls = panelControls();
    for (size_t i = 0; i < kPanelControlCount; ++i)
        if (controls[i].kind != ControlKind::Readout && inside(controlRect(controls[i]), x, y)) return &controls[i];
    return nullptr;
}

void X11Panel::handlePress(int32_t x, int32_t y, unsigned int button, int32_t rootX, int32_t rootY) {
    const PanelControl* control = controlAt(x, y);
    if (!control) return;
    const bool knobLike = control->kind == ControlKind::Knob || control->kind == ControlKind::Counter;
    if (knobLike && button == Button1) {
        drag_ = Drag{true, control->id, rootX, rootY};
        client_.panelEditBegins(control->id);
        XGrabPointer(display_, window_, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, hiddenCursor_, CurrentTime);
    } else if (control->kind == ControlKind::Button && (button == Button1 || button == Button3)) {
        client_.panelEditBegins(control->id);
        setParameterFromPanel(control->id, toggledValue(value(control->id)));
        client_.panelEditEnds(control->id);
        repaintControl(control->id);
    }
}

void X11Panel::handleMotion(int32_t x, int32_t y, int32_t rootY, unsigned int state) {
    if (drag_.active) {
        // The hidden pointer goes back to the anchor after every step, so a
        // drag is never stopped by the edge of the screen.
        XWarpPointer(display_, None, root_, 0, 0, 0, 0, drag_.anchorX, drag_.anchorY);
        const int32_t dy = rootY - drag_.anchorY;   // positive downwards
        if (dy == 0) return;
        const float next = draggedValue(value(drag_.parameter), dy, (state & ControlMask) != 0,
                                        (state & ShiftMask) != 0);
        setParameterFromPanel(drag_.parameter, next);
        repaintControl(drag_.parameter);
        return;
    }
    const PanelControl* control = controlAt(x, y);
    const bool overKnob = control && (control->kind == ControlKind::Knob || control->kind == ControlKind::Counter);
    if (overKnob == knobCursorShown_ || !knobCursor_) return;
    if (overKnob)
        XDefineCursor(display_, window_, knobCursor_);
    else
        XUndefineCursor(display_, window_);
    knobCursorShown_ = overKnob;
}

// The pointer comes back where the drag began and shows again.
void X11Panel::endDrag() {
    if (!drag_.active) return;
    XWarpPointer(display_, None, root_, 0, 0, 0, 0, drag_.anchorX, drag_.anchorY);
    XUngrabPointer(display_, CurrentTime);
    XFlush(display_);
    const int32_t parameter = drag_.parameter;
    drag_ = Drag{};
    client_.panelEditEnds(parameter);
}

void X11Panel::showReadout(int32_t x, int32_t y, int32_t parameter) {
    readout_ = Readout{true, x, y, parameter};
    render();
    showReadoutChange();
}

void X11Panel::hideReadout() {
    if (!readout_.visible) return;
    readout_.visible = false;
    render();
    showReadoutChange();
}

PanelRect X11Panel::readoutRect() const {
    return readoutArea(client_, PanelReadout{true, readout_.x, readout_.y, readout_.parameter});
}

void X11Panel::showReadoutChange() {
    const PanelRect now = readout_.visible ? readoutRect() : PanelRect{0, 0, 0, 0};
    if (readoutShown_.width > 0) show(readoutShown_);
    if (now.width > 0) show(now);
    readoutShown_ = now;
}

void X11Panel::repaintAll() {
    render();
    show({0, 0, kEditorWidth, kEditorHeight});
}

void X11Panel::repaintControl(int32_t parameter) {
    render();
    const PanelControl* controls = panelControls();
    for (size_t i = 0; i < kPanelControlCount; ++i)
        if (controls[i].id == parameter && controls[i].kind != ControlKind::Display &&
            controls[i].kind != ControlKind::Readout)
            showWithReadout(controlRect(controls[i]));
}

void X11Panel::repaintDisplay(DisplayId id) {
    render();
    if (id == DisplayId::Readout) {
        showReadoutChange();
        return;
    }
    const PanelControl* controls = panelControls();
    for (size_t i = 0; i < kPanelControlCount; ++i)
        if (controls[i].kind == ControlKind::Display && controls[i].id == static_cast<int32_t>(id))
            showWithReadout(controlRect(controls[i]));
}

void X11Panel::render() {
    if (quiet()) return;   // nothing would show it
    PixelCanvas panel = canvas_.canvas();
    const PanelReadout readout{readout_.visible, readout_.x, readout_.y, readout_.parameter};
    paintPanel(panel, *art_, client_, readout);
}

void X11Panel::showWithReadout(const PanelRect& area) {
    show(area);
    showReadoutChange();
}

void X11Panel::show(const PanelRect& area) {
    if (quiet()) return;
    const int32_t left = std::max(area.x, 0), top = std::max(area.y, 0);
    const int32_t right = std::min(area.x + area.width, kEditorWidth);
    const int32_t bottom = std::min(area.y + area.height, kEditorHeight);
    if (left >= right || top >= bottom) return;
    // 24-bit TrueColor with 32-bit pixels in this byte order is the canvas
    // itself; any other visual goes through the channel masks.
    const bool sameLayout = image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst &&
                            image_->red_mask == 0xFF0000 && image_->green_mask == 0xFF00 &&
                            image_->blue_mask == 0xFF;
    for (int32_t y = top; y < bottom; ++y) {
        const uint32_t* source = &canvas_.pixels[static_cast<size_t>(y) * kEditorWidth];
        if (sameLayout) {
            std::memcpy(image_->data + static_cast<size_t>(y) * image_->bytes_per_line + 4 * left, source + left,
                        4 * static_cast<size_t>(right - left));
            continue;
        }
        for (int32_t x = left; x < right; ++x) {
            const uint32_t p = source[x];
            XPutPixel(image_, x, y,
                      channel(p >> 16 & 0xFF, image_->red_mask) | channel(p >> 8 & 0xFF, image_->green_mask) |
                          channel(p & 0xFF, image_->blue_mask));
        }
    }
    XPutImage(display_, window_, gc_, image_, left, top, left, top, static_cast<unsigned>(right - left),
              static_cast<unsigned>(bottom - top));
    XFlush(display_);
}
