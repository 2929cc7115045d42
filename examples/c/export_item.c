/* Exports one item of a storage area as XML text through the library's C
 * interface and prints it as UTF-8; on failure prints the library's code,
 * secondary code and message.
 *
 *   export_item TYPE AREA ITEM      e.g. export_item 24 /tmp/area MISSES
 */
#include <stdio.h>
#include <stdlib.h>
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

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s TYPE AREA ITEM\n", argv[0]);
    return 64;
  }
  BSTR xml = NULL;
  const int code = ConvertDataItemToXMLString((short)atoi(argv[1]), "", argv[2], argv[3], &xml, 0);
  if (code != 0) {
    BSTR message = NULL;
    GetLastErrorStringXML(&message);
    fprintf(stderr, "failed with code %d (secondary %d): ", GetLastErrorXML(), GetLastDbErrorXML());
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
