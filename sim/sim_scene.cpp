// Ray casting in the simulated room.
#include "sim/sim_scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace k740::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Distance along the unit ray (dx, dy) from the origin to a circle, or infinity.
double hitCircle(double dx, double dy, double cx, double cy, double r) {
    const double b = cx * dx + cy * dy;
    const double disc = b * b - (cx * cx + cy * cy - r * r);
    if (disc < 0.0) return kInf;
    const double t = b - std::sqrt(disc);
    return t > 0.0 ? t : kInf;
}

// Distance along the unit ray to an axis-aligned box (slab method), or infinity.
double hitBox(double dx, double dy, double x0, double y0, double x1, double y1) {
    double tmin = 0.0, tmax = kInf;
    const double d[2] = {dx, dy};
    const double lo[2] = {x0, y0};
    const double hi[2] = {x1, y1};
    for (int axis = 0; axis < 2; ++axis) {
        if (std::fabs(d[axis]) < 1e-12) {
            if (0.0 < lo[axis] || 0.0 > hi[axis]) return kInf;
            continue;
        }
        double t0 = lo[axis] / d[axis];
        double t1 = hi[axis] / d[axis];
        if (t0 > t1) std::swap(t0, t1);
        tmin = std::max(tmin, t0);
        tmax = std::min(tmax, t1);
        if (tmin > tmax) return kInf;
    }
    return tmin > 0.0 ? tmin : kInf;
}

// Uniform value in [-1, 1) from a seed.
double unitNoise(std::uint64_t seed) {
    return static_cast<double>(mixSeed(seed) >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

}  // namespace

std::uint64_t mixSeed(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

SimScene::SimScene() {
    circles_.push_back({2.5, 2.0, 0.30, 140});    // concrete pillar
    circles_.push_back({-1.5, 2.5, 0.22, 60});    // a person, dark clothes
    boxes_.push_back({-3.0, -2.2, -2.0, -1.4, 200});  // a white box on the floor
    boxes_.push_back({4.0, -1.0, 4.6, 0.6, 170});     // a cabinet
}

SceneHit SimScene::wall(double dx, double dy) const {
    const double tx = dx > 0.0 ? kRoomMaxX / dx : (dx < 0.0 ? kRoomMinX / dx : kInf);
    const double ty = dy > 0.0 ? kRoomMaxY / dy : (dy < 0.0 ? kRoomMinY / dy : kInf);
    SceneHit hit;
    if (tx < ty) {
        hit.distanceMm = tx * 1000.0;
        hit.intensity = dx > 0.0 ? 110 : 95;
    } else {
        hit.distanceMm = ty * 1000.0;
        hit.intensity = dy > 0.0 ? 100 : 90;
        // A reflective strip on the far wall.
        const double x = ty * dx;
        if (dy > 0.0 && x >= 0.5 && x <= 1.5) hit.intensity = 250;
    }
    return hit;
}

SceneHit SimScene::farthest(double azimuthDeg) const {
    const double a = azimuthDeg * kPi / 180.0;
    return wall(std::sin(a), std::cos(a));
}

SceneHit SimScene::nearest(double azimuthDeg) const {
    const double a = azimuthDeg * kPi / 180.0;
    const double dx = std::sin(a), dy = std::cos(a);
    SceneHit best = wall(dx, dy);
    for (const Circle& c : circles_) {
        const double t = hitCircle(dx, dy, c.cx, c.cy, c.r) * 1000.0;
        if (t < best.distanceMm) best = {t, c.intensity};
    }
    for (const Box& b : boxes_) {
        const double t = hitBox(dx, dy, b.x0, b.y0, b.x1, b.y1) * 1000.0;
        if (t < best.distanceMm) best = {t, b.intensity};
    }
    return best;
}

SceneHit SimScene::measure(double azimuthDeg, bool lastEcho, std::uint64_t seed) const {
    SceneHit hit = lastEcho ? farthest(azimuthDeg) : nearest(azimuthDeg);
    const std::uint64_t s = mixSeed(seed);
    hit.distanceMm = std::max(0.0, hit.distanceMm + kRangeNoiseMm * unitNoise(s));
    const int jitter = static_cast<int>(std::lround(kIntensityNoise * unitNoise(s + 1)));
    hit.intensity = std::clamp(hit.intensity + jitter - (lastEcho ? 30 : 0), 0, 255);
    return hit;
}

}  // namespace k740::sim
