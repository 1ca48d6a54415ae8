; Forms built by macros, for the forms' X tests. The start-up line names
; the scenario: "form" builds a form with a text box, two buttons and a
; check box; "modal" shows a form modally in front of another one;
; "every" builds a form with one control of each kind and prints what its
; controls raise.

.main scenario

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
table "form-events"
  ON-CLOSE form-close
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

proc scenario(args)
  push_var $args
  push_const "every"
  str_eq
  jump_if_true @every
  push_var $args
  push_const "modal"
  str_eq
  jump_if_true @modal
  call_link 0, build_form
  return
every:
  call_link 0, build_every
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
  push_event_table table:"form-events"
  property_set_handle "event-table", 0
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  return
end

; The window manager's close: the form goes.
command form-close()
  push_var $form
  with_object 0
  object_show 0
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

; OK: the form's caption takes the text box's text, and the check box
; moves right and grows.
command ok-click()
  push_var $form
  push_const "got:"
  push_var $text
  property_get_handle "text", 0
  concat
  property_set_handle "caption", 0
  push_var $check
  push_const "200"
  property_set_handle "left", 0
  push_var $check
  push_const "150"
  property_set_handle "width", 0
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

; ---------------------------------------------------------------- every control
; A 470 x 330 pixel form with one control of each kind at pixel places,
; in tab order as created. Focus events of every control reach the
; form's table; buttons, the scroll bar and the "Set" button print what
; they raise on standard output, one line each.

global set_button = "0"
global scroll = "0"
global next_tab = "0"
global radio1 = "0"
global radio2 = "0"

table "every-form"
  ON-GOT-FOCUS every-got
  ON-LOST-FOCUS every-lost
end
table "every-choice"
  LBUTTON-UP every-choice
end
table "every-ok"
  LBUTTON-UP every-ok
end
table "every-set"
  LBUTTON-UP every-set
end
table "every-scroll"
  ON-SCROLL every-scrolled
  ON-CHANGE every-changed
end

; place(type, caption, x, y, w, h): rc = a new visible control of the form,
; the next in the tab order.
proc place(type, caption, x, y, w, h)
  var id
  push_var $type
  push_var $form
  push_var $caption
  push_var $x
  push_var $y
  push_var $w
  push_var $h
  push_const "64"
  call_link 8, make
  push_var $rc
  assign $id
  incr $next_tab
  push_var $id
  push_var $next_tab
  property_set_handle "tab-index", 0
  push_var $id
  assign $rc
  return
end

; colours(id): white background, dark blue foreground.
proc colours(id)
  push_var $id
  push_const "16777215"
  property_set_handle "back-colour", 0
  push_var $id
  push_const "8388608"
  property_set_handle "fore-colour", 0
  return
end

proc build_every()
  var id
  push_const "2"
  push_const "2"
  push_const "Every control"
  push_const "1500"
  push_const "1500"
  push_const "7050"
  push_const "4950"
  push_const "136"
  call_link 8, make
  push_var $rc
  assign $form
  push_var $form
  push_const "3"
  property_set_handle "scale-mode", 0
  push_var $form
  push_const "12632256"
  property_set_handle "back-colour", 0
  ; 5 text box
  push_const "3"
  push_const ""
  push_const "10"
  push_const "10"
  push_const "150"
  push_const "24"
  call_link 6, place
  ; 6 OK, the default button
  push_const "5"
  push_const "OK"
  push_const "180"
  push_const "10"
  push_const "80"
  push_const "26"
  call_link 6, place
  push_var $rc
  assign $ok
  push_var $ok
  push_const "1"
  property_set_handle "default", 0
  push_var $ok
  push_event_table table:"every-ok"
  property_set_handle "event-table", 0
  ; 7 check box
  push_const "4"
  push_const "Check"
  push_const "10"
  push_const "45"
  push_const "120"
  push_const "22"
  call_link 6, place
  push_var $rc
  assign $check
  push_var $check
  push_event_table table:"every-choice"
  property_set_handle "event-table", 0
  ; 8, 9 radio buttons
  push_const "6"
  push_const "One"
  push_const "10"
  push_const "80"
  push_const "100"
  push_const "22"
  call_link 6, place
  push_var $rc
  assign $radio1
  push_var $radio1
  push_event_table table:"every-choice"
  property_set_handle "event-table", 0
  push_const "6"
  push_const "Two"
  push_const "10"
  push_const "105"
  push_const "100"
  push_const "22"
  call_link 6, place
  push_var $rc
  assign $radio2
  push_var $radio2
  push_event_table table:"every-choice"
  property_set_handle "event-table", 0
  ; 10 label
  push_const "8"
  push_const "A label"
  push_const "180"
  push_const "80"
  push_const "120"
  push_const "20"
  call_link 6, place
  push_var $rc
  push_const "255"
  property_set_handle "back-colour", 0
  ; 11 gauge at a quarter: 50 of 0..200, the bar without its text
  push_const "16"
  push_const ""
  push_const "10"
  push_const "140"
  push_const "200"
  push_const "24"
  call_link 6, place
  push_var $rc
  assign $id
  push_var $id
  call_link 1, colours
  push_var $id
  push_const "2"
  property_set_handle "style", 0
  push_var $id
  push_const "0"
  property_set_handle "min", 0
  push_var $id
  push_const "200"
  property_set_handle "max", 0
  push_var $id
  push_const "50"
  property_set_handle "value", 0
  ; 12 spin control
  push_const "17"
  push_const ""
  push_const "230"
  push_const "140"
  push_const "20"
  push_const "30"
  call_link 6, place
  push_var $rc
  call_link 1, colours
  ; 13 list
  push_const "9"
  push_const ""
  push_const "320"
  push_const "10"
  push_const "100"
  push_const "60"
  call_link 6, place
  push_var $rc
  call_link 1, colours
  ; 14 vertical scroll bar: 0..10
  push_const "11"
  push_const ""
  push_const "430"
  push_const "10"
  push_const "18"
  push_const "200"
  call_link 6, place
  push_var $rc
  assign $scroll
  push_var $scroll
  push_const "0"
  property_set_handle "min", 0
  push_var $scroll
  push_const "10"
  property_set_handle "max", 0
  push_var $scroll
  push_event_table table:"every-scroll"
  property_set_handle "event-table", 0
  ; 15 picture
  push_const "14"
  push_const ""
  push_const "320"
  push_const "80"
  push_const "40"
  push_const "40"
  call_link 6, place
  push_var $rc
  call_link 1, colours
  ; 16 combo box
  push_const "12"
  push_const ""
  push_const "10"
  push_const "180"
  push_const "150"
  push_const "30"
  call_link 6, place
  ; 17 Set: moves the scroll bar's range and value
  push_const "5"
  push_const "Set"
  push_const "180"
  push_const "240"
  push_const "80"
  push_const "26"
  call_link 6, place
  push_var $rc
  assign $set_button
  push_var $set_button
  push_event_table table:"every-set"
  property_set_handle "event-table", 0
  push_var $form
  push_event_table table:"every-form"
  property_set_handle "event-table", 0
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  return
end

; note(what): prints what, the current object's id, and more.
proc note(what, more)
  push_var $what
  push_const " "
  concat
  property_get_current "handle"
  concat
  push_var $more
  concat
  stdout_print
  return
end

command every-got()
  push_const "focus 637"
  push_const ""
  call_link 2, note
  return
end

command every-lost()
  push_const "focus 638"
  push_const ""
  call_link 2, note
  return
end

; A choice: the values of the check box and both radio buttons after it.
command every-choice()
  push_const "click"
  push_const " "
  push_var $check
  property_get_handle "value", 0
  concat
  push_var $radio1
  property_get_handle "value", 0
  concat
  push_var $radio2
  property_get_handle "value", 0
  concat
  call_link 2, note
  return
end

command every-ok()
  push_const "pressed OK"
  stdout_print
  return
end

command every-scrolled()
  push_const "scroll 671"
  push_const " "
  property_get_current "value"
  concat
  call_link 2, note
  return
end

command every-changed()
  push_const "scroll 639"
  push_const " "
  property_get_current "value"
  concat
  call_link 2, note
  return
end

; Set: the scroll bar runs 100..200 and stands at 150.
command every-set()
  push_var $scroll
  push_const "200"
  property_set_handle "max", 0
  push_var $scroll
  push_const "100"
  property_set_handle "min", 0
  push_var $scroll
  push_const "150"
  property_set_handle "value", 0
  return
end
