#pragma once
// The records a project file may hold after the 3D model's block: the focal lengths known,
// the metric scale, the 3D view's dense surface and the cameras' model. Each is written only when
// it holds something, so a project without them keeps the bytes it always had. They are read tag by
// tag in whatever order they come; a record met twice, one this version cannot read or
// anything else after them refuses the file with the reason, so that nothing is dropped
// silently by the next save.
namespace q3d {

class Archive;
class CProjectDoc;

void SerializeOptionalRecords(Archive& ar, CProjectDoc& doc);

}  // namespace q3d
