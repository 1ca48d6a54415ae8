// The mouse pointers drawn from bitmaps: four sizing pointers (system
// pointers 6 to 9) and the pointer over disabled windows (13 and 15), made
// at 32 x 32 when the server shows cursors that large, else at 16 x 16.
// Their shapes are drawn by rule into bitmaps, each with a mask one pixel
// wider, black on white.
#pragma once

#include <cstdint>
#include <vector>

// The side of the disabled pointer for the server's best cursor size.
int xf_disabled_pointer_side(unsigned best_width, unsigned best_height);
// The bitmap of a shape ('h' horizontal, 'v' vertical, 'd' falling and 'u'
// rising diagonal double arrows, 'x' the no-entry sign) at n x n, X bitmap
// bit order; the mask grows it by one pixel.
std::vector<unsigned char> xf_pointer_bits(char shape, int n, bool mask);
// Makes the pointers and installs them as system pointers (once).
void xf_make_pointers();
