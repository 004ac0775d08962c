#pragma once
// What a render and the project's state say to the user in one line each: the cameras a
// render found, and why Render cannot run yet.
#include <string>

namespace q3d {

class CProjectDoc;

// "Rendered: f1 1185 px (EXIF), f2 1190 px (EXIF); median reprojection error 0.21 px."
// Empty when the project is not rendered.
std::string RenderSummary(const CProjectDoc& doc);

// Why Render is unavailable ("Render needs at least 10 matches: 4 so far."), or empty
// when it can run.
std::string WhyRenderUnavailable(const CProjectDoc& doc);

}  // namespace q3d
