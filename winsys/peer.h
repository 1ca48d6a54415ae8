// The peer window list: editor instances on one display learn about each
// other's top-level windows through the TC_SELECTION selection, the
// TC_DATABUFFER property and TC_COMMAND client messages.
//
// Another client is not trusted: a TC_COMMAND is delivered only for the
// messages of kPeerCommands, whose parameters are plain integers, and peer
// data is read only as format-32 window lists.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <span>

#include "winsys/window_rec.h"

// The message numbers a TC_COMMAND may carry.
bool xf_peer_command_allowed(uint32_t number);

void peer_register_frame(XfWindow* frame);
void peer_selection_lost();
void peer_send_list(XfWindow* frame, Window requestor, Atom property);
void peer_read_list(XfWindow* frame);
void peer_add(uint32_t id);
// Appends every id of `items` (format-32 data: the count, then the ids)
// that the list lacks; a count larger than the ids present is cut to them.
void xf_peer_merge(std::span<const long> items);
std::span<const uint32_t> xf_peer_list();
bool xf_peer_owns_selection();

// Decodes a TC_COMMAND client message; false when it is to be dropped.
bool xfPeerDecodeCommand(const XClientMessageEvent* event, uint32_t* number, intptr_t* mp1, intptr_t* mp2);

void xfOwnPrimary(XfWindow* window);
bool xfIsOpenWindowsServer();
void xfFlush();
