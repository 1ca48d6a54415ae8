// What the forms need of the application above them: the frame's client
// window (which holds the MDI client and the message line) and the MDI
// client, the parent of editor windows and MDI forms. Null before the frame
// exists, and in a program without one.
#pragma once

struct XfWindow;

XfWindow* app_frame_client();
XfWindow* app_mdi_client();
