// Geometry of the viewer's furniture, without any rendering: the preset cameras, the
// measuring grid (lines, rings and range labels with their ids) and the cursor read-out.
#pragma once

#include <string>
#include <vector>

namespace k740 {

struct CameraPreset {
    double position[3];
    double focalPoint[3];
    double viewUp[3];
};

// Preset views of the view combo: 0 "Front", 1 "Top", 2 "Left". False for any other index.
bool presetView(int index, CameraPreset* preset);

// Measuring grid in cm: straight lines every 2 m across +-50 m, rings every 2 m out to 50 m
// drawn as 10-degree chords, range labels every 4 m on the positive y axis.
constexpr int kGridHalfSpan = 5000;   // cm
constexpr int kGridLineStep = 200;    // cm
constexpr int kGridRingStep = 200;    // cm
constexpr int kGridChordStep = 10;    // degrees
constexpr int kGridLabelFirst = 200;  // cm
constexpr int kGridLabelStep = 400;   // cm
constexpr double kGridColour = 150.0;  // each colour component as handed to the visualizer
constexpr double kGridOpacity = 0.2;
constexpr double kGridLabelScale = 10.0;
// The second family of straight lines is numbered r + 41, so its ids never meet the first.
constexpr int kGridCrossIdOffset = 41;

struct GridLine {
    std::string id;
    double from[3];
    double to[3];
};

struct GridLabel {
    std::string id;
    std::string text;
    double position[3];
};

std::vector<GridLine> gridStraightLines();  // "Line" + r and "Line" + (r + 41)
std::vector<GridLine> gridRingChords();     // "Circle" + s + t
std::vector<GridLabel> gridLabels();        // "Circle" + p/100, text p/100 + "m"

// Cursor read-out: distance from the origin and the azimuth of the picked world point, in the
// data table's convention (0 on +y, growing towards +x, [0, 360)); NaN at the origin.
double readoutDistance(double x, double y, double z);
double readoutAzimuth(double x, double y);
// "Distance:" D "    Azimuth:" A, six decimals each; empty when either is no number.
std::string readoutText(double distance, double azimuth);

// Font size for the view's overlay text starting `x` pixels from the left of a view `width`
// pixels wide: the preferred size, made smaller until the longest line fits (never below 8).
// A width of 0 (not shown yet) keeps the preferred size.
int overlayFontSize(const std::string& text, int width, int x, int preferred);

}  // namespace k740
