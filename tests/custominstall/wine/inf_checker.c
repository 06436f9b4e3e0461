/* Reads INF files back through setupapi, for the package tests that run it under Wine.
 *
 * Commands, one per line on stdin (UTF-8); answers on stdout (UTF-8), each ending in a
 * line "end":
 *   open PATH        opens the INF (a Windows path); answers "ok" or "error N"
 *   section NAME     every line of the section: "line", then "key<TAB>KEY" when the
 *                    line has one, then "field<TAB>N<TAB>TEXT" for each field from 1
 *   decode CP HEX    the bytes (in hexadecimal) read in code page CP, as Windows reads
 *                    a file without a byte-order mark: "text<TAB>TEXT"
 *   quit             ends the program
 * At start it prints "system<TAB>DIR" (what %11% stands for) and "end". Tabs, CR, LF and
 * backslash-escapes in values are written as \t, \r, \n and \\ so a value is one line.
 */
#include <windows.h>
#include <setupapi.h>
#include <stdio.h>
#include <string.h>
#include <fcntl.h>
#include <io.h>

static HINF g_inf = INVALID_HANDLE_VALUE;

static void put_utf8(const WCHAR* text) {
  char buffer[16384];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
  if (n <= 0) {
    fputs("?", stdout);
    return;
  }
  for (const char* p = buffer; *p; ++p) {
    switch (*p) {
      case '\t': fputs("\\t", stdout); break;
      case '\r': fputs("\\r", stdout); break;
      case '\n': fputs("\\n", stdout); break;
      case '\\': fputs("\\\\", stdout); break;
      default: fputc(*p, stdout);
    }
  }
}

static void dump_section(const WCHAR* name) {
  INFCONTEXT context;
  BOOL more = SetupFindFirstLineW(g_inf, name, NULL, &context);
  while (more) {
    WCHAR value[4096];
    DWORD size = 0;
    puts("line");
    /* Index 0 is the key; a line without "=" has none. */
    if (SetupGetStringFieldW(&context, 0, value, 4096, &size)) {
      fputs("key\t", stdout);
      put_utf8(value);
      fputc('\n', stdout);
    }
    DWORD count = SetupGetFieldCount(&context);
    for (DWORD i = 1; i <= count; ++i) {
      value[0] = 0;
      if (!SetupGetStringFieldW(&context, i, value, 4096, &size)) {
        value[0] = 0;
      }
      printf("field\t%lu\t", (unsigned long)i);
      put_utf8(value);
      fputc('\n', stdout);
    }
    more = SetupFindNextLine(&context, &context);
  }
}

int main(void) {
  char line[8192];
  WCHAR wide[8192];
  WCHAR system[MAX_PATH];
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  GetSystemDirectoryW(system, MAX_PATH);
  fputs("system\t", stdout);
  put_utf8(system);
  fputs("\nend\n", stdout);
  fflush(stdout);
  while (fgets(line, sizeof line, stdin)) {
    size_t length = strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r')) {
      line[--length] = 0;
    }
    if (strcmp(line, "quit") == 0) {
      break;
    }
    const char* argument = strchr(line, ' ');
    argument = argument ? argument + 1 : "";
    if (!MultiByteToWideChar(CP_UTF8, 0, argument, -1, wide, 8192)) {
      wide[0] = 0;
    }
    if (strncmp(line, "open ", 5) == 0) {
      if (g_inf != INVALID_HANDLE_VALUE) {
        SetupCloseInfFile(g_inf);
      }
      UINT errorLine = 0;
      g_inf = SetupOpenInfFileW(wide, NULL, INF_STYLE_WIN4, &errorLine);
      if (g_inf == INVALID_HANDLE_VALUE) {
        printf("error %lu line %u\n", (unsigned long)GetLastError(), errorLine);
      } else {
        puts("ok");
      }
    } else if (strncmp(line, "decode ", 7) == 0) {
      unsigned codePage = 0;
      char hex[4096] = "";
      char bytes[2048];
      int count = 0;
      if (sscanf(line + 7, "%u %4095s", &codePage, hex) == 2) {
        for (const char* p = hex; p[0] && p[1] && count < (int)sizeof bytes; p += 2) {
          unsigned value = 0;
          sscanf(p, "%2x", &value);
          bytes[count++] = (char)value;
        }
      }
      int n = MultiByteToWideChar(codePage, 0, bytes, count, wide, 8191);
      wide[n > 0 ? n : 0] = 0;
      fputs("text\t", stdout);
      put_utf8(wide);
      fputc('\n', stdout);
    } else if (strncmp(line, "section ", 8) == 0 && g_inf != INVALID_HANDLE_VALUE) {
      dump_section(wide);
    }
    puts("end");
    fflush(stdout);
  }
  if (g_inf != INVALID_HANDLE_VALUE) {
    SetupCloseInfFile(g_inf);
  }
  return 0;
}
