/* Lists the formats on the Windows clipboard, one name a line, as a Windows program reads them:
   the registered ones by name, the standard ones as CF_<number>. */
#include <stdio.h>
#include <windows.h>

int main(void) {
  if (!OpenClipboard(NULL)) {
    fprintf(stderr, "cannot open the clipboard\n");
    return 1;
  }
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    char name[256];
    if (GetClipboardFormatNameA(format, name, sizeof name) > 0) {
      HANDLE data = GetClipboardData(format);
      printf("%s %u\n", name, data ? (unsigned)GlobalSize(data) : 0u);
    } else {
      printf("CF_%u\n", format);
    }
  }
  CloseClipboard();
  return 0;
}
