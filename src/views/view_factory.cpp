#include "views/view_factory.h"

#include "views/camera_view.h"
#include "views/texture_view.h"
#include "views/vrml_view.h"

namespace q3d {

std::unique_ptr<ContentView> CreateContentView(ViewKind kind, CProjectDoc* doc, QWidget* parent) {
  std::unique_ptr<ContentView> view;
  switch (kind) {
    case ViewKind::Image1: view = std::make_unique<CCameraView>(0, parent); break;
    case ViewKind::Image2: view = std::make_unique<CCameraView>(1, parent); break;
    case ViewKind::Texture: view = std::make_unique<CTextureView>(parent); break;
    case ViewKind::Model3D: view = std::make_unique<CVRMLView>(parent); break;
  }
  if (view && doc) view->AttachDocument(doc);
  return view;
}

}  // namespace q3d
