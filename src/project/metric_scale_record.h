#pragma once
// The metric scale's place in the project file: an optional record after the 3D model's,
// written only when a scale is set, so that every project without one keeps its bytes.
// Record: the four bytes "QVSC", the two match identifiers (32-bit integers) and the
// distance in millimetres (64-bit real), little-endian.
namespace q3d {

class Archive;
struct MetricScale;

// Writes the record when the scale is set.
void WriteMetricScale(Archive& ar, const MetricScale& scale);

// Reads the record when the next bytes are its tag and returns true; returns false, reading
// nothing, otherwise. A record cut short or a distance outside what the Scale command
// accepts is refused (ArchiveError naming it).
bool ReadMetricScale(Archive& ar, MetricScale& scale);

}  // namespace q3d
