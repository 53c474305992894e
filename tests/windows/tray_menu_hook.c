/* Loaded by tray_menu.exe's hook into the process whose popup menu is open: only there can Wine
   read a menu's entries. Asked with the message TRAY_MENU_READ (wParam: the window to answer),
   it sends back by WM_COPYDATA the entries, one a line in UTF-8: 1 or 0 for enabled, a tab, the
   entry's centre on the screen as "X Y" ("-" for an entry that the open menu does not show), a
   tab, the label ("-" for a separator), and a tab and "*" for the entry under the pointer. */
#include <stdio.h>
#include <windows.h>

static void send_entries(HWND menu_window, HWND answer) {
  HMENU menu = (HMENU)SendMessageW(menu_window, MN_GETHMENU, 0, 0);
  static wchar_t text[16384];
  static char utf8[65536];
  int used = 0;
  for (int i = 0, count = GetMenuItemCount(menu); i < count && used >= 0; ++i) {
    wchar_t label[512] = L"-", centre[32] = L"-";
    GetMenuStringW(menu, i, label, 512, MF_BYPOSITION);
    // An entry added after the menu opened has no place in it: the open menu does not show it.
    RECT rect = {0, 0, 0, 0};
    if (GetMenuItemRect(menu_window, menu, i, &rect) && !IsRectEmpty(&rect))
      _snwprintf(centre, 32, L"%ld %ld", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    UINT state = GetMenuState(menu, i, MF_BYPOSITION);
    int written = _snwprintf(text + used, 16384 - used, L"%d\t%ls\t%ls%ls\n", state & (MF_GRAYED | MF_DISABLED) ? 0 : 1,
                             centre, *label ? label : L"-", state & MF_HILITE ? L"\t*" : L"");
    used = written < 0 ? -1 : used + written;
  }
  int size = used > 0 ? WideCharToMultiByte(CP_UTF8, 0, text, used, utf8, sizeof utf8, NULL, NULL) : 0;
  COPYDATASTRUCT data = {0, (DWORD)size, utf8};
  SendMessageW(answer, WM_COPYDATA, (WPARAM)menu_window, (LPARAM)&data);
}

__declspec(dllexport) LRESULT CALLBACK tray_menu_hook(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT *call = (const CWPSTRUCT *)lparam;
  if (code == HC_ACTION && call->message == RegisterWindowMessageW(L"TRAY_MENU_READ"))
    send_entries(call->hwnd, (HWND)call->wParam);
  return CallNextHookEx(NULL, code, wparam, lparam);
}
