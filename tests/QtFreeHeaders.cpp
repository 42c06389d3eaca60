// Built with no window framework on the include path. The scene, the rasterizer and the error
// report are meant to be usable without the framework, and a header of theirs that starts to
// need it fails to compile here instead of quietly dragging it into every user.

#include "dddd/ErrorReport.h"
#include "platform/d3drm/RasterSpans.h"
#include "platform/d3drm/Rasterizer.h"
#include "yacht/DrawYacht.h"
