#pragma once
// The metric scale's place in the project file: an optional record after the 3D model's,
// written only when a scale is set, so that every project without one keeps its bytes.
// Record: the four bytes "QVSC", the two match identifiers (32-bit integers) and the
// distance in millimetres (64-bit real), little-endian.
namespace q3d {

class Archive;
struct MetricScale;

// Storing: writes the record when the scale is set. Loading: reads it when the bytes left
// begin with it; anything else after the model stays unread, as before.
void SerializeMetricScale(Archive& ar, MetricScale& scale);

}  // namespace q3d
