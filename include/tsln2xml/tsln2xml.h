/* tsln2xml: converts the data items of a pattern-making and marker-making
 * database to XML documents and back.
 *
 * Every call returns 0 on success or a failure code:
 *   1 unusable document or item content   5 the item could not be opened,
 *   2 schema or validation failure           created or saved
 *   3 no document object                  6 a standard-library failure
 *   4 XML service failure                 7 unimplemented data type
 * The last failure's code, secondary code and message are kept for
 * GetLastErrorXML, GetLastDbErrorXML and GetLastErrorStringXML; a successful
 * call leaves them unchanged. There is one such record per process, shared by
 * every thread: each failure replaces all three together, but a host calling
 * from several threads can read another thread's failure, so it serialises
 * its calls or does not rely on the record.
 *
 * Narrow strings (storage areas, item names, file names) are in the ANSI code
 * page: TSLN2XML_CODEPAGE when set, otherwise the system's on Windows (GetACP)
 * and 1252 elsewhere. XML text crosses the interface as
 * UTF-16 BSTRs; a BSTR handed out belongs to the caller, who frees it with
 * SysFreeString.
 */
#ifndef TSLN2XML_TSLN2XML_H
#define TSLN2XML_TSLN2XML_H

/* On Windows the strings are the system's: BSTR and OLECHAR from wtypes.h,
 * SysAllocString, SysFreeString, ... from oleaut32 (oleauto.h). Elsewhere the
 * library brings its own BSTR helpers (declared at the end). The library's
 * own sources declare BSTR with char16_t on both: the same 16-bit units. */
#if defined(_WIN32) && !defined(TSLN2XML_BUILDING)
#include <wtypes.h>
#include <oleauto.h>
#ifdef __cplusplus
extern "C" {
#endif
#else
#ifdef __cplusplus
typedef char16_t OLECHAR;
extern "C" {
#else
#include <uchar.h>
typedef char16_t OLECHAR;
#endif
typedef OLECHAR* BSTR;
#endif

/* The calling convention of every call: __stdcall on Windows (what 32-bit
 * hosts expect; 64-bit Windows has a single convention), the platform's own
 * elsewhere. The DLL exports the names undecorated. */
#ifdef _WIN32
#define TSLN2XML_CALL __stdcall
#else
#define TSLN2XML_CALL
#endif

#if defined(_WIN32)
#define TSLN2XML_API
#elif defined(TSLN2XML_BUILDING)
#define TSLN2XML_API __attribute__((visibility("default")))
#else
#define TSLN2XML_API
#endif

/* Item conversions. areaRoot and areaName name the storage area: areaRoot,
 * then ":" when areaRoot is one character (a drive letter), then areaName.
 * itemName is at most 20 characters (longer names are cut). */
TSLN2XML_API int TSLN2XML_CALL ConvertDataItemToXMLFile(short dataType, const char* areaRoot, const char* areaName,
                                                        const char* itemName, const char* xmlFileName, int reserved);
TSLN2XML_API int TSLN2XML_CALL ConvertDataItemToXMLString(short dataType, const char* areaRoot, const char* areaName,
                                                          const char* itemName, BSTR* xml, int reserved);
TSLN2XML_API int TSLN2XML_CALL ConvertXMLFileToDataItem(short dataType, const char* xmlFileName, int reserved,
                                                        const char* areaRoot, const char* areaName,
                                                        const char* itemName);
TSLN2XML_API int TSLN2XML_CALL ConvertXMLStringToDataItem(short dataType, const OLECHAR* xml, int reserved,
                                                          const char* areaRoot, const char* areaName,
                                                          const char* itemName);

/* A marker as a UTF-16 XML file, optionally validated against a schema file. */
TSLN2XML_API int TSLN2XML_CALL ConvertMarkerToXML(const char* areaRoot, const char* areaName, const char* markerName,
                                                  const char* xmlFileName, const char* schemaFileName);

/* Item lists. Here areaRoot and areaName are joined without a colon. */
TSLN2XML_API int TSLN2XML_CALL EnumerateItems(const char* areaRoot, const char* areaName, const char* xmlFileName,
                                              const char* schemaFileName);
TSLN2XML_API int TSLN2XML_CALL EnumerateItemsString(const char* areaRoot, const char* areaName, BSTR* xml,
                                                    const char* schemaFileName);
TSLN2XML_API int TSLN2XML_CALL EnumerateItemsOfType(int dataType, const char* areaRoot, const char* areaName,
                                                    const char* xmlFileName, const char* schemaFileName);
TSLN2XML_API int TSLN2XML_CALL EnumerateItemsOfTypes(const int* dataTypes, int count, const char* areaRoot,
                                                     const char* areaName, const char* xmlFileName,
                                                     const char* schemaFileName);
TSLN2XML_API int TSLN2XML_CALL EnumerateItemsNotOfTypes(const int* dataTypes, int count, const char* areaRoot,
                                                        const char* areaName, const char* xmlFileName,
                                                        const char* schemaFileName);

/* The last failure. */
TSLN2XML_API int TSLN2XML_CALL GetLastErrorXML(void);
TSLN2XML_API int TSLN2XML_CALL GetLastDbErrorXML(void);
TSLN2XML_API void TSLN2XML_CALL GetLastErrorStringXML(BSTR* text);

/* BSTR helpers: UTF-16 text with a 32-bit byte length in front of the
 * pointer. On Windows these are oleaut32's; the library's own sources declare
 * them here with their char16_t BSTR. */
#if !defined(_WIN32)
TSLN2XML_API BSTR SysAllocString(const OLECHAR* text);
TSLN2XML_API BSTR SysAllocStringLen(const OLECHAR* text, unsigned int length);
TSLN2XML_API void SysFreeString(BSTR text);
TSLN2XML_API unsigned int SysStringLen(BSTR text);
#elif defined(TSLN2XML_BUILDING)
BSTR TSLN2XML_CALL SysAllocString(const OLECHAR* text);
BSTR TSLN2XML_CALL SysAllocStringLen(const OLECHAR* text, unsigned int length);
void TSLN2XML_CALL SysFreeString(BSTR text);
unsigned int TSLN2XML_CALL SysStringLen(BSTR text);
#endif

#ifdef __cplusplus
}
#endif

#endif
