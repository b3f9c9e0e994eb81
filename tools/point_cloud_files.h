// Point-cloud files of k740-convert pcd: binary PCD (version 0.7) and binary little-endian
// PLY with the fields x, y, z and intensity, as PCL's readers and other point-cloud tools
// read them. Written here rather than through PCL's I/O library, which would load a large
// set of libraries into every run of k740-convert.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <string>

namespace k740 {

// Both return 0 when the whole file was written, -1 otherwise.
int writeBinaryPcd(const std::string& path, const pcl::PointCloud<pcl::PointXYZI>& cloud);
int writeBinaryPly(const std::string& path, const pcl::PointCloud<pcl::PointXYZI>& cloud);

}  // namespace k740
