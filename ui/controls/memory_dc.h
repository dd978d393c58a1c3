// An off-screen drawing surface the size of a rectangle of its target. What
// is drawn on it reaches the target in one copy when it is destroyed, so a
// control's paint never shows half-drawn.
#pragma once

#include <memory>

#include "framework/gdi.h"

class MemoryDC : public CDC {
 public:
  MemoryDC(CDC* target, const RECT& area);
  ~MemoryDC() override;
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;

 private:
  std::unique_ptr<CBitmap> bitmap;
  HGDIOBJ oldBitmap = nullptr;  // not owned: put back before the bitmap goes
  CDC* targetDC;                // not owned
  RECT rect;
};
