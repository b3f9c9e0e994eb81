// CSV export cost of one 32,000-point frame: the work the window's export pass does for each
// frame (rows formatted and written through the export file), so that exporting keeps up with
// the live display at 20 revolutions a second (goal: at most 20 ms a frame).
//
// usage: bench_export [FILE] [FRAMES]   (default FILE /tmp/k740-bench-export.csv, 200 frames)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "export/csv_export_file.h"

namespace {

LidarDataSingleLine makeFrame(std::size_t points, unsigned seed) {
    LidarDataSingleLine f;
    for (std::size_t i = 0; i < points; ++i) {
        f.pointAngle.push_back(360.0 * static_cast<double>(i) / static_cast<double>(points));
        f.distance.push_back(2000.0 + static_cast<double>((i * 7919 + seed) % 60000) * 0.37);
        f.intensity.push_back(static_cast<int>((i + seed) % 256));
        f.timeStamp.push_back(1000000000ULL + i * 3 + seed);
    }
    return f;
}

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/k740-bench-export.csv";
    const int frames = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::size_t points = 32000;
    const LidarDataSingleLine frame = makeFrame(points, 1);

    // Wall time is what the display waits for; CPU time shows the cost on a busy machine.
    std::printf("%-28s %10s %10s %10s %12s %10s\n", "case", "median ms", "p95 ms", "max ms",
                "CPU med ms", "MB/frame");
    struct Case {
        const char* name;
        int viewMode;
    } cases[] = {{"view mode 1 (whole cm)", 0}, {"view mode 2 (exact)", 1}};
    for (const Case& c : cases) {
        k740::CsvExportFile file;
        if (!file.open(path)) {
            std::fprintf(stderr, "bench_export: %s: %s\n", path.c_str(), file.error().c_str());
            return 1;
        }
        k740::CsvExportOptions o;
        o.protocol = 1;
        o.viewMode = c.viewMode;
        std::vector<double> ms, cpu;
        for (int k = 1; k <= frames; ++k) {
            const std::clock_t c0 = std::clock();
            const auto t0 = std::chrono::steady_clock::now();
            file.writeFrame(frame, k, o);
            const auto t1 = std::chrono::steady_clock::now();
            const std::clock_t c1 = std::clock();
            ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            cpu.push_back(1000.0 * static_cast<double>(c1 - c0) / CLOCKS_PER_SEC);
        }
        if (!file.close()) {
            std::fprintf(stderr, "bench_export: %s: %s\n", path.c_str(), file.error().c_str());
            return 1;
        }
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        const double mb = static_cast<double>(std::ftell(f)) / frames / 1048576.0;
        std::fclose(f);
        std::printf("%-28s %10.2f %10.2f %10.2f %12.2f %10.2f\n", c.name, percentile(ms, 0.5),
                    percentile(ms, 0.95), percentile(ms, 1.0), percentile(cpu, 0.5), mb);
    }
    std::remove(path.c_str());
    return 0;
}
