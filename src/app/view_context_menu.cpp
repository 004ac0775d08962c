#include "app/view_context_menu.h"

#include "views/image_view.h"
#include "views/vrml_view.h"

namespace q3d {

void GiveContextMenu(ContentView* view, QMenu* menu) {
  if (auto* imageView = dynamic_cast<CImageView*>(view))
    imageView->SetContextMenu(menu);
  else if (auto* modelView = dynamic_cast<CVRMLView*>(view))
    modelView->SetContextMenu(menu);
}

}  // namespace q3d
