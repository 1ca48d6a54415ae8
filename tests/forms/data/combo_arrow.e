; A form with one combo box, for the forms' X tests. The start-up line
; names picture files to register first (blank-separated is not needed:
; one path, or empty for none).

.main start

global rc
global form = "0"
global combo = "0"

proc start(args)
  push_var $args
  push_const ""
  str_eq
  jump_if_true @build
  push_var $args
  push_const "256"
  insert_name 2
  pop
build:
  push_const "2"
  push_const "2"
  push_const "Combo"
  push_const "1500"
  push_const "1500"
  push_const "3000"
  push_const "1500"
  push_const "136"
  create_object 8
  push_var $rc
  assign $form
  push_var $form
  push_const "3"
  property_set_handle "scale-mode", 0
  push_const "12"
  push_var $form
  push_const ""
  push_const "10"
  push_const "10"
  push_const "150"
  push_const "24"
  push_const "64"
  create_object 8
  push_var $rc
  assign $combo
  push_var $form
  push_const "1"
  property_set_handle "visible", 0
  return
end
