// The application's windows for the forms, without an application.
#include "forms/app_port.h"
#include "tests/support/headless/app_fakes.h"
#include "tests/support/headless/mark.h"

XfWindow* app_frame_client() { return apptest::app.frame_client; }
XfWindow* app_mdi_client() { return apptest::app.mdi_client; }
