// What a change of the display settings redraws above the display: the
// editor windows' views and every object's windows, which the forms own.
// (The message, status and command lines are the display's own.) A program
// without windows redraws nothing.
#pragma once

// Every editor view is drawn again whole, in the current colours.
void redraw_views();
// Every object is drawn again, with or without a view.
void redraw_objects();
