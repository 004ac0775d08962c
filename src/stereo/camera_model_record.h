#pragma once
// What the render knows of the cameras beyond their focal lengths, kept in a record after
// the model block: whether the photographs are fitted as one camera (the user's choice) and
// how precisely each known focal length is known. Written only when something differs from
// the defaults, so projects that never set them keep their bytes.
#include "stereo/camera.h"
#include "stereo/stereo_pair.h"

namespace q3d {

class Archive;

void WriteCameraModelRecord(Archive& ar, const CCamera& camera1, const CCamera& camera2,
                            const CStereoPair& pair);

// Reads the record when the next bytes are its tag and returns true; returns false, reading
// nothing, otherwise. A record of another version, of another size or with a value no
// command sets is refused (ArchiveError naming it).
bool ReadCameraModelRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair);

// The defaults a project without the record has.
void ClearCameraModelRecord(CCamera& camera1, CCamera& camera2, CStereoPair& pair);

}  // namespace q3d
