#pragma once

namespace classifiers {

// Positions and sizes in the window's description are in twips (1/1440 inch). Fifteen twips make
// one device-independent pixel (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;

// Returns `twips` in device-independent pixels, rounded to the nearest pixel (halves away from 0).
constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// Returns `pixels` in twips.
constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace classifiers
