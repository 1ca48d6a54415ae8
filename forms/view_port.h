// What the view properties need of the application: the text display of an
// editor window. The application makes editor windows and keeps their
// displays; the forms measure the text on them (forms/view_metrics.h) and
// set their tab stops (bi_ctl_tab_stops).
#pragma once

struct EditorDisplay;
struct WindowObject;

// The display of an editor window object; null for any other object, and
// in a program without editor windows (its text is then a grid of cells).
EditorDisplay* view_editor_display(const WindowObject* obj);
