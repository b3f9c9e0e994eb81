// Turning a frame into coloured points and table rows.
#include "display/cloud_builder.h"

#include <algorithm>

namespace k740 {

float g_DisplayAngleLimit = 180.0f;

QStringList tableHeaderLabels() {
    return {QStringLiteral("PointID"),     QStringLiteral("Points_cm_XYZ"), QStringLiteral("Azimuth"),
            QStringLiteral("Distance_cm"), QStringLiteral("Intensity"),     QStringLiteral("Timestamp")};
}

TableRow makeTableRow(int rowNumber, const PointCm& p, double azimuthDeg, double distanceMm, int intensity,
                      std::uint64_t timeStamp) {
    TableRow row;
    row[0] = QString::number(rowNumber);
    row[1] = QString::number(p.x, 'f', 4) + QLatin1Char(' ') + QString::number(p.y, 'f', 4) +
             QLatin1Char(' ') + QString::number(p.z, 'f', 4);
    row[2] = QString::number(azimuthDeg, 'f', 3);
    row[3] = QString::number(distanceMm * 0.1, 'f', 4);
    row[4] = QString::number(intensity);
    row[5] = QString::number(static_cast<qulonglong>(timeStamp));
    return row;
}

CloudBuildCounts buildFrameClouds(LidarDataSingleLine& frame, const CloudOptions& options, Cloud& scratch,
                                  Cloud& realTime, Cloud& clicked, std::vector<TableRow>& rows,
                                  const InBoxHook& inBox) {
    CloudBuildCounts counts;
    // The point count is that of the azimuths; a shorter distance vector ends the frame early.
    const std::size_t n = std::min(frame.pointAngle.size(), frame.distance.size());
    int tableRows = 0;
    for (std::size_t i = 0; i < n; ++i) {
        double& d = frame.distance[i];
        d = scaleDistance(d, options.protocol);
        const double azimuth = frame.pointAngle[i];
        const PointCm p = pointCoordinates(d, azimuth, options.viewMode);

        CloudPoint point;
        point.x = p.x;
        point.y = p.y;
        point.z = p.z;
        scratch.push_back(point);
        ++counts.computed;

        if (!withinDisplayAngle(azimuth, options.angleLimit)) d = 0.0;
        if (!(d > 0.0)) continue;
        ++counts.visible;

        const int intensity = i < frame.intensity.size() ? frame.intensity[i] : 0;
        const std::uint64_t stamp = i < frame.timeStamp.size() ? frame.timeStamp[i] : 0;
        if (!options.selectionActive && tableRows < options.maxTableRows) {
            rows.push_back(makeTableRow(tableRows, p, azimuth, d, intensity, stamp));
            ++tableRows;
        }

        const Rgb c = pointColour(options.colourMode, intensity, p.z, azimuth);
        point.r = c.r;
        point.g = c.g;
        point.b = c.b;

        if (options.box.contains(p.x, p.y, p.z)) {
            clicked.push_back(point);
            if (inBox) inBox(point, i);
        } else {
            realTime.push_back(point);
        }
    }
    return counts;
}

}  // namespace k740
