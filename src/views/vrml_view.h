#pragma once
// The 3D Model pane: the model's textured mesh in an OpenGL scene that the user turns,
// pans and zooms with the mouse and stretches with the X, Y and Z keys; the 3D Model
// menu chooses how the mesh is built and drawn; Export 3D Model writes it to a file.
#include <QCursor>
#include <QMenu>
#include <QOpenGLFunctions_3_3_Core>
#include <QOpenGLWidget>
#include <QPointer>

#include "base/error_stack.h"
#include "base/result.h"
#include "model/mesh_builder.h"
#include "stereo/image.h"
#include "views/content_view.h"
#include "views/gl_mesh.h"
#include "views/gl_render_quality.h"
#include "views/gl_scene.h"
#include "views/gl_scene_renderer.h"
#include "views/gl_texture.h"

namespace q3d {

class CVRMLView : public QOpenGLWidget, public ContentView, protected QOpenGLFunctions_3_3_Core {
  Q_OBJECT

 public:
  // Tool modes of the mouse.
  static constexpr int kToolRotate = 0;
  static constexpr int kToolPan = 1;
  static constexpr int kToolZoom = 2;

  explicit CVRMLView(QWidget* parent = nullptr);
  ~CVRMLView() override;

  QWidget* Widget() override { return this; }
  ViewKind Kind() const override { return ViewKind::Model3D; }
  bool OnCommand(int id) override;
  bool OnUpdateCommand(int id, CommandState& state) override;
  QString Caption() const override;
  void OnDocumentUpdate(DocumentObserver* sender, int hint) override;

  // The menu the right button pops up (the frame's 3D Model menu); not owned.
  void SetContextMenu(QMenu* menu) { m_contextMenu = menu; }

  // A mouse move at (x, y) in widget pixels with the left button and the Space and Ctrl
  // keys in the given states.
  void HandleMouseMove(int x, int y, bool leftDown, bool spaceDown, bool ctrlDown);
  // A key press (Qt key code); shift tells whether Shift is held.
  void HandleKeyDown(int key, bool shift);

  const Scene3D& Scene() const { return m_scene; }
  const MeshBuilder& Mesh() const { return m_meshBuilder; }
  int ToolMode() const { return m_toolMode; }
  RenderQuality Quality() const;
  // Cursor the view shows for a tool mode.
  QCursor ToolCursor(int toolMode) const;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildModel();
  // The project shows its dense surface (a choice kept by the model, not the view).
  bool ShowsDense() const;
  // The dense surface matched off the GUI thread into the mesh, with its texture. False
  // when there is none: cancelled quietly, or failed with the reason shown.
  bool BuildDenseModel(CProjectDoc& doc);
  // Image 1 under the dense mesh, with the texture's retouching.
  void TakeDenseTexture(CProjectDoc& doc);
  // The dense surface exported on its full grid (the view shows a coarser one).
  Status ExportDenseModel(CProjectDoc& doc, const std::string& path);
  void ShowErrorLater(const ErrorRecord& record);
  void Render();
  void ReleaseGl();
  void ExportModel();
  void UpdateDocument(int hint);
  void ApplyToolCursor();
  // Back to the rotate tool (or pan, Space still down) when no tool was chosen.
  void ReturnLentTool();
  // Radius of the mesh's bounding sphere in mesh units (0 without a mesh).
  float ModelRadius() const;
  // Puts the model in front of the camera at the size that fills most of the view;
  // resetOrientation turns it to face the camera as at first.
  void FitModel(bool resetOrientation);
  // The model's scale for the size of the view.
  void FitScale();
  // Moves the model away (positive) or nearer in proportion to its distance.
  void ZoomBy(float pixels);

  Scene3D m_scene;
  MeshBuilder m_meshBuilder;
  GlMesh m_glMesh;
  GlTexture m_meshTexture;
  GlSceneRenderer m_renderer;
  bool m_meshChanged = false;
  bool m_textureChanged = false;
  bool m_denseTextureStale = false;  // the texture was retouched since the dense texture was taken
  bool m_built = false;

  int m_lighting = kLightOn;
  int m_fillMode = kFillSolid;
  int m_shadeMode = kShadeGouraud;
  int m_textureFilter = kTextureNearest;
  int m_lastX = 0;
  int m_lastY = 0;
  int m_textureOn = 1;
  int m_cubic = 0;
  int m_gridSize = C3DModel::kGridSize;
  int m_smooth = 0;
  Image m_denseTexture;  // image 1 under the dense mesh
  int m_toolMode = kToolRotate;
  int m_toolLocked = 0;
  QCursor m_panCursor;
  QCursor m_zoomCursor;
  bool m_spaceDown = false;
  QPointer<QMenu> m_contextMenu;
};

}  // namespace q3d
