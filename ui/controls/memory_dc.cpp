#include "ui/controls/memory_dc.h"

MemoryDC::MemoryDC(CDC* target, const RECT& area)
    : bitmap(std::make_unique<CBitmap>()), targetDC(target), rect(area) {
  CreateCompatibleDC(target);
  bitmap->CreateCompatibleBitmap(*target, rect.right - rect.left, rect.bottom - rect.top);
  oldBitmap = SelectObject(bitmap.get());
}

MemoryDC::~MemoryDC() {
  targetDC->BitBlt(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, this, rect.left,
                   rect.top, SRCCOPY);
  if (oldBitmap) SelectObject(oldBitmap);
  bitmap.reset();
  // The CDC base deletes the memory device context.
}
