; A module that uses every statement of the text form.
.main start
.init on_init

global counter = "5"
global last_message
bufvar tab-width = "8"
static calls = "0"
usetable "mode-keys"
useform 3 "find-dialog"

; start(args): count to the counter's value, then greet.
proc start(args)
  var i
  push_const "0"
  assign $i
loop:
  push_var $i
  push_var $counter
  num_lt
  jump_if_false @done
  incr $i
  incr $calls
  jump @loop
done:
  push_const "hello, "
  push_var $args
  concat
  assign $last_message
  call_link 0, helper
  return
end

private helper()
  push_ref $last_message
  call_link 1, shout
  return
end

command greet "Say hello to someone" (&who, greeting)
  push_var $greeting
  push_var $who
  concat
  return_value
end

proc on_init(mode)
  push_var $mode
  push_const "L"
  str_eq
  jump_if_false @skip
  push_const "loaded"
  assign $last_message
skip:
  push_event_table table:"mode-keys"
  push_object form3:"find-dialog"
  pop
  pop
  push_const "\x41\"quoted\";"
  message
  push_const "B"
  catch_value 1
  pop
  stop
end

bind "default-keys" 262 greet
bind "default-keys" 263 start

table "c-keys" inherits "default-keys"
  19 greet
  20 not-yet-defined
  21 "sub:keys"
  22 remove
end
