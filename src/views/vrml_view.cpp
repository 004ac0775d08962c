#include "views/vrml_view.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "base/error_stack.h"
#include "model/dense_surface.h"
#include "views/command_ids.h"
#include "views/wait_cursor.h"

namespace q3d {
namespace {

// Rotation: a move of d pixels turns the model by 0.5·d/e radians with e = sqrt(d² + 2500).
constexpr float kRotationEaseSquared = 2500.0f;
constexpr float kRotationStep = 0.5f;
constexpr float kPanUnitsPerPixel = 0.04f;
constexpr float kZoomUnitsPerPixel = 0.2f;
// The model's first distance from the camera; fitting scales the model to be seen there.
constexpr float kModelDistance = 15.0f;
// Share of the smaller side of the view that the fitted model's bounding sphere spans.
constexpr float kFitShare = 0.9f;
// Zooming scales the distance: a pixel of drag changes it by 0.2 units at the first
// distance, and by the same proportion anywhere else, so no drag passes through the model.
constexpr float kZoomPerPixel = kZoomUnitsPerPixel / kModelDistance;
// A notch of the wheel zooms as far as a drag of this many pixels.
constexpr float kWheelNotchPixels = 15.0f;
// The nearest the camera comes to the model's surface, in radii of the model.
constexpr float kNearestGap = 0.1f;
constexpr float kScaleUp = 10.0f / 9.0f;
constexpr float kScaleDown = 0.9f;

// Shows the wait cursor for the lifetime of the object.
// A magnifying glass with its hot spot in the middle of the lens.
QCursor MakeZoomCursor() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  for (const auto& [color, width] :
       {std::pair{QColor(Qt::white), 4.0}, std::pair{QColor(Qt::black), 2.0}}) {
    painter.setPen(QPen(color, width));
    painter.drawEllipse(QPointF(12, 12), 8, 8);
    painter.drawLine(QPointF(18, 18), QPointF(28, 28));
  }
  painter.setPen(QPen(Qt::black, 1.5));
  painter.drawLine(QPointF(8, 12), QPointF(16, 12));
  painter.drawLine(QPointF(12, 8), QPointF(12, 16));
  return QCursor(pixmap, 12, 12);
}

}  // namespace

CVRMLView::CVRMLView(QWidget* parent)
    : QOpenGLWidget(parent), m_panCursor(Qt::OpenHandCursor), m_zoomCursor(MakeZoomCursor()) {
  QSurfaceFormat format = QSurfaceFormat::defaultFormat();
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(3, 3);
  format.setProfile(QSurfaceFormat::CoreProfile);
  format.setDepthBufferSize(24);
  setFormat(format);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(16, 16);
  ApplyToolCursor();
}

CVRMLView::~CVRMLView() {
  DetachDocument();
  if (context()) {
    // The base class destroys the context after this object's members are gone.
    disconnect(context(), nullptr, this, nullptr);
    makeCurrent();
    ReleaseGl();
    doneCurrent();
  }
}

void CVRMLView::ReleaseGl() {
  if (!m_renderer.IsReady()) return;
  m_glMesh.Release(*this);
  m_meshTexture.Release(*this);
  m_renderer.Release();
  // A new context (the widget moved to another window) needs everything uploaded again.
  m_meshChanged = true;
  m_textureChanged = true;
}

void CVRMLView::initializeGL() {
  // Without an OpenGL 3.3 context the view stays black.
  if (!initializeOpenGLFunctions()) return;
  if (!m_renderer.Initialize()) return;
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    ReleaseGl();
    doneCurrent();
  });
  m_meshChanged = true;
  m_textureChanged = true;
}

void CVRMLView::paintGL() {
  if (!m_renderer.IsReady()) {
    QOpenGLFunctions* gl = context()->functions();
    gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  if (m_meshChanged) {
    m_glMesh.Upload(*this, m_meshBuilder);
    m_meshChanged = false;
  }
  if (m_textureChanged) {
    if (m_denseTextureStale && Document()) TakeDenseTexture(*Document());
    m_denseTextureStale = false;
    if (Document())
      m_meshTexture.Upload(*this, ShowsDense() ? m_denseTexture : Document()->m_model.m_texture);
    else
      m_meshTexture.Release(*this);
    m_textureChanged = false;
  }
  const RenderQuality quality = Quality();
  m_meshTexture.SetLinearFilter(*this, quality.linearFilter);
  const qreal ratio = devicePixelRatioF();
  m_renderer.Render(*this, m_scene, m_glMesh, m_textureOn ? &m_meshTexture : nullptr,
                    QVector3D(1.0f, 1.0f, 1.0f), quality, qRound(width() * ratio),
                    qRound(height() * ratio));
}

void CVRMLView::Render() { update(); }

RenderQuality CVRMLView::Quality() const {
  return RenderQuality::FromBits(m_shadeMode | m_fillMode | m_lighting, m_textureFilter);
}

bool CVRMLView::ShowsDense() const { return Document() && Document()->m_model.m_showDense; }

void CVRMLView::BuildModel() {
  WaitCursor wait;
  m_built = true;
  CProjectDoc* doc = Document();
  // Without a render, or with fewer than three matches left after a Delete, there is no
  // surface to build: the view stays empty, without a message.
  if (!doc || !doc->IsRendered() || doc->m_stereoPair.m_matches.Count() < 3) {
    m_meshBuilder.Clear();
    if (doc) doc->m_model.m_polygonCount = 0;
    m_meshChanged = true;
    m_textureChanged = true;
    Render();
    return;
  }
  const int errorsBefore = ErrorCount();
  int status = 0;
  try {
    // A dense surface that is not built (cancelled, failed) leaves the points' mesh.
    if (ShowsDense() && !BuildDenseModel(*doc)) doc->m_model.m_showDense = false;
    if (!ShowsDense()) {
      m_meshBuilder.Clear();
      status = doc->m_model.BuildMesh(m_meshBuilder, m_cubic, m_gridSize, m_smooth);
    }
  } catch (const std::exception& error) {
    PushErrorText(std::string("Error: The 3D model cannot be built: ") + error.what() + ".");
    status = -1;
  }
  // A failed build keeps what was filled; say why rather than show it silently.
  if (status < 0 && ErrorCount() > errorsBefore) ShowErrorLater(PopError());
  // Marked only now: a frame drawn while a dense build pumped events took the old mesh.
  m_meshChanged = true;
  m_textureChanged = true;
  FitModel(false);
}

void CVRMLView::ShowErrorLater(const ErrorRecord& record) {
  // The message waits for the event loop: a build runs inside pane switches and document
  // updates, which a modal box must not interrupt half-way.
  QTimer::singleShot(0, this, [record] { ShowError(record); });
}

float CVRMLView::ModelRadius() const {
  MeshBox box;
  if (m_meshBuilder.VertexCount() == 0 || m_meshBuilder.GetBox(&box) != kMeshOk) return 0.0f;
  const QVector3D extent(box.max[0] - box.min[0], box.max[1] - box.min[1], box.max[2] - box.min[2]);
  return 0.5f * extent.length();
}

void CVRMLView::FitModel(bool resetOrientation) {
  SceneFrame& model = m_scene.model;
  if (resetOrientation) model.SetOrientation(&m_scene.root, QVector3D(0.0f, 0.0f, 1.0f), QVector3D(0.0f, 1.0f, 0.0f));
  // The mesh is centred on its box: the model frame's origin goes on the line of sight.
  model.SetPosition(&m_scene.root, QVector3D(0.0f, 0.0f, kModelDistance));
  FitScale();
}

void CVRMLView::FitScale() {
  const float radius = ModelRadius();
  const float aspect = static_cast<float>(std::max(width(), 1)) / static_cast<float>(std::max(height(), 1));
  const float halfSmallerSide = kModelDistance * m_scene.perspective.field * std::min(1.0f, aspect);
  m_scene.modelScale = radius > 0.0f ? kFitShare * halfSmallerSide / radius : 1.0f;
  Render();
}

void CVRMLView::ZoomBy(float pixels) {
  // Positive pixels move the model away; it never comes nearer than just before its surface.
  SceneFrame& model = m_scene.model;
  const QVector3D position = model.Position();
  const float radius = ModelRadius() * m_scene.modelScale;
  const float nearest = m_scene.perspective.front + radius * (1.0f + kNearestGap);
  const float distance = std::clamp(position.z() * std::exp(pixels * kZoomPerPixel), nearest,
                                    m_scene.perspective.back - radius);
  model.SetPosition(&m_scene.root, QVector3D(position.x(), position.y(), distance));
  Render();
}

void CVRMLView::OnDocumentUpdate(DocumentObserver* /*sender*/, int hint) {
  if (!m_built || hint == kHintRebuildModel) {
    BuildModel();
  } else if (hint == kHintTextureChanged) {
    // Retouching shows on the model at once, on the dense surface's texture too (taken
    // again once per frame drawn, however many brush stamps came in between).
    m_denseTextureStale = ShowsDense();
    m_textureChanged = true;
    Render();
  }
  NotifyStateChanged();
}

QString CVRMLView::Caption() const {
  const int32_t count = Document() ? Document()->m_model.PolygonCount() : 0;
  return QStringLiteral("3D Model - %1 Polygons").arg(static_cast<uint32_t>(count));
}

void CVRMLView::UpdateDocument(int hint) {
  if (Document())
    Document()->UpdateAllViews(nullptr, hint);
  else
    OnDocumentUpdate(nullptr, hint);
}

bool CVRMLView::OnCommand(int id) {
  // Sets a mode member to value when it differs, then draws again.
  auto setMode = [this](int& member, int value) {
    if (member == value) return;
    member = value;
    Render();
  };
  auto chooseTool = [this](int mode, int locked) {
    m_toolMode = mode;
    m_toolLocked = locked;
    ApplyToolCursor();
  };
  switch (id) {
    case cmd::kSmoothOn:
      m_smooth = !m_smooth;
      UpdateDocument(kHintRebuildModel);
      break;
    case cmd::kSubdivisions:
    case cmd::kCubicInterpolation: {
      const int cubic = id == cmd::kCubicInterpolation ? 1 : 0;
      if (m_cubic == cubic) break;
      m_cubic = cubic;
      UpdateDocument(kHintRebuildModel);
      break;
    }
    case cmd::kDenseMesh:
      if (CProjectDoc* doc = Document()) {
        // The project keeps its choice once it took: a dense build cancelled or refused
        // falls back to the points' mesh and leaves the project unchanged.
        EditScope edit(*doc, "Dense Mesh");
        const bool wanted = !doc->m_model.m_showDense;
        doc->m_model.m_showDense = wanted;
        UpdateDocument(kHintRebuildModel);
        if (doc->m_model.m_showDense == wanted) doc->SetModifiedFlag();
      } else {
        UpdateDocument(kHintRebuildModel);
      }
      break;
    case cmd::kTextureOn:
      m_textureOn = !m_textureOn;
      Render();
      break;
    case cmd::kBilinearFiltering:
      setMode(m_textureFilter, kTextureLinear);
      break;
    case cmd::kPointFiltering:
      setMode(m_textureFilter, kTextureNearest);
      break;
    case cmd::kLightingOn:
      m_lighting = m_lighting == kLightOn ? kLightOff : kLightOn;
      Render();
      break;
    case cmd::kFlatShading:
      setMode(m_shadeMode, kShadeFlat);
      break;
    case cmd::kGouraudShading:
      setMode(m_shadeMode, kShadeGouraud);
      break;
    case cmd::kFillPoint:
      setMode(m_fillMode, kFillPoints);
      break;
    case cmd::kFillWireframe:
      setMode(m_fillMode, kFillWireframe);
      break;
    case cmd::kFillSolid:
      setMode(m_fillMode, kFillSolid);
      break;
    case cmd::kToolArrow:
      chooseTool(kToolRotate, 0);
      break;
    case cmd::kToolPan:
      chooseTool(kToolPan, 1);
      break;
    case cmd::kToolZoom:
      chooseTool(kToolZoom, 1);
      break;
    case cmd::kExportModel:
      ExportModel();
      break;
    case cmd::kResetView:
      FitModel(true);
      break;
    default:
      return false;
  }
  NotifyStateChanged();
  return true;
}

bool CVRMLView::OnUpdateCommand(int id, CommandState& state) {
  auto radio = [&state](bool selected) {
    state.radio = true;
    state.checked = selected;
  };
  switch (id) {
    case cmd::kSmoothOn:
      state.enabled = !ShowsDense();
      state.checked = m_smooth != 0;
      break;
    case cmd::kSubdivisions:
      state.enabled = m_smooth != 0 && !ShowsDense();
      radio(m_cubic == 0);
      break;
    case cmd::kCubicInterpolation:
      state.enabled = m_smooth != 0 && !ShowsDense();
      radio(m_cubic == 1);
      break;
    case cmd::kDenseMesh:
      state.checked = ShowsDense();
      break;
    case cmd::kTextureOn:
      state.checked = m_textureOn != 0;
      break;
    case cmd::kBilinearFiltering:
      state.enabled = m_textureOn != 0;
      radio(m_textureFilter == kTextureLinear);
      break;
    case cmd::kPointFiltering:
      state.enabled = m_textureOn != 0;
      radio(m_textureFilter == kTextureNearest);
      break;
    case cmd::kLightingOn:
      state.checked = m_lighting == kLightOn;
      break;
    case cmd::kFlatShading:
      radio(m_shadeMode == kShadeFlat);
      break;
    case cmd::kGouraudShading:
      radio(m_shadeMode == kShadeGouraud);
      break;
    case cmd::kFillPoint:
      radio(m_fillMode == kFillPoints);
      break;
    case cmd::kFillWireframe:
      radio(m_fillMode == kFillWireframe);
      break;
    case cmd::kFillSolid:
      radio(m_fillMode == kFillSolid);
      break;
    case cmd::kToolArrow:
      state.checked = m_toolMode == kToolRotate;
      break;
    case cmd::kToolPan:
      state.checked = m_toolMode == kToolPan;
      break;
    case cmd::kToolZoom:
      state.checked = m_toolMode == kToolZoom;
      break;
    case cmd::kExportModel:
    case cmd::kResetView:
      state.enabled = true;
      break;
    // Image and point commands mean nothing here.
    case cmd::kToolRoi:
    case cmd::kFitToWindow:
    case cmd::kZoomIn:
    case cmd::kZoomOut:
    case cmd::kRoiFixedSize:
    case cmd::kRoiWholeImage:
    case cmd::kFullColor:
    case cmd::kGrayscale:
    case cmd::kShowPoints:
    case cmd::kShowPointIds:
    case cmd::kShowVectors:
    case cmd::kDelete:
    case cmd::kSelectAll:
    case cmd::kInvertSelection:
    case cmd::kManualMatching:
      state.enabled = false;
      state.checked = false;
      break;
    default:
      return false;
  }
  return true;
}

QCursor CVRMLView::ToolCursor(int toolMode) const {
  switch (toolMode) {
    case kToolPan:
      return m_panCursor;
    case kToolZoom:
      return m_zoomCursor;
    default:
      return QCursor(Qt::ArrowCursor);
  }
}

void CVRMLView::ApplyToolCursor() { setCursor(ToolCursor(m_toolMode)); }

void CVRMLView::HandleMouseMove(int x, int y, bool leftDown, bool spaceDown, bool ctrlDown) {
  if (!m_toolLocked) {
    const int mode = spaceDown ? kToolPan : ctrlDown ? kToolZoom : kToolRotate;
    if (mode != m_toolMode) {
      m_toolMode = mode;
      ApplyToolCursor();
      NotifyStateChanged();
    }
  }
  float dx = 0.0f;
  float dy = 0.0f;
  if (leftDown) {
    dx = static_cast<float>(m_lastX - x);
    dy = static_cast<float>(m_lastY - y);
  }
  m_lastX = x;
  m_lastY = y;
  // With the button up there is nothing to do (the window system ends the mouse grab).
  if (!leftDown) return;

  SceneFrame& model = m_scene.model;
  switch (m_toolMode) {
    case kToolRotate: {
      const float d = std::sqrt(dx * dx + dy * dy);
      if (d == 0.0f) return;
      const float e = std::sqrt(d * d + kRotationEaseSquared);
      model.SetRotation(&m_scene.root, QVector3D(-dy / d, -dx / d, 0.0f), -d / e);
      model.Move(kRotationStep);
      model.SetRotation(&m_scene.root, QVector3D(), 0.0f);
      break;
    }
    case kToolPan:
      if (dx == 0.0f && dy == 0.0f) return;
      model.SetVelocity(&m_scene.camera, QVector3D(-dx, dy, 0.0f));
      model.Move(kPanUnitsPerPixel);
      model.SetVelocity(&m_scene.camera, QVector3D());
      break;
    case kToolZoom:
      // Up moves the model away, down brings it nearer.
      if (dy != 0.0f) ZoomBy(dy);
      return;
    default:
      return;
  }
  Render();
}

void CVRMLView::HandleKeyDown(int key, bool shift) {
  switch (key) {
    // Held down, Ctrl and Space lend the zoom and the pan tool, unless a tool was chosen.
    case Qt::Key_Control:
      if (!m_toolLocked) m_toolMode = kToolZoom;
      break;
    case Qt::Key_Space:
      if (!m_toolLocked) m_toolMode = kToolPan;
      break;
    case Qt::Key_X:
    case Qt::Key_Y:
    case Qt::Key_Z: {
      const float factor = shift ? kScaleDown : kScaleUp;
      m_meshBuilder.Scale(key == Qt::Key_X ? factor : 1.0f, key == Qt::Key_Y ? factor : 1.0f,
                          key == Qt::Key_Z ? factor : 1.0f);
      m_meshChanged = true;
      Render();
      break;
    }
    default:
      break;
  }
  ApplyToolCursor();
  NotifyStateChanged();
}

void CVRMLView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  HandleMouseMove(p.x(), p.y(), event->buttons().testFlag(Qt::LeftButton), m_spaceDown,
                  event->modifiers().testFlag(Qt::ControlModifier));
}

void CVRMLView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) m_spaceDown = true;
  HandleKeyDown(event->key(), event->modifiers().testFlag(Qt::ShiftModifier));
  switch (event->key()) {
    case Qt::Key_Control:
    case Qt::Key_Space:
    case Qt::Key_X:
    case Qt::Key_Y:
    case Qt::Key_Z:
      break;
    default:
      QOpenGLWidget::keyPressEvent(event);  // lets the parent see other keys
  }
}

void CVRMLView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) m_spaceDown = false;
  // The lent tool goes back once its key is up (Ctrl of Ctrl+F, Ctrl+N included).
  if ((event->key() == Qt::Key_Control || event->key() == Qt::Key_Space) && !event->isAutoRepeat())
    ReturnLentTool();
  QOpenGLWidget::keyReleaseEvent(event);
}

void CVRMLView::focusOutEvent(QFocusEvent* event) {
  // A release that happens elsewhere (in a dialog the key opened) is never seen: do not
  // keep panning or zooming.
  m_spaceDown = false;
  ReturnLentTool();
  QOpenGLWidget::focusOutEvent(event);
}

void CVRMLView::ReturnLentTool() {
  if (m_toolLocked) return;
  const int mode = m_spaceDown ? kToolPan : kToolRotate;
  if (mode == m_toolMode) return;
  m_toolMode = mode;
  ApplyToolCursor();
  NotifyStateChanged();
}

void CVRMLView::wheelEvent(QWheelEvent* event) {
  // Forward (away from the user) brings the model nearer.
  ZoomBy(-event->angleDelta().y() / 120.0f * kWheelNotchPixels);
  event->accept();
}

void CVRMLView::resizeEvent(QResizeEvent* event) {
  QOpenGLWidget::resizeEvent(event);
  // The model keeps its share of the pane, wherever the user has moved it.
  FitScale();
}

void CVRMLView::contextMenuEvent(QContextMenuEvent* event) {
  if (m_contextMenu) m_contextMenu->exec(event->globalPos());
}

}  // namespace q3d
