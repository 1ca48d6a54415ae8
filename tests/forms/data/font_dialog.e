; The font dialog opened from a macro, for the forms' X tests: the
; start-up line is the font text the dialog starts from; the answer shows
; as the caption "font:" followed by it, on a form made afterwards.

.main start

global rc
global form = "0"

proc start(args)
  push_const "font:"
  push_const "2"
  push_var $args
  choose_font 2
  concat
  assign $form
  push_const "2"
  push_const "2"
  push_var $form
  push_const "1500"
  push_const "1500"
  push_const "6000"
  push_const "3000"
  push_const "136"
  create_object 8
  push_var $rc
  assign $form
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  return
end
