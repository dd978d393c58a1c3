// The one application object; the framework's WinMain runs it.
#include "app/pixelkite_app.h"

PixelkiteApp theApp;
