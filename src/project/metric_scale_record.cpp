#include "project/metric_scale_record.h"

#include <cmath>

#include "base/archive.h"
#include "model/metric_scale.h"

namespace q3d {
namespace {

constexpr char kTag[4] = {'Q', 'V', 'S', 'C'};
constexpr size_t kRecordSize = sizeof kTag + 4 + 4 + 8;

}  // namespace

void SerializeMetricScale(Archive& ar, MetricScale& scale) {
  if (ar.IsStoring()) {
    if (!scale.IsSet()) return;
    ar.WriteBytes(kTag, sizeof kTag);
    ar.WriteInt32(scale.match1);
    ar.WriteInt32(scale.match2);
    ar.WriteDouble(scale.millimetres);
    return;
  }
  scale = MetricScale{};
  if (ar.Remaining() < kRecordSize || !ar.NextBytesAre(kTag, sizeof kTag)) return;
  char tag[sizeof kTag];
  ar.ReadBytes(tag, sizeof tag);
  MetricScale read;
  read.match1 = ar.ReadInt32();
  read.match2 = ar.ReadInt32();
  read.millimetres = ar.ReadDouble();
  // A distance that is no distance is not a scale.
  if (read.millimetres > 0 && std::isfinite(read.millimetres)) scale = read;
}

}  // namespace q3d
