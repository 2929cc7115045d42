/* tsln2xml: pattern pieces and markers as DXF files (ASCII DXF R12), for
 * other pattern and marker systems. docs/dxf.md describes the files.
 *
 * Same conventions as tsln2xml.h: 0 on success or a failure code (1 bad
 * content or options, 5 an item or file that could not be opened or
 * written), kept for GetLastErrorXML, GetLastDbErrorXML and
 * GetLastErrorStringXML; narrow strings in the ANSI code page. Nothing is
 * written on the error stream.
 */
#ifndef TSLN2XML_DXF_H
#define TSLN2XML_DXF_H

#include "tsln2xml/tsln2xml.h"

#ifdef __cplusplus
extern "C" {
#endif

/* dataType 20 (Piece): the itemCount pieces itemNames of the storage area
 * areaRoot + areaName as one AAMA/ASTM DXF file dxfFileName, and their grade
 * rules as the file rulFileName (NULL: none).
 * dataType 9 (Marker): the marker itemNames[0] (itemCount 1, rulFileName
 * NULL) as a plain DXF of the placed marker.
 * options: NULL, or words "key=value" apart by spaces:
 *   flavour=aama|astm  units=mm|cm|in  sizes=base|all
 *   grade-method=Incremental|SmallToLarge|Cumulative
 * (a marker takes units only). Without units the storage area's single user
 * environment gives them (Metric: cm, Imperial: in), else the call fails.
 * Each file is written beside and renamed into place: a failure leaves no
 * partial file. */
TSLN2XML_API int ExportDXF(short dataType, const char* areaRoot, const char* areaName, const char* const* itemNames,
                           int itemCount, const char* dxfFileName, const char* rulFileName, const char* options);

#ifdef __cplusplus
}
#endif

#endif
