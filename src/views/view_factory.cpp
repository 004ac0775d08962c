#include "views/view_factory.h"

#include <QPainter>

#if __has_include("views/camera_view.h")
#include "views/camera_view.h"
#define Q3D_HAVE_CAMERA_VIEW 1
#endif
#if __has_include("views/texture_view.h")
#include "views/texture_view.h"
#define Q3D_HAVE_TEXTURE_VIEW 1
#endif
#if __has_include("views/vrml_view.h")
#include "views/vrml_view.h"
#define Q3D_HAVE_VRML_VIEW 1
#endif

namespace q3d {
namespace {

// Stands in for a view whose widget is not part of this build: a grey panel with the
// view's name. It handles no command.
class PlaceholderView : public QWidget, public ContentView {
 public:
  PlaceholderView(ViewKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(20, 20);
  }
  ~PlaceholderView() override { DetachDocument(); }

  QWidget* Widget() override { return this; }
  ViewKind Kind() const override { return kind_; }
  QString Caption() const override { return ViewKindName(kind_); }
  void OnDocumentUpdate(DocumentObserver*, int) override { update(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, Caption());
  }

 private:
  ViewKind kind_;
};

template <typename View, typename... Args>
std::unique_ptr<ContentView> Make(Args&&... args) {
  return std::make_unique<View>(std::forward<Args>(args)...);
}

std::unique_ptr<ContentView> Construct(ViewKind kind, QWidget* parent) {
  switch (kind) {
    case ViewKind::Image1:
    case ViewKind::Image2:
#ifdef Q3D_HAVE_CAMERA_VIEW
      return Make<CCameraView>(kind == ViewKind::Image1 ? 0 : 1, parent);
#else
      break;
#endif
    case ViewKind::Texture:
#ifdef Q3D_HAVE_TEXTURE_VIEW
      return Make<CTextureView>(parent);
#else
      break;
#endif
    case ViewKind::Model3D:
#ifdef Q3D_HAVE_VRML_VIEW
      return Make<CVRMLView>(parent);
#else
      break;
#endif
  }
  return Make<PlaceholderView>(kind, parent);
}

}  // namespace

QString ViewKindName(ViewKind kind) {
  switch (kind) {
    case ViewKind::Image1: return QStringLiteral("Image 1");
    case ViewKind::Image2: return QStringLiteral("Image 2");
    case ViewKind::Texture: return QStringLiteral("Texture");
    case ViewKind::Model3D: return QStringLiteral("3D Model");
  }
  return {};
}

std::unique_ptr<ContentView> CreateContentView(ViewKind kind, CProjectDoc* doc, QWidget* parent) {
  std::unique_ptr<ContentView> view = Construct(kind, parent);
  if (doc) view->AttachDocument(doc);
  return view;
}

}  // namespace q3d
