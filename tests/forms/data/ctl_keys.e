; Keys of the controls of a free-standing form, for the form X tests: Tab
; is bound in the dialog manager's table and only counts itself, so the
; focus stays where it is; Shift+Tab is left unbound.

.main start

global tabbed = "0"

proc start(args)
  return
end

command count-tab()
  push_var $tabbed
  push_const "1"
  add
  assign $tabbed
  return
end

table "-ainh-dlg-manager"
  TAB count-tab
end
