#pragma once
// Command identifiers shared by the main frame (which owns the actions) and the views
// (which handle most commands while they are active).
namespace q3d::cmd {

// Framework commands.
constexpr int kNew = 57600;
constexpr int kOpen = 57601;
constexpr int kSave = 57603;
constexpr int kSaveAs = 57604;
constexpr int kRecentFile1 = 57616;  // .. kRecentFile1 + 3
constexpr int kExit = 57665;
constexpr int kAbout = 57664;
constexpr int kSelectAll = 57642;
constexpr int kUndo = 57643;
constexpr int kRedo = 57644;
constexpr int kNextPane = 57680;
constexpr int kPrevPane = 57681;
constexpr int kViewToolbar = 59392;
constexpr int kViewStatusBar = 59393;

// Project commands.
constexpr int kDelete = 32772;
constexpr int kInvertSelection = 32777;
constexpr int kRender = 32803;
constexpr int kRemoveRenderData = 32811;
constexpr int kExportModel = 32827;
constexpr int kAutomaticMatching = 32830;
constexpr int kManualMatching = 32863;
constexpr int kSetImages = 32866;

// Pane views.
constexpr int kViewImage1 = 32799;
constexpr int kViewImage2 = 32800;
constexpr int kViewTexture = 32801;
constexpr int kView3DModel = 32828;
constexpr int kViews = 32874;

// Image views.
constexpr int kRoiFixedSize = 32834;
constexpr int kRoiWholeImage = 32835;
constexpr int kFitToWindow = 32839;
constexpr int kZoomIn = 32840;
constexpr int kZoomOut = 32841;
constexpr int kFullColor = 32842;
constexpr int kGrayscale = 32843;
constexpr int kShowPoints = 32867;
constexpr int kShowPointIds = 32869;
constexpr int kShowVectors = 32870;
constexpr int kToolArrow = 32880;
constexpr int kToolPan = 32881;
constexpr int kToolZoom = 32882;
constexpr int kToolRoi = 32883;

// Texture view.
constexpr int kThresholdMedian = 32844;
constexpr int kBlur = 32845;
constexpr int kMedian = 32847;
constexpr int kSharpen = 32848;
constexpr int kEraserTool = 32898;

// 3D view.
constexpr int kSmoothOn = 32851;
constexpr int kSubdivisions = 32852;
constexpr int kCubicInterpolation = 32853;
constexpr int kTextureOn = 32854;
constexpr int kBilinearFiltering = 32855;
constexpr int kPointFiltering = 32856;
constexpr int kLightingOn = 32857;
constexpr int kFillPoint = 32860;
constexpr int kFillWireframe = 32861;
constexpr int kFillSolid = 32862;
constexpr int kFlatShading = 32864;
constexpr int kGouraudShading = 32865;

// Help.
constexpr int kHelpContents = 32901;

// Our own: render with the refinement of the focal lengths and pose (a setting).
constexpr int kRefineRender = 32990;
// Our own: the 3D view's model back to the first view, fitted to the pane.
constexpr int kResetView = 32991;
// Our own: the 3D view's mesh is the dense surface matched at every pixel of the face.
constexpr int kDenseMesh = 32992;

}  // namespace q3d::cmd
