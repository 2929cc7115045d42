/* Exports one item of a storage area as XML text through the library's C
 * interface and prints it as UTF-8; on failure prints the library's code,
 * secondary code and message.
 *
 *   export_item TYPE AREA ITEM      e.g. export_item 24 /tmp/area MISSES
 *
 * On Windows the program loads tsln2xml.dll with LoadLibrary (from beside the
 * program or the DLL search path), finds the calls with GetProcAddress and
 * frees the BSTRs with the system's SysFreeString; elsewhere it links the
 * library.
 */
#include <stdio.h>
#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#endif
#include <tsln2xml/tsln2xml.h>

/* Writes UTF-16 text as UTF-8. */
static void PrintUtf8(FILE* out, const OLECHAR* text, unsigned int length) {
  for (unsigned int i = 0; i < length; ++i) {
    unsigned long cp = text[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (cp < 0x80) {
      fputc((int)cp, out);
    } else if (cp < 0x800) {
      fputc((int)(0xC0 | (cp >> 6)), out);
      fputc((int)(0x80 | (cp & 0x3F)), out);
    } else if (cp < 0x10000) {
      fputc((int)(0xE0 | (cp >> 12)), out);
      fputc((int)(0x80 | ((cp >> 6) & 0x3F)), out);
      fputc((int)(0x80 | (cp & 0x3F)), out);
    } else {
      fputc((int)(0xF0 | (cp >> 18)), out);
      fputc((int)(0x80 | ((cp >> 12) & 0x3F)), out);
      fputc((int)(0x80 | ((cp >> 6) & 0x3F)), out);
      fputc((int)(0x80 | (cp & 0x3F)), out);
    }
  }
}

/* The calls this program makes. */
typedef int(TSLN2XML_CALL* ExportToString)(short, const char*, const char*, const char*, BSTR*, int);
typedef int(TSLN2XML_CALL* LastCode)(void);
typedef void(TSLN2XML_CALL* LastMessage)(BSTR*);
static ExportToString convertToString;
static LastCode lastError, lastDbError;
static LastMessage lastErrorString;

/* Finds the calls: in the DLL on Windows, linked elsewhere. */
static int FindCalls(void) {
#ifdef _WIN32
  HMODULE dll = LoadLibraryA("tsln2xml.dll");
  if (!dll) {
    fprintf(stderr, "cannot load tsln2xml.dll (error %lu)\n", (unsigned long)GetLastError());
    return 0;
  }
  convertToString = (ExportToString)(void (*)(void))GetProcAddress(dll, "ConvertDataItemToXMLString");
  lastError = (LastCode)(void (*)(void))GetProcAddress(dll, "GetLastErrorXML");
  lastDbError = (LastCode)(void (*)(void))GetProcAddress(dll, "GetLastDbErrorXML");
  lastErrorString = (LastMessage)(void (*)(void))GetProcAddress(dll, "GetLastErrorStringXML");
  if (!convertToString || !lastError || !lastDbError || !lastErrorString) {
    fprintf(stderr, "tsln2xml.dll lacks a call this program needs\n");
    return 0;
  }
#else
  convertToString = ConvertDataItemToXMLString;
  lastError = GetLastErrorXML;
  lastDbError = GetLastDbErrorXML;
  lastErrorString = GetLastErrorStringXML;
#endif
  return 1;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s TYPE AREA ITEM\n", argv[0]);
    return 64;
  }
  if (!FindCalls()) return 70;
  BSTR xml = NULL;
  const int code = convertToString((short)atoi(argv[1]), "", argv[2], argv[3], &xml, 0);
  if (code != 0) {
    BSTR message = NULL;
    lastErrorString(&message);
    fprintf(stderr, "failed with code %d (secondary %d): ", lastError(), lastDbError());
    if (message) PrintUtf8(stderr, message, SysStringLen(message));
    fputc('\n', stderr);
    SysFreeString(message);
    return code;
  }
  PrintUtf8(stdout, xml, SysStringLen(xml));
  fputc('\n', stdout);
  SysFreeString(xml);
  return 0;
}
