// Writes the desktop panel (the plug-in's instrument painted by the
// editor core, as the X11 and Windows panels show it) for each program given,
// as raw 0x00RRGGBB pixels, 664 x 441 per program, to standard output.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "editor/panel_painter.h"
#include "editor/panel_values.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"

int main(int argc, char** argv) {
    auto plugin = std::make_unique<SynthPlugin>(versionOnlyHost);
    InstrumentPanelClient client(plugin->instrument());
    const PanelArtwork* art = panelArtwork();
    if (!art) return 1;
    PixelImage panel(kEditorWidth, kEditorHeight);
    for (int i = 1; i < argc; ++i) {
        plugin->setProgram(std::atoi(argv[i]));
        PixelCanvas canvas = panel.canvas();
        paintPanel(canvas, *art, client, PanelReadout{false, 0, 0, 0});
        std::fwrite(panel.pixels.data(), sizeof(uint32_t), panel.pixels.size(), stdout);
    }
    return 0;
}
