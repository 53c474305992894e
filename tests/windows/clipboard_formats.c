/* Lists the registered formats on the Windows clipboard, a name and a size a line, as a Windows
   program reads them. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  if (!OpenClipboard(NULL)) return 1;
  char name[256];
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    HANDLE data = GetClipboardData(format);
    if (GetClipboardFormatNameA(format, name, sizeof name) > 0) printf("%s %u\n", name, data ? (unsigned)GlobalSize(data) : 0u);
  }
  CloseClipboard();
  return 0;
}
