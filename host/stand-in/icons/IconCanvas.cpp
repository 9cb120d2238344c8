// An icon is drawn as a caption under a glyph; the stand-in keeps both as
// text ("box 2 2 29 29").
#include <string>

#include "StandIn.h"

extern "C" {

void dfx_icon_caption(DfxIconCanvas *canvas, const char *text)
{
    if (canvas && text) canvas->caption = text;
}

void dfx_icon_box(DfxIconCanvas *canvas, int x0, int y0, int x1, int y1)
{
    if (!canvas) return;
    canvas->shapes.push_back("box " + std::to_string(x0) + " " + std::to_string(y0) + " " + std::to_string(x1) + " " +
                             std::to_string(y1));
}

void dfx_icon_circle(DfxIconCanvas *canvas, int x, int y, int radius)
{
    if (!canvas) return;
    canvas->shapes.push_back("circle " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(radius));
}

} // extern "C"
