// The room the simulated sensor looks at: a few surfaces in the horizontal plane, hit by a
// ray from the sensor at the origin. Azimuth convention of the viewer: x = d sin(a), y = d cos(a).
#pragma once

#include <cstdint>
#include <vector>

namespace k740::sim {

// One surface seen along a ray: distance in millimetres (0 = nothing) and intensity 0..255.
struct SceneHit {
    double distanceMm = 0.0;
    int intensity = 0;
};

class SimScene {
public:
    // The default room: about 12 m x 8 m around the sensor, with a pillar, a box, a person
    // and a reflective strip on one wall.
    SimScene();

    // Nearest surface along the azimuth (degrees), without noise.
    SceneHit nearest(double azimuthDeg) const;
    // Farthest surface along the azimuth: the wall behind whatever stands in front of it.
    // This is what a second echo reports when part of the beam passes an object's edge.
    SceneHit farthest(double azimuthDeg) const;

    // A measurement: the first (nearest) or last (farthest) echo with a little range and
    // intensity noise. The noise is a pure function of the seed, so equal seeds give equal
    // packets.
    SceneHit measure(double azimuthDeg, bool lastEcho, std::uint64_t seed) const;

    static constexpr double kRangeNoiseMm = 12.0;  // half-width of the uniform range noise
    static constexpr int kIntensityNoise = 6;      // half-width of the intensity noise

    // Room extent in metres (the sensor stands at the origin).
    static constexpr double kRoomMinX = -4.5, kRoomMaxX = 7.5;
    static constexpr double kRoomMinY = -3.0, kRoomMaxY = 5.0;

private:
    struct Circle {
        double cx, cy, r;  // metres
        int intensity;
    };
    struct Box {
        double x0, y0, x1, y1;  // metres, x0 < x1, y0 < y1
        int intensity;
    };
    SceneHit wall(double dx, double dy) const;

    std::vector<Circle> circles_;
    std::vector<Box> boxes_;
};

// Deterministic 64-bit mixer (splitmix64 finaliser) for seeding the noise.
std::uint64_t mixSeed(std::uint64_t x);

}  // namespace k740::sim
