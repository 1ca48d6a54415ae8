; Two forms for the control clipboard's X test: "Source", in design mode,
; holds a command button, a text box and a label; the button and the text
; box are selected, copied, and pasted into "Target", a running form. The
; target's caption then reads "pasted:" with the copy's and the paste's
; results; a click on a pasted button names the button in the caption of
; its own form.

.main start

global rc
global src = "0"
global dst = "0"
global go = "0"
global text = "0"
global copied = ""

table "go-events"
  LBUTTON-UP go-click
end

proc start(args)
  call_link 0, build
  return
end

; make(type, parent, caption, x, y, width, height, flags): rc = the new id.
proc make(type, parent, caption, x, y, w, h, flags)
  push_var $type
  push_var $parent
  push_var $caption
  push_var $x
  push_var $y
  push_var $w
  push_var $h
  push_var $flags
  create_object 8
  return
end

; A free form placed in twips, its controls then placed in pixels.
proc new_form(caption, x, flags)
  push_const "2"
  push_const "2"
  push_var $caption
  push_var $x
  push_const "1500"
  push_const "6000"
  push_const "3000"
  push_var $flags
  call_link 8, make
  push_var $rc
  push_const "3"
  property_set_handle "scale-mode", 0
  return
end

proc build()
  ; 136: hidden free form; 0x2000 more: in design mode.
  push_const "Source"
  push_const "1500"
  push_const "8328"
  call_link 3, new_form
  push_var $rc
  assign $src
  push_const "Target"
  push_const "9000"
  push_const "136"
  call_link 3, new_form
  push_var $rc
  assign $dst
  push_const "5"
  push_var $src
  push_const "Go"
  push_const "20"
  push_const "30"
  push_const "80"
  push_const "28"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $go
  push_const "3"
  push_var $src
  push_const ""
  push_const "20"
  push_const "70"
  push_const "150"
  push_const "24"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $text
  push_const "8"
  push_var $src
  push_const "Left behind"
  push_const "200"
  push_const "30"
  push_const "150"
  push_const "24"
  push_const "64"
  call_link 8, make
  push_var $go
  push_const "go"
  property_set_handle "name", 0
  push_var $go
  push_event_table table:"go-events"
  property_set_handle "event-table", 0
  push_var $text
  push_const "typed before the copy"
  property_set_handle "text", 0
  push_var $go
  push_const "1"
  property_set_handle "selected", 0
  push_var $text
  push_const "1"
  property_set_handle "selected", 0
  push_var $src
  push_const "1"
  property_set_handle "visible", 0
  push_var $dst
  push_const "1"
  property_set_handle "visible", 0
  ; Copy from the source, paste into the target.
  push_var $src
  with_object 0
  copy_controls 0
  push_const "pasted:"
  push_var $rc
  concat
  push_const ","
  concat
  assign $copied
  push_var $dst
  with_object 0
  paste 0
  push_var $dst
  push_var $copied
  push_var $rc
  concat
  property_set_handle "caption", 0
  return
end

; A click on the button: its form's caption names the button clicked.
command go-click()
  property_get_current "top-level"
  push_const "clicked:"
  property_get_current "handle"
  concat
  property_set_handle "caption", 0
  return
end
