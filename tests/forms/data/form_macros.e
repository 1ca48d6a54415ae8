; Forms built by macros, for the forms' X tests. The start-up line names
; the scenario: "form" builds a form with a text box, two buttons and a
; check box; "modal" shows a form modally in front of another one.

.main start

global rc
global form = "0"
global text = "0"
global ok = "0"
global cancel = "0"
global check = "0"
global behind = "0"
global poke = "0"
global result = ""

table "ok-events"
  LBUTTON-UP ok-click
end
table "cancel-events"
  LBUTTON-UP cancel-click
end
table "check-events"
  LBUTTON-UP check-click
end
table "end-events"
  LBUTTON-UP end-click
end
table "poke-events"
  LBUTTON-UP poke-click
end

proc start(args)
  push_var $args
  push_const "modal"
  str_eq
  jump_if_true @modal
  call_link 0, build_form
  return
modal:
  call_link 0, show_modal_form
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

; A hidden free form whose controls are placed in pixels.
proc new_form(caption, x)
  push_const "2"
  push_const "2"
  push_var $caption
  push_var $x
  push_const "1500"
  push_const "6000"
  push_const "3000"
  push_const "136"
  call_link 8, make
  push_var $rc
  push_const "3"
  property_set_handle "scale-mode", 0
  return
end

proc build_form()
  push_const "Macro form"
  push_const "1500"
  call_link 2, new_form
  push_var $rc
  assign $form
  push_const "3"
  push_var $form
  push_const ""
  push_const "10"
  push_const "10"
  push_const "200"
  push_const "24"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $text
  push_const "5"
  push_var $form
  push_const "OK"
  push_const "10"
  push_const "50"
  push_const "80"
  push_const "28"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $ok
  push_const "5"
  push_var $form
  push_const "Cancel"
  push_const "100"
  push_const "50"
  push_const "80"
  push_const "28"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $cancel
  push_const "4"
  push_var $form
  push_const "Wrap"
  push_const "10"
  push_const "90"
  push_const "120"
  push_const "22"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $check
  push_var $ok
  push_event_table table:"ok-events"
  property_set_handle "event-table", 0
  push_var $cancel
  push_event_table table:"cancel-events"
  property_set_handle "event-table", 0
  push_var $check
  push_event_table table:"check-events"
  property_set_handle "event-table", 0
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  return
end

; The check box: the form's caption shows its value.
command check-click()
  push_var $form
  push_const "check:"
  push_var $check
  property_get_handle "value", 0
  concat
  property_set_handle "caption", 0
  return
end

; OK: the form's caption takes the text box's text.
command ok-click()
  push_var $form
  push_const "got:"
  push_var $text
  property_get_handle "text", 0
  concat
  property_set_handle "caption", 0
  return
end

; Cancel: the form closes.
command cancel-click()
  push_var $form
  with_object 0
  object_show 0
  return
end

; The modal scenario: a form behind with a button, and a modal form in
; front whose button ends the modal show with the text typed.
proc show_modal_form()
  push_const "Behind"
  push_const "1500"
  call_link 2, new_form
  push_var $rc
  assign $behind
  push_const "8"
  push_var $behind
  push_const "Label"
  push_const "10"
  push_const "10"
  push_const "200"
  push_const "60"
  push_const "64"
  call_link 8, make
  push_var $rc
  push_const "255"
  property_set_handle "back-colour", 0
  push_const "5"
  push_var $behind
  push_const "Poke"
  push_const "10"
  push_const "100"
  push_const "80"
  push_const "28"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $poke
  push_var $poke
  push_event_table table:"poke-events"
  property_set_handle "event-table", 0
  push_var $behind
  push_const "1"
  property_set_handle "visible", 0
  push_const "Modal"
  push_const "9000"
  call_link 2, new_form
  push_var $rc
  assign $form
  push_const "3"
  push_var $form
  push_const ""
  push_const "10"
  push_const "10"
  push_const "200"
  push_const "24"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $text
  push_const "5"
  push_var $form
  push_const "Done"
  push_const "10"
  push_const "50"
  push_const "80"
  push_const "28"
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $ok
  push_var $ok
  push_event_table table:"end-events"
  property_set_handle "event-table", 0
  push_var $form
  show_modal
  assign $result
  push_var $behind
  push_const "result:"
  push_var $result
  concat
  property_set_handle "caption", 0
  push_var $form
  with_object 0
  object_show 0
  return
end

; Done: the modal show ends with the text typed.
command end-click()
  push_var $form
  push_var $text
  property_get_handle "text", 0
  with_object 1
  end_modal 1
  return
end

; Poke: marks the form behind (only while it can be used).
command poke-click()
  push_var $behind
  push_const "poked"
  property_set_handle "caption", 0
  return
end
