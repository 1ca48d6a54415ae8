// The application's editor displays for the forms: a test's, or none.
#include "forms/view_port.h"
#include "tests/support/headless/mark.h"
#include "tests/support/headless/view_fakes.h"

EditorDisplay* view_editor_display(const WindowObject* obj) {
  return obj && obj == viewtest::views.editor ? viewtest::views.display : nullptr;
}
