/* Waits up to 20 s for an open popup menu and prints its entries, one a line in UTF-8, as
   tray_menu_hook.dll (beside this program) reads them inside the process that made the menu: Wine
   keeps a menu's entries there. Exits with 0 when it listed a menu, 1 otherwise. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

static int listed = 0;

static LRESULT CALLBACK answer_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return DefWindowProcW(hwnd, message, wparam, lparam);
  const COPYDATASTRUCT *data = (const COPYDATASTRUCT *)lparam;
  _setmode(_fileno(stdout), _O_BINARY);
  fwrite(data->lpData, 1, data->cbData, stdout);
  listed = 1;
  return TRUE;
}

int main(void) {
  HWND menu = NULL;
  for (int waited = 0; waited < 20000 && !((menu = FindWindowW(L"#32768", NULL)) && IsWindowVisible(menu)); waited += 50)
    Sleep(50);
  HMODULE module = LoadLibraryW(L"tray_menu_hook.dll");
  HOOKPROC proc = module ? (HOOKPROC)(void *)GetProcAddress(module, "tray_menu_hook") : NULL;
  HHOOK hook = menu && proc ? SetWindowsHookExW(WH_CALLWNDPROC, proc, module, GetWindowThreadProcessId(menu, NULL)) : NULL;
  if (!hook) {
    fprintf(stderr, menu ? "cannot hook the menu's thread (error %lu)\n" : "no open popup menu\n", GetLastError());
    return 1;
  }
  WNDCLASSW answer_class = {0, answer_proc, 0, 0, GetModuleHandleW(NULL), NULL, NULL, NULL, NULL, L"tray_menu_answer"};
  RegisterClassW(&answer_class);
  HWND answer = CreateWindowW(L"tray_menu_answer", NULL, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, answer_class.hInstance, NULL);
  DWORD_PTR result;
  SendMessageTimeoutW(menu, RegisterWindowMessageW(L"TRAY_MENU_READ"), (WPARAM)answer, 0, SMTO_NORMAL, 10000, &result);
  UnhookWindowsHookEx(hook);
  if (!listed) fputs("the open menu's entries could not be read\n", stderr);
  return listed ? 0 : 1;
}
