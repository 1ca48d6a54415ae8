; Forms for the editor's own X tests, linked into a state with the default
; macros. F11 in an editor window loads the template "mform" as an MDI form
; of the frame; F12 shows "fform" (no minimise or maximise button, a fixed
; border) and "gform" (both buttons, border style 2) as free-standing
; forms. A form's place and size are in twips (15 a pixel here), its
; controls' in pixels (scale mode 3). Every form closes on ON-CLOSE. F7 is bound only in
; the dialog manager's table.

global rc
global mdi = "0"
global fform = "0"
global gform = "0"

table "close-events"
  ON-CLOSE form-close
  C-F6 next-window
  C-F4 close-by-system-command
end
table "-ainh-dlg-manager"
  F7 dlg-close
end

bind "default-keys" F11 open-mdi-form
bind "default-keys" F12 open-free-forms

command open-mdi-form()
  ; The frame object (id 2) loads the template as its MDI form.
  push_const "2"
  push_object form2:"mform"
  push_const "65536"
  idiv
  property_set_handle "last-mdi-form", 0
  push_const "2"
  property_get_handle "last-mdi-form", 0
  assign $mdi
  push_var $mdi
  push_event_table table:"close-events"
  property_set_handle "event-table", 0
  return
end

command open-free-forms()
  push_object form2:"fform"
  show_form 1
  assign $fform
  push_var $fform
  push_event_table table:"close-events"
  property_set_handle "event-table", 0
  push_object form2:"gform"
  show_form 1
  assign $gform
  push_var $gform
  push_event_table table:"close-events"
  property_set_handle "event-table", 0
  return
end

; F7 closes the form shown last (only one of the two is ever made in a
; run), wherever the key was pressed.
command dlg-close()
  push_var $mdi
  push_var $gform
  add
  with_object 0
  object_show 0
  return
end

; The system command "close" of the current object's MDI child.
command close-by-system-command()
  push_const "61536"
  system_command
  return
end

; The system menu's "Edit Form" entry runs this on the form.
command -on-edit-form()
  push_var $gform
  push_const "Editing"
  property_set_handle "caption", 0
  return
end

; The form that asked closes.
command form-close()
  object_show 0
  return
end

form "mform"
  prop caption "MDI form"
  prop scale-mode 3
  prop left 450
  prop top 300
  prop width 4500
  prop height 1800
  prop back-colour 255
  control command "go"
    prop caption "Go"
    prop left 10
    prop top 10
    prop width 80
    prop height 28
  end
end

form "fform"
  prop caption "Fixed form"
  prop scale-mode 3
  prop left 600
  prop top 600
  prop width 4500
  prop height 2250
  prop min-button 0
  prop max-button 0
  prop border-style 3
  control command "ok"
    prop caption "OK"
    prop left 10
    prop top 10
    prop width 80
    prop height 28
  end
end

form "gform"
  prop caption "Sizable form"
  prop scale-mode 3
  prop left 6000
  prop top 600
  prop width 4500
  prop height 2250
  prop min-button 1
  prop max-button 1
  prop border-style 2
  control command "ok"
    prop caption "OK"
    prop left 10
    prop top 10
    prop width 80
    prop height 28
  end
end
