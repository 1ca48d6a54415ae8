; Forms that the editor's own X tests open from its command line. The
; start-up line names the scenario: "mdi" loads the template "mform" as an
; MDI form of the frame; "free" shows "fform" (no minimise or maximise
; button, a fixed border) and "gform" (both buttons, border style 2) as
; free-standing forms. Every form closes on ON-CLOSE. F7 is bound only in
; the dialog manager's table: it closes the form of the control it reaches.

.main start

global rc
global mdi = "0"
global fform = "0"
global gform = "0"
global me = "0"

table "close-events"
  ON-CLOSE form-close
end
table "-ainh-dlg-manager"
  F7 dlg-close
end

proc start(args)
  push_var $args
  push_const "free"
  str_eq
  jump_if_true @free
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
free:
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

; The form of the control that F7 reached closes.
command dlg-close()
  window_id_to_var $me
  push_var $me
  property_get_handle "parent", 0
  with_object 0
  object_show 0
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
  prop left 30
  prop top 20
  prop width 300
  prop height 120
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
  prop left 40
  prop top 40
  prop width 300
  prop height 150
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
  prop left 400
  prop top 40
  prop width 300
  prop height 150
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
