#include "ui/dialogs/about_dialog.h"

#include <algorithm>

#include "res/maker.h"
#include "res/resource.h"
#include "ui/controls/hyperlink_label.h"

namespace {

RECT ChildRect(HWND dialog, HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Sizes link `id` to its text (as wide, at least as high), centred where the
// template puts it but never left of where the template starts it (its
// caption is there) nor into a control to its right or the dialog's margin.
// When even that span is too narrow, the dialog grows and the controls to the
// right of the link move over with its edge: an address is never cut.
void FitLinkToText(HWND dialog, int id) {
  HWND link = ::GetDlgItem(dialog, id);
  if (!link) return;
  const RECT placed = ChildRect(dialog, link);
  const SIZE text = LinkTextExtent(link);
  const int width = text.cx + 2;  // a pixel either side: the underline's ends stay inside
  const int height = std::max<int>(placed.bottom - placed.top, text.cy);
  RECT margin{4, 4, 4, 4};
  ::MapDialogRect(dialog, &margin);
  RECT client;
  ::GetClientRect(dialog, &client);

  // The right end of the free span: the margin, or the nearest control to the
  // right that shares any of the link's rows.
  int limit = client.right - margin.right;
  for (HWND other = ::GetWindow(dialog, GW_CHILD); other; other = ::GetWindow(other, GW_HWNDNEXT)) {
    // The style, not IsWindowVisible: the dialog itself is not shown yet.
    if (other == link || !(::GetWindowLongW(other, GWL_STYLE) & WS_VISIBLE)) continue;
    const RECT r = ChildRect(dialog, other);
    if (r.left >= placed.right && r.top < placed.top + height && r.bottom > placed.top) {
      limit = std::min<int>(limit, r.left);
    }
  }
  const int centre = (placed.left + placed.right) / 2;
  int left = std::max<int>(placed.left, centre - width / 2);
  if (left + width > limit) left = std::max<int>(placed.left, limit - width);
  if (const int missing = left + width - limit; missing > 0) {
    for (HWND other = ::GetWindow(dialog, GW_CHILD); other; other = ::GetWindow(other, GW_HWNDNEXT)) {
      const RECT r = ChildRect(dialog, other);
      if (other != link && r.left >= limit) {
        ::SetWindowPos(other, nullptr, r.left + missing, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
    }
    RECT frame;
    ::GetWindowRect(dialog, &frame);
    ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left + missing, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SetWindowPos(link, nullptr, left, placed.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

AboutDialog::AboutDialog() : CDialog(IDD_ABOUT) {}

AboutDialog::~AboutDialog() = default;

void AboutDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_ABOUT_OK, okButton);
}

BOOL AboutDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  okButton.SetSkin(kDialogSkin);
  AttachHyperlink(m_hWnd, IDC_MAIL_LINK, PK_MAKER_MAILTO, kLinkColorDefault);
  AttachHyperlink(m_hWnd, IDC_WEB_LINK, PK_MAKER_WEB_SITE, kLinkColorDefault);
  // The template's boxes are narrower than the addresses in the link font.
  FitLinkToText(m_hWnd, IDC_MAIL_LINK);
  FitLinkToText(m_hWnd, IDC_WEB_LINK);
  return TRUE;
}

BOOL AboutDialog::OnCommand(UINT id, UINT code, HWND control) {
  // The OK button is not the dialog's OK command: it asks the window to
  // close, which ends the box the way Escape and the close box do (Cancel).
  if (id == IDC_ABOUT_OK && code == BN_CLICKED) {
    SendMessage(WM_CLOSE);
    return TRUE;
  }
  return CDialog::OnCommand(id, code, control);
}
