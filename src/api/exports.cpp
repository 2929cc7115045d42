// The thirteen exported functions and the BSTR helpers.

#include <memory>
#include <string>
#include <vector>

#include "api/boundary.h"
#include "api/file_conversion.h"
#include "api/last_error.h"
#include "converters/registry.h"
#include "dxf/dxf_export.h"
#include "api/item_lists.h"
#include "marker/marker_export.h"
#include "platform/bstr.h"
#include "tsln2xml/dxf.h"
#include "tsln2xml/tsln2xml.h"

using namespace tsln2xml;

namespace {

std::string_view Arg(const char* s) { return s ? std::string_view(s) : std::string_view(); }

std::u16string_view WideArg(const OLECHAR* s) {
  return s ? std::u16string_view(s, std::char_traits<char16_t>::length(s)) : std::u16string_view();
}

BSTR ToBstr(std::u16string_view text) {
  BSTR bstr = platform::AllocBstr(text);
  if (!bstr) throw std::bad_alloc();
  return bstr;
}

// A converter and its document left allocated for the process exit; kept
// where leak checkers see them held, not lost.
void LeaveForExit(std::unique_ptr<XMLDataItem> item) {
  static auto& leftForExit = *new std::vector<std::unique_ptr<XMLDataItem>>;
  leftForExit.push_back(std::move(item));
}
}  // namespace

int tsln2xml::ExportItemToFile(short dataType, const char* areaRoot, const char* areaName, const char* itemName,
                               const char* xmlFileName, bool freeDocument) {
  std::unique_ptr<XMLReader> reader;
  const std::string file(Arg(xmlFileName));
  const int result = RunAtBoundary(
      [&] {
        reader = CreateReader(dataType, Arg(areaRoot), Arg(areaName), Arg(itemName));
        reader->ToFile(file);
      },
      // The document as far as it was built goes to the file all the same.
      [&] {
        if (reader) reader->SaveAsFarAsBuilt(file);
      });
  if (!freeDocument && reader) LeaveForExit(std::move(reader));
  return result;
}

int tsln2xml::ImportItemFromFile(short dataType, const char* xmlFileName, const char* areaRoot, const char* areaName,
                                 const char* itemName, bool freeDocument) {
  std::unique_ptr<XMLWriter> writer;
  const int result = RunAtBoundary([&] {
    writer = CreateWriter(dataType, Arg(areaRoot), Arg(areaName), Arg(itemName));
    writer->FromFile(std::string(Arg(xmlFileName)));
  });
  if (!freeDocument && writer) LeaveForExit(std::move(writer));
  return result;
}

extern "C" {

int ConvertDataItemToXMLFile(short dataType, const char* areaRoot, const char* areaName, const char* itemName,
                             const char* xmlFileName, int /*reserved*/) {
  return ExportItemToFile(dataType, areaRoot, areaName, itemName, xmlFileName, true);
}

int ConvertDataItemToXMLString(short dataType, const char* areaRoot, const char* areaName, const char* itemName,
                               BSTR* xml, int /*reserved*/) {
  return RunAtBoundary([&] {
    auto reader = CreateReader(dataType, Arg(areaRoot), Arg(areaName), Arg(itemName));
    const std::u16string text = reader->ToString();
    if (xml) *xml = ToBstr(text);
  });
}

int ConvertXMLFileToDataItem(short dataType, const char* xmlFileName, int /*reserved*/, const char* areaRoot,
                             const char* areaName, const char* itemName) {
  return ImportItemFromFile(dataType, xmlFileName, areaRoot, areaName, itemName, true);
}

int ConvertXMLStringToDataItem(short dataType, const OLECHAR* xml, int /*reserved*/, const char* areaRoot,
                               const char* areaName, const char* itemName) {
  return RunAtBoundary([&] {
    auto writer = CreateWriter(dataType, Arg(areaRoot), Arg(areaName), Arg(itemName));
    writer->FromString(WideArg(xml));
  });
}

int ConvertMarkerToXML(const char* areaRoot, const char* areaName, const char* markerName, const char* xmlFileName,
                       const char* schemaFileName) {
  return RunAtBoundary([&] {
        marker::ExportMarker(Arg(areaRoot), Arg(areaName), Arg(markerName), std::string(Arg(xmlFileName)),
                             schemaFileName ? std::optional<std::string>(schemaFileName) : std::nullopt);
      },
      BoundaryOptions{false});
}

int EnumerateItems(const char* areaRoot, const char* areaName, const char* xmlFileName, const char* schemaFileName) {
  return EnumerateItemsToFile(TypeFilter::kAll, nullptr, 0, areaRoot, areaName, xmlFileName, schemaFileName);
}

int EnumerateItemsString(const char* areaRoot, const char* areaName, BSTR* xml, const char* schemaFileName) {
  return EnumerateItemsToString(TypeFilter::kAll, nullptr, 0, areaRoot, areaName, xml, schemaFileName);
}

int EnumerateItemsOfType(int dataType, const char* areaRoot, const char* areaName, const char* xmlFileName,
                         const char* schemaFileName) {
  return EnumerateItemsToFile(TypeFilter::kOnly, &dataType, 1, areaRoot, areaName, xmlFileName, schemaFileName);
}

int EnumerateItemsOfTypes(const int* dataTypes, int count, const char* areaRoot, const char* areaName,
                          const char* xmlFileName, const char* schemaFileName) {
  return EnumerateItemsToFile(TypeFilter::kOnly, dataTypes, count, areaRoot, areaName, xmlFileName, schemaFileName);
}

int EnumerateItemsNotOfTypes(const int* dataTypes, int count, const char* areaRoot, const char* areaName,
                             const char* xmlFileName, const char* schemaFileName) {
  return EnumerateItemsToFile(TypeFilter::kAllBut, dataTypes, count, areaRoot, areaName, xmlFileName,
                              schemaFileName);
}

int GetLastErrorXML(void) { return GetLastError().code; }

int GetLastDbErrorXML(void) { return GetLastError().secondary; }

void GetLastErrorStringXML(BSTR* text) {
  if (!text) return;
  try {
    *text = platform::AllocBstr(GetLastError().message);
  } catch (...) {
    *text = nullptr;
  }
}

// On Windows the BSTR helpers are the system's (oleaut32).
#ifndef _WIN32
BSTR SysAllocString(const OLECHAR* text) { return text ? platform::AllocBstr(WideArg(text)) : nullptr; }

BSTR SysAllocStringLen(const OLECHAR* text, unsigned int length) { return platform::AllocBstrLen(text, length); }

void SysFreeString(BSTR text) { platform::FreeBstr(text); }

unsigned int SysStringLen(BSTR text) { return platform::BstrLength(text); }
#endif

int ExportDXF(short dataType, const char* areaRoot, const char* areaName, const char* const* itemNames, int itemCount,
              const char* dxfFileName, const char* rulFileName, const char* options) {
  return RunAtBoundary([&] { dxf::ExportDxfCall(dataType, areaRoot, areaName, itemNames, itemCount, dxfFileName,
                                                rulFileName, options); },
                       BoundaryOptions{false});
}

}  // extern "C"
