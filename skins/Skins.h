#pragma once
// Unit Skins: small types of the skinned control family. Nothing uses them yet; they are
// part of the family's interface.
#include <cstdint>

enum TBevelCorner : uint8_t { bcTopLeft, bcTopRight, bcBottomRight, bcBottomLeft };
enum TBevelEdge : uint8_t { beLeft, beTop, beRight, beBottom };
