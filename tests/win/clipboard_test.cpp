// The system clipboard under Wine: the copy command's block read back by
// another opener, owned by the main window while it is open.
#include <windows.h>

#include <gtest/gtest.h>

#include "codec/bitmap_icon.h"
#include "platform/clipboard.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "tests/support/ico_builder.h"

namespace pk {
namespace {

// A message-only window standing in for the application's main window (it
// needs no display, so the test runs without X as well).
class MainWindowScope {
 public:
  MainWindowScope() {
    window_ = CreateWindowExA(0, "STATIC", "pk", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    platform::SetMainWindow(window_);
  }
  ~MainWindowScope() {
    platform::SetMainWindow(nullptr);
    if (window_) DestroyWindow(window_);
  }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

IconSetImage BoundImage(int32_t width, int32_t height, uint16_t bits) {
  IconSetImage image;
  image.AssignData(test::DibImage(width, height, bits));
  EXPECT_TRUE(BindIconImage(&image));
  return image;
}

TEST(SystemClipboard, HoldsTheColourPictureAsCfDibOwnedByTheMainWindow) {
  MainWindowScope main;
  ASSERT_TRUE(main.get());
  IconSetImage image = BoundImage(32, 32, 4);
  ASSERT_TRUE(CopyImageToClipboard(image));

  EXPECT_EQ(GetClipboardOwner(), main.get());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  auto block = platform::ReadClipboard(CF_DIB);
  ASSERT_TRUE(block);
  ASSERT_EQ(block->size(), 744u);
  std::vector<uint8_t> expected(image.data.get(), image.data.get() + image.dataSize);
  StoreI32(expected.data() + 8, 32);
  EXPECT_EQ(*block, expected);
  EXPECT_EQ(image.Header().biHeight, 64);

  // The system reads it as a 32 x 32 picture: its bitmap view has that size.
  ASSERT_TRUE(OpenClipboard(nullptr));
  HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  BITMAP info = {};
  if (bitmap) GetObjectA(bitmap, sizeof info, &info);
  CloseClipboard();
  if (bitmap) {
    EXPECT_EQ(info.bmWidth, 32);
    EXPECT_EQ(info.bmHeight, 32);
  }
}

TEST(SystemClipboard, IsClosedOnEveryPath) {
  MainWindowScope main;
  IconSetImage image = BoundImage(16, 16, 24);
  IconSetImage empty;
  EXPECT_FALSE(CopyImageToClipboard(empty));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));  // emptied before the size was looked at
  // Had the failed copy left the clipboard open, no one else could open it.
  ASSERT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
  ASSERT_TRUE(CopyImageToClipboard(image));
  ASSERT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
}

TEST(SystemClipboard, ACopyFailsWhileAnotherWindowHoldsIt) {
  MainWindowScope main;
  HWND other = CreateWindowExA(0, "STATIC", "other", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(other);
  IconSetImage image = BoundImage(16, 16, 24);
  ASSERT_TRUE(CopyImageToClipboard(image));
  ASSERT_TRUE(OpenClipboard(other));
  EXPECT_FALSE(CopyImageToClipboard(BoundImage(8, 8, 8)));
  CloseClipboard();
  DestroyWindow(other);
  // What was there is still there.
  auto block = platform::ReadClipboard(CF_DIB);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->size(), image.dataSize);
}

}  // namespace
}  // namespace pk
