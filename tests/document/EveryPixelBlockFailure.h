#pragma once
// The failure loop for whole-document operations: the operation is run once
// on a copy with every pixel block counted, then on the document with the
// first, second, ... last of those blocks failing. Each failed run must
// return 0 and leave the document exactly as it was (DocumentState); then a
// run with memory must return 1 and give what the counted run gave.
// Needs a test binary linked with tessera_wrap_pixel_blocks.

#include <cstdint>
#include <functional>

class CBFDoc;

// minimumBlocks: how many pixel blocks the operation must at least take,
// so that a document which exercises nothing is noticed.
void ExpectEveryPixelBlockFailureLeavesDocument(CBFDoc& doc, const std::function<int(CBFDoc&)>& operation,
                                                std::int64_t minimumBlocks);
