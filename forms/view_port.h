// What the forms need of the application: the text display of an editor
// window. The application makes editor windows and keeps their displays;
// the forms' built-ins read and set what they show (their tab stops).
#pragma once

struct EditorDisplay;
struct WindowObject;

// The display of an editor window object; null for any other object, and
// in a program without editor windows (its text is then a grid of cells).
EditorDisplay* view_editor_display(const WindowObject* obj);
