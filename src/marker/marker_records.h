#pragma once
// Every fixed record of marker data, for the marker walk and the marker
// builder, which handle them all. The records are kept in three groups:
//
//   marker/marker_header_records.h  the directory's kinds, the header, the
//                                   names and the tables over the fabric
//                                   (notches, lay limits, annotations, block
//                                   and buffer rules);
//   marker/marker_point_records.h   segments, matching rules, dynamic
//                                   alterations, the point map;
//   marker/marker_piece_records.h   special piece numbers, models, bundles,
//                                   pieces, order models, cutdowns, cartoons.
//
// The walkers that read, write and emit them are in marker/marker_fields.h.

#include "marker/marker_header_records.h"
#include "marker/marker_piece_records.h"
#include "marker/marker_point_records.h"
