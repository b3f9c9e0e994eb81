// Binary PCD and PLY files.
#include "tools/point_cloud_files.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace k740 {

namespace {

static_assert(sizeof(float) == 4, "four-byte floats in the files");

// The points as four little-endian floats each, then the file: header and body.
int writeFile(const std::string& path, const std::string& header, const pcl::PointCloud<pcl::PointXYZI>& cloud) {
    std::vector<std::uint8_t> body(cloud.size() * 16);
    std::uint8_t* q = body.data();
    for (const pcl::PointXYZI& p : cloud) {
        for (const float v : {p.x, p.y, p.z, p.intensity}) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            for (int i = 0; i < 4; ++i) *q++ = static_cast<std::uint8_t>(bits >> (8 * i));
        }
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return -1;
    const bool written = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
                         std::fwrite(body.data(), 1, body.size(), f) == body.size();
    return std::fclose(f) == 0 && written ? 0 : -1;
}

}  // namespace

int writeBinaryPcd(const std::string& path, const pcl::PointCloud<pcl::PointXYZI>& cloud) {
    const std::string n = std::to_string(cloud.size());
    return writeFile(path,
                     "# .PCD v0.7 - Point Cloud Data file format\n"
                     "VERSION 0.7\n"
                     "FIELDS x y z intensity\n"
                     "SIZE 4 4 4 4\n"
                     "TYPE F F F F\n"
                     "COUNT 1 1 1 1\n"
                     "WIDTH " + n + "\n"
                     "HEIGHT 1\n"
                     "VIEWPOINT 0 0 0 1 0 0 0\n"
                     "POINTS " + n + "\n"
                     "DATA binary\n",
                     cloud);
}

int writeBinaryPly(const std::string& path, const pcl::PointCloud<pcl::PointXYZI>& cloud) {
    return writeFile(path,
                     "ply\n"
                     "format binary_little_endian 1.0\n"
                     "comment k740-convert pcd\n"
                     "element vertex " + std::to_string(cloud.size()) + "\n"
                     "property float x\n"
                     "property float y\n"
                     "property float z\n"
                     "property float intensity\n"
                     "end_header\n",
                     cloud);
}

}  // namespace k740
