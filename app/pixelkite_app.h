// The application object: one copy per executable name, the dialog colours,
// and the main dialog run modally until the user leaves it.
#pragma once

#include "framework/win_app.h"

class PixelkiteApp : public CWinApp {
 public:
  PixelkiteApp() = default;
  ~PixelkiteApp() override = default;

  BOOL InitInstance() override;
};
