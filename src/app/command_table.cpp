#include "app/command_table.h"

#include <array>

#include "views/command_ids.h"

namespace q3d {
namespace {

using namespace cmd;

constexpr std::array kCommands = {
    // File
    CommandText{kNew, "&New\tCtrl+N", "Create a new project", "New"},
    CommandText{kOpen, "&Open...\tCtrl+O", "Open an existing project", "Open"},
    CommandText{kSave, "&Save\tCtrl+S", "Save the active project", "Save"},
    CommandText{kSaveAs, "Save &As...\tCtrl+Shift+S", "Save the active project with a new name",
                "Save As"},
    CommandText{kExportModel, "Export 3D &Model...", "Save the 3D Model with a new name",
                "Save 3D Model"},
    CommandText{kRecentFile1, "", "Open this project", "Open"},
    CommandText{kRecentFile1 + 1, "", "Open this project", "Open"},
    CommandText{kRecentFile1 + 2, "", "Open this project", "Open"},
    CommandText{kRecentFile1 + 3, "", "Open this project", "Open"},
    CommandText{kExit, "E&xit\tCtrl+Q", "Quit the application; prompts to save the project",
                "Exit"},
    // Edit
    CommandText{kUndo, "&Undo\tCtrl+Z", "Undo the last action", "Undo"},
    CommandText{kRedo, "&Redo\tCtrl+Y", "Redo the last action undone", "Redo"},
    CommandText{kDelete, "&Delete\tDel", "Delete the selected points and their matches", "Delete"},
    CommandText{kSelectAll, "Select &All\tCtrl+A", "Select all the points of the image",
                "Select All"},
    CommandText{kInvertSelection, "&Invert Selection\tCtrl+I", "Invert the selection of points",
                "Invert Selection"},
    // View
    CommandText{kViewToolbar, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar"},
    CommandText{kViewStatusBar, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar"},
    CommandText{kViewImage1, "&Image 1\tF1", "Show image 1 in the selected pane", "Image 1"},
    CommandText{kViewImage2, "I&mage 2\tF2", "Show image 2 in the selected pane", "Image 2"},
    CommandText{kViewTexture, "Textur&e\tF3", "Show the texture in the selected pane", "Texture"},
    CommandText{kView3DModel, "&3D Model\tF4", "Show the 3D model in the selected pane",
                "3D Model"},
    CommandText{kViews, "", "Choose what the selected pane shows", "Views"},
    CommandText{kNextPane, "", "Switch to the next window pane", "Next Pane"},
    CommandText{kPrevPane, "", "Switch back to the previous window pane", "Previous Pane"},
    // Project
    CommandText{kSetImages, "&Set Images...\tCtrl+W", "Choose the two images of the stereo pair",
                "Set Images"},
    CommandText{kAutomaticMatching, "&Automatic Matching...\tCtrl+M",
                "Find feature points on both images and perform automatic matching",
                "Automatic Matching"},
    CommandText{kManualMatching, "&Manual Matching\tCtrl+Alt+M",
                "Insert matches by setting points in both cameras", "Manual Matching"},
    CommandText{kRender, "&Render\tCtrl+R", "Reconstruct the 3D model from the matches", "Render"},
    CommandText{kRefineRender, "Re&fine Focal Lengths",
                "Refine the focal lengths and the pose of camera 2 when rendering",
                "Refine Focal Lengths"},
    CommandText{kRemoveRenderData, "Remove Render &Data\tCtrl+Alt+R",
                "Remove the 3D reconstruction and keep the matches", "Remove Render Data"},
    // Image and texture panes
    CommandText{kRoiFixedSize, "Fixed Size...\tAlt+R", "Set the ROI of the image to a fixed size",
                "Fixed Size"},
    CommandText{kRoiWholeImage, "&Whole Image\tAlt+W", "Select whole image", "Whole Image"},
    CommandText{kFitToWindow, "&Fit To Window\tCtrl+F", "Zoom the image to fit in the window",
                "Fit To Window"},
    CommandText{kZoomIn, "Zoom &In\tCtrl+Plus", "Zoom in", "Zoom In"},
    CommandText{kZoomOut, "Zoom &Out\tCtrl+Minus", "Zoom out", "Zoom Out"},
    CommandText{kFullColor, "Full &Color", "Show the image in color", "Full Color"},
    CommandText{kGrayscale, "&Grayscale", "Show the image in grayscale", "Grayscale"},
    CommandText{kShowPoints, "Show &Points", "Show or hide points", "Show Points"},
    CommandText{kShowPointIds, "Show Point I&Ds", "Show or hide point IDs", "Show Point IDs"},
    CommandText{kShowVectors, "Show Disparity &Vectors", "Show or hide disparity vectors",
                "Show Disparity Vectors"},
    CommandText{kToolArrow, "", "Select and edit points", "Arrow"},
    CommandText{kToolPan, "", "Move the image or the model with the mouse", "Pan"},
    CommandText{kToolZoom, "", "Zoom with the mouse", "Zoom"},
    CommandText{kToolRoi, "", "Draw the region of interest", "Region Of Interest"},
    // Texture
    CommandText{kThresholdMedian, "Threshold && Median...\tCtrl+T",
                "Clean markers in the selected region of the texture", "Threshold & Median"},
    CommandText{kEraserTool, "&Eraser Tool\tCtrl+Shift+T", "Erase the make-up manually",
                "Eraser Tool"},
    CommandText{kBlur, "&Blur...", "Apply a blur filter to the selected region of the texture",
                "Blur"},
    CommandText{kMedian, "&Median...",
                "Apply a median filter to the selected region of the texture", "Median"},
    CommandText{kSharpen, "&Sharpen", "Sharpen the selected region of the texture", "Sharpen"},
    // 3D model
    CommandText{kSmoothOn, "Smooth &On\tAlt+S", "Toggle mesh smoothing", "Smooth On"},
    CommandText{kSubdivisions, "&Subdivisions", "Smooth the mesh by subdividing its triangles",
                "Subdivisions"},
    CommandText{kCubicInterpolation, "&Cubic Interpolation",
                "Smooth the mesh by cubic interpolation on a grid", "Cubic Interpolation"},
    CommandText{kDenseMesh, "&Dense", "Build the mesh from every matched pixel of the face",
                "Dense Mesh"},
    CommandText{kTextureOn, "Texture &On\tAlt+T", "Toggle mesh texturing", "Toggle Texture"},
    CommandText{kBilinearFiltering, "&Bilinear Filtering", "Filter the texture bilinearly",
                "Bilinear Filtering"},
    CommandText{kPointFiltering, "&Point Filtering", "Filter the texture by the nearest texel",
                "Point Filtering"},
    CommandText{kLightingOn, "Lighting &On\tAlt+L", "Toggle lighting", "Lighting On"},
    CommandText{kFlatShading, "&Flat Shading\tAlt+F", "Shade each face with one colour",
                "Flat Shading"},
    CommandText{kGouraudShading, "&Gouraud Shading\tAlt+G", "Shade the faces smoothly",
                "Gouraud Shading"},
    CommandText{kFillPoint, "&Point", "Draw the vertices only", "Point"},
    CommandText{kFillWireframe, "&Wireframe", "Draw the edges only", "Wireframe"},
    CommandText{kFillSolid, "&Solid", "Draw filled faces", "Solid"},
    CommandText{kResetView, "&Reset View\tCtrl+0",
                "Turn the model to face you and fit it to the pane", "Reset View"},
    // Help
    CommandText{kHelpContents, "&Contents", "Display the help contents", "Help Contents"},
    CommandText{kAbout, "&About Quorvan...",
                "Display program information, version number and copyright", "About"},
};

}  // namespace

const CommandText* FindCommandText(int id) {
  for (const CommandText& c : kCommands)
    if (c.id == id) return &c;
  return nullptr;
}

QString MenuTextWithoutAccelerator(const char* menuText) {
  const QString text = QString::fromUtf8(menuText);
  const qsizetype tab = text.indexOf(QLatin1Char('\t'));
  return tab < 0 ? text : text.left(tab);
}

}  // namespace q3d
