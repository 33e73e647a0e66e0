#pragma once
// The document the history target replays onto, and what every document must
// still allow after a fuzzed read changed it.

class CBFDoc;

// Three layers: a 12 x 8 base, a 5 x 4 floating layer and a 3 x 2 text
// layer.
void MakeFuzzDocument(CBFDoc& doc);

// A composite of the layers (for documents small enough to compose quickly),
// a deep copy and a layers-only snapshot must all work.
void CheckDocumentUsable(CBFDoc& doc);
