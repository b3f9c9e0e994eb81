// CSV export lines.
#include "export/csv_format.h"

namespace k740 {

const char* const kCsvHeader = "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp";

PointCm exportCoordinates(double distanceMm, double azimuthDeg, const CsvExportOptions& o) {
    if (o.wholeCm == CsvWholeCm::AddHalfThenTruncate)
        return pointCoordinatesAddHalf(distanceMm, azimuthDeg, o.viewMode);
    return pointCoordinates(distanceMm, azimuthDeg, o.viewMode);
}

void writeCsvHeader(std::ostream& out) { out << kCsvHeader << '\n'; }

void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp) {
    out << frameId << ',' << p.x << ',' << p.y << ',' << p.z << ',' << intensity << ',' << azimuthDeg << ','
        << distanceCm << ',' << timeStamp << '\n';
}

std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options) {
    return forEachExportPoint(frame, options, [&](const ExportPoint& e) {
        writeCsvLine(out, frameId, e.p, e.intensity, e.azimuthDeg, e.distanceCm, e.timeStamp);
    });
}

}  // namespace k740
