#include "project/metric_scale_record.h"

#include "base/archive.h"
#include "model/metric_scale.h"

namespace q3d {
namespace {

constexpr char kTag[4] = {'Q', 'V', 'S', 'C'};
constexpr size_t kBodySize = 4 + 4 + 8;

}  // namespace

void WriteMetricScale(Archive& ar, const MetricScale& scale) {
  if (!scale.IsSet()) return;
  ar.WriteBytes(kTag, sizeof kTag);
  ar.WriteInt32(scale.match1);
  ar.WriteInt32(scale.match2);
  ar.WriteDouble(scale.millimetres);
}

bool ReadMetricScale(Archive& ar, MetricScale& scale) {
  if (!ar.NextBytesAre(kTag, sizeof kTag)) return false;
  char tag[sizeof kTag];
  ar.ReadBytes(tag, sizeof tag);
  if (ar.Remaining() < kBodySize) throw ArchiveError("The real-distance record is cut short.");
  MetricScale read;
  read.match1 = ar.ReadInt32();
  read.match2 = ar.ReadInt32();
  read.millimetres = ar.ReadDouble();
  if (!(read.millimetres >= kSmallestScaleMm && read.millimetres <= kLargestScaleMm))
    throw ArchiveError(
        "The real-distance record holds a distance outside 0.000001 to "
        "1000000000 millimetres.");
  scale = read;
  return true;
}

}  // namespace q3d
