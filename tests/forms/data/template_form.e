; A form that comes as a template inside this module, for the forms' X
; tests: the main entry shows it with show_form, as a macro would.

.main start

global rc

proc start(args)
  push_object form2:"tform"
  show_form 1
  pop
  return
end

form "tform"
  prop caption "Template form"
  prop scale-mode 3
  prop left 1500
  prop top 1500
  prop width 6000
  prop height 3000
  control command "ok"
    prop caption "OK"
    prop left 10
    prop top 10
    prop width 80
    prop height 28
  end
  control label "swatch"
    prop caption ""
    prop back-colour 255
    prop left 100
    prop top 50
    prop width 200
    prop height 60
  end
  control check "case"
    prop caption "Match case"
    prop left 10
    prop top 130
    prop width 150
    prop height 22
  end
end
