#pragma once
// The work of ConvertDataItemToXMLFile, shared with the command-line tool.

namespace tsln2xml {

// As ConvertDataItemToXMLFile. With `freeDocument` false, the reader and the
// document it built are left allocated: for a process that exits right
// after, which need not spend a tenth of a large export taking a document
// apart node by node.
int ExportItemToFile(short dataType, const char* areaRoot, const char* areaName, const char* itemName,
                     const char* xmlFileName, bool freeDocument);

}  // namespace tsln2xml
