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

// Writes the record when there is anything to keep.
void WriteFocalRecord(Archive& ar, const CCamera& camera1, const CCamera& camera2,
                      const CStereoPair& pair);

// Reads the record when the next bytes are its tag and returns true; returns false, reading
// nothing, otherwise. A record of another version, or with a value outside what the commands
// accept, is refused (ArchiveError naming it) rather than skipped.
bool ReadFocalRecord(Archive& ar, CCamera& camera1, CCamera& camera2, CStereoPair& pair);

// Forgets every focal length known and every source, as a project without the record has.
void ClearFocalRecord(CCamera& camera1, CCamera& camera2, CStereoPair& pair);

}  // namespace q3d
