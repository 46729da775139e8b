#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mining::pictures {

// The colours of the classes: Okabe and Ito's eight colours, chosen to stay apart for readers
// with any common colour-vision deficiency. Beyond eight classes a colour comes back with a
// fill pattern (stripes, dots, cross-hatching) in fills and a dash pattern in lines, and beyond
// 32 lighter, then darker, so that 96 classes each have their own swatch; beyond that swatches
// repeat. Colour never carries a class alone: every bar, cell and curve names its class in its
// <title>, and the legends name them.

inline constexpr std::size_t kPaletteColours = 8;
inline constexpr std::size_t kPatterns = 4;
inline constexpr std::size_t kShades = 3;
// The classes that get a swatch of their own.
inline constexpr std::size_t kDistinctSwatches = kPaletteColours * kPatterns * kShades;

// How class k is drawn: its colour ("#E69F00"), its fill pattern (0: solid, 1: stripes,
// 2: dots, 3: cross-hatching) and the dashes of its lines ("" for solid).
struct Swatch {
    std::string colour;
    std::size_t pattern = 0;
    std::string dashes;
};

// Returns the swatch of class k.
Swatch classSwatch(std::size_t k);

// Returns the CSS rules of `classCount` classes: ".cK" fills an SVG shape as class K (its colour
// or its pattern), ".sK" strokes a line as class K.
std::string classStyles(std::size_t classCount);

// Returns an SVG element of no size that defines the fill patterns of classes 8 and up (up to
// kDistinctSwatches), for the ".cK" rules to refer to; "" when `classCount` <= 8.
std::string patternDefinitions(std::size_t classCount);

// Returns "#000000" or "#ffffff", whichever reads better on `colour` ("#rrggbb").
std::string textColourOn(std::string_view colour);

// Returns the colour a share in [0, 1] gets on a ramp from white to `full` ("#rrggbb"); a
// share above 0 gets at least a tint, so that a single record shows.
std::string rampColour(std::string_view full, double share);

}  // namespace mining::pictures
