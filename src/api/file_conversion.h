#pragma once
// The work of ConvertDataItemToXMLFile and ConvertXMLFileToDataItem, shared
// with the command-line tool.

namespace tsln2xml {

// As ConvertDataItemToXMLFile. With `freeDocument` false, the reader and the
// document it built are left allocated: for a process that exits right
// after, which need not spend a tenth of a large export taking a document
// apart node by node.
int ExportItemToFile(short dataType, const char* areaRoot, const char* areaName, const char* itemName,
                     const char* xmlFileName, bool freeDocument);
// As ConvertXMLFileToDataItem; `freeDocument` false leaves the writer and
// the document it read to the process exit, as above.
int ImportItemFromFile(short dataType, const char* xmlFileName, const char* areaRoot, const char* areaName,
                       const char* itemName, bool freeDocument);

}  // namespace tsln2xml
