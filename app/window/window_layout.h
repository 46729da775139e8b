#pragma once

#include <QStringList>

namespace classifiers {

// The window's description: captions, initial contents, and positions and sizes in twips.
// Controls inside the panel are measured from the inside of the panel's border.

struct ControlGeometry {
    int left, top, width, height;
};

inline constexpr char kFormCaption[] = "Data Mining";
inline constexpr int kClientWidthTwips = 10185;
inline constexpr int kClientHeightTwips = 7860;

// On the window itself, in front of the panel.
inline constexpr ControlGeometry kCommand1{4320, 2400, 1215, 495};
inline constexpr ControlGeometry kCmdFile{1560, 2400, 1215, 495};
inline constexpr ControlGeometry kPicture1{0, 0, 10215, 8055};
// Inside the panel.
inline constexpr ControlGeometry kCommand3{7320, 2400, 1215, 495};
inline constexpr ControlGeometry kTxtPercent{4920, 1680, 1095, 285};
inline constexpr ControlGeometry kCombo1{4920, 960, 2055, 315};
inline constexpr ControlGeometry kRtbResult{600, 3120, 8535, 3975};
inline constexpr ControlGeometry kLabel3{2040, 240, 5760, 375};
inline constexpr ControlGeometry kLabel2{1800, 1680, 2475, 345};
inline constexpr ControlGeometry kLabel4{3000, 960, 1215, 495};

inline constexpr char kCommand1Caption[] = "Run";
inline constexpr char kCmdFileCaption[] = "Input File";
inline constexpr char kCommand3Caption[] = "Exit";
inline constexpr char kLabel3Caption[] = "Classifiers for Data Mining Applications";
inline constexpr char kLabel2Caption[] = "Percentage of Train";
inline constexpr char kLabel4Caption[] = "Classifier";
inline constexpr char kDefaultPercent[] = "66.67";
inline constexpr char kIntervalClassifier[] = "Interval Classifier";
inline constexpr char kBayesianClassifier[] = "Naive Bayesian Classifier";

inline constexpr double kTitlePointSize = 15.75;
inline constexpr double kLabelPointSize = 14.25;

// A dark slate panel, so the white title and the red labels read well on it.
inline constexpr char kPanelColour[] = "#2b3440";

// The labels' family, then Palatino-like serifs to fall back on where it is not installed.
inline QStringList labelFontFamilies() {
    return {"Book Antiqua", "Palatino Linotype", "Palatino",
            "P052",         "TeX Gyre Pagella",  "URW Palladio L"};
}

}  // namespace classifiers
