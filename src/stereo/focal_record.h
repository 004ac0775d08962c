#pragma once
// The focal lengths known for each photograph and the sources of the rendered ones, kept
// in a record after the last block of the project file. Files written before it end with
// the model block and read as "nothing known"; a project that knows nothing writes no
// record, so its file stays byte for byte what it always was. Readers that stop after the
// model block never look at the record.
#include "stereo/camera.h"
#include "stereo/stereo_pair.h"

namespace q3d {

class Archive;

// Writes the record when there is anything to keep; reads it when the file holds one
// (anything else after the model block is left unread).
void SerializeFocalRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair);

}  // namespace q3d
