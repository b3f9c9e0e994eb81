// The per-point work of drawing one frame: distances scaled, coordinates in centimetres,
// view-mode truncation, the display angle limit, colours, the rows of the data table and the
// split between the highlighted region and the rest. No widgets: the main window hands the
// options in and shows the clouds that come out.
#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "display/point_math.h"
#include "display/region_stats.h"

namespace k740 {

using CloudPoint = pcl::PointXYZRGB;
using Cloud = pcl::PointCloud<CloudPoint>;

// Display angle limit in degrees (process-wide; the angle field sets it). Points whose
// azimuth lies beyond +-limit around 0 are neither drawn nor listed.
extern float g_DisplayAngleLimit;

struct CloudOptions {
    int protocol = 0;     // protocol combo index: 0 "1.6" (raw / 0.5), 1 "1.7" (raw / 0.25)
    int viewMode = 0;     // 0 "View Mode 1" (whole centimetres), 1 "View Mode 2"
    int colourMode = 0;   // ColourMode
    float angleLimit = 180.0f;
    bool selectionActive = false;  // while a region is picked the per-frame table is not written
    int maxTableRows = 30;
    SelectionBox box;
};

// Data table of the dock: six text columns.
constexpr int kTableColumns = 6;
QStringList tableHeaderLabels();
using TableRow = std::array<QString, kTableColumns>;

// One table row: PointID, "x y z" (4 decimals each), azimuth (3), distance in cm (4),
// intensity, time stamp.
TableRow makeTableRow(int rowNumber, const PointCm& p, double azimuthDeg, double distanceMm, int intensity,
                      std::uint64_t timeStamp);

// Called for every visible point inside the selection box, after it went to the clicked
// cloud (the region statistics hang here).
using InBoxHook = std::function<void(const CloudPoint& point, std::size_t index)>;

struct CloudBuildCounts {
    std::size_t computed = 0;  // points appended to the scratch cloud
    std::size_t visible = 0;   // points with distance > 0 inside the angle limit
};

// Works through one frame in point order. The distances of the frame are scaled in place
// (and set to 0 beyond the angle limit). Appends to the three clouds and to rows; it does
// not empty them.
CloudBuildCounts buildFrameClouds(LidarDataSingleLine& frame, const CloudOptions& options, Cloud& scratch,
                                  Cloud& realTime, Cloud& clicked, std::vector<TableRow>& rows,
                                  const InBoxHook& inBox = InBoxHook());

}  // namespace k740
