#include "views/dot_centring_setting.h"

#include <QSettings>

namespace q3d {
namespace {

constexpr auto kPreciseDotCentresKey = "Settings/PreciseDotCentres";

}  // namespace

DotCentring DotCentringSetting() {
  return QSettings().value(QString::fromLatin1(kPreciseDotCentresKey), true).toBool()
             ? DotCentring::kPrecise
             : DotCentring::kPlain;
}

void SetDotCentringSetting(DotCentring centring) {
  QSettings().setValue(QString::fromLatin1(kPreciseDotCentresKey),
                       centring == DotCentring::kPrecise);
}

}  // namespace q3d
