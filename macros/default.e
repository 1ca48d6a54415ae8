; The default macros: what a new user's keys do on first start.
;
; Assembled by zozu and linked into zorvex.stu at build time. Printable
; characters need no binding: an unbound character types itself.

.main start

global rc
; Every buffer is opened with undo on (+U), so Ctrl+Z takes back joins and
; splits, not only the current line's typing.
;
; The module's entry with the start-up line: it opens the files itself only
; when "-firstinit" did not run (a state booted without the start-up).
proc start(args)
  push_var $started
  push_const "1"
  str_eq
  jump_if_true @opened
  push_const "1"
  assign $started
  push_var $args
  push_const ""
  str_eq
  jump_if_true @start_empty
  push_const "+i +U "
  push_var $args
  concat
  edit
  return
start_empty:
  push_const "+i +U +t"
  edit
opened:
  return
end

; Any key without a binding: nothing happens, and rc says why.
command key-not-defined()
  push_const "-1"
  return_rc
end

; The start-up line, which start-up puts here before "-firstinit" runs.
global startup_args
; Set once the start-up files (or the empty buffer) are open.
global started

; The first macro start-up runs: the files named on the command line, or an
; empty buffer when there are none.
command -firstinit()
  push_var $started
  push_const "1"
  str_eq
  jump_if_true @first_done
  push_const "1"
  assign $started
  push_var $startup_args
  call_link 1, open_start_files
first_done:
  return
end

; The files to edit, or nothing for an empty buffer.
private open_start_files(args)
  push_var $args
  push_const ""
  str_eq
  jump_if_true @empty
  push_const "+i +U "
  push_var $args
  concat
  edit
  return
empty:
  push_const "+i +U +t"
  edit
  return
end

; Closing the editor: every buffer that is still modified is saved first,
; so leaving never drops typed text. A modified buffer that cannot be saved
; (no file name, or the write fails) keeps the editor open, shown in the
; current window, and rc says why.
command -on-exit()
  var info
  var restart
  var i1
  var i2
  var i3
  push_const "1"
  assign $restart
next:
  push_const ""
  push_var $restart
  push_const "V"
  buf_match 3
  assign $info
  push_const "0"
  assign $restart
  push_var $info
  push_const ""
  str_eq
  jump_if_true @done
  ; "handle modified flags name"
  push_const " "
  push_var $info
  pos 2
  assign $i1
  push_const " "
  push_var $info
  push_var $i1
  push_const "1"
  add
  pos 3
  assign $i2
  push_const " "
  push_var $info
  push_var $i2
  push_const "1"
  add
  pos 3
  assign $i3
  push_var $info
  push_var $i1
  push_const "1"
  add
  push_var $i2
  push_var $i1
  sub
  push_const "1"
  sub
  substr 3
  push_const "0"
  str_eq
  jump_if_true @next
  ; A modified buffer: saved under its name, or the exit waits.
  push_var $info
  push_var $i3
  push_const "1"
  add
  substr 2
  push_const ""
  str_eq
  jump_if_true @refuse
  push_const "+i +U "
  push_var $info
  push_var $i3
  push_const "1"
  add
  substr 2
  concat
  edit
  save 0
  push_var $rc
  push_const "0"
  num_eq
  jump_if_false @refuse
  jump @next
refuse:
  push_const "-1"
  return_rc
done:
  push_const "0"
  return_rc
end

; The text from the cursor to the end of its line (no end-of-line bytes).
private rest_of_line()
  var t
  var i
  push_const "1024"
  get_text 1
  assign $t
  push_const "\n"
  push_var $t
  pos 2
  assign $i
  push_var $i
  push_const "0"
  num_eq
  jump_if_true @whole
  push_var $t
  push_const "1"
  push_var $i
  push_const "1"
  sub
  substr 3
  assign $t
whole:
  push_var $t
  push_const "T"
  push_const "\x0d"
  strip 3
  return_value
end

; The cursor line's number.
private line_number()
  push_const "L"
  point 1
  return_value
end

; Enter: the line splits at the cursor; the cursor starts the new line.
command enter-key()
  var line
  var rest
  get_line $line
  call_link 0, rest_of_line
  assign $rest
  push_var $line
  push_const "1"
  push_var $line
  length
  push_var $rest
  length
  sub
  substr 3
  replace_line
  push_var $rest
  insert_line
  begin_line
  return
end

; Joins the line after the cursor line to it; the cursor stays where it was.
private join_next()
  var line
  var next
  var here
  get_line $line
  call_link 0, line_number
  assign $here
  cursor_down 0
  call_link 0, line_number
  push_var $here
  num_eq
  jump_if_true @last
  get_line $next
  delete_line
  push_var $here
  call_link 0, line_number
  num_lt
  jump_if_false @back
  cursor_up 0
back:
  push_var $line
  push_var $next
  concat
  replace_line
last:
  return
end

; Delete: the character at the cursor, or at the end of a line the next
; line joins it.
command delete-key()
  var line
  get_line $line
  call_link 0, rest_of_line
  length
  push_const "0"
  num_eq
  jump_if_true @del_join
  delete_char
  return
del_join:
  call_link 0, join_next
  return
end

; Backspace: the character before the cursor, or at the start of a line
; the line joins the one above, the cursor where they meet.
command backspace-key()
  var line
  var above
  get_line $line
  call_link 0, rest_of_line
  length
  push_var $line
  length
  num_lt
  jump_if_true @bs_char
  push_var $line
  push_const ""
  str_eq
  jump_if_false @bs_join
  call_link 0, rest_of_line
  push_const ""
  str_ne
  jump_if_true @bs_char
bs_join:
  call_link 0, line_number
  push_const "1"
  num_le
  jump_if_true @bs_done
  cursor_up 0
  end_line
  call_link 0, join_next
bs_done:
  return
bs_char:
  backspace
  return
end

command tab-key()
  push_const "\t"
  keyin
  return
end

command cursor-up()
  cursor_up 0
  return
end

command cursor-down()
  cursor_down 0
  return
end

command undo-step()
  push_const "U"
  undo 1
  return
end

command redo-step()
  push_const "R"
  undo 1
  return
end

command save-file()
  save 0
  return
end

; Save, then leave.
command file-and-exit()
  save 0
  exit 0
  return
end

command quit()
  exit 0
  return
end

; Bound by name, so a recorded keyboard macro replays them as commands.
table "default-keys"
  LEFT cursor_left_cmd
  RIGHT cursor_right_cmd
  UP cursor-up
  DOWN cursor-down
  HOME begin_line_cmd
  END end_line_cmd
  PGUP page_up_cmd
  PGDN page_down_cmd
  C-HOME top_cmd
  C-END bottom_cmd
  ENTER enter-key
  DEL delete-key
  BACKSPACE backspace-key
  TAB tab-key
  C-Z undo-step
  C-Y redo-step
  C-S save-file
  F2 save-file
  F3 file-and-exit
  C-Q quit
  S-LEFT select-left
  S-RIGHT select-right
  S-UP select-up
  S-DOWN select-down
  S-HOME select-home
  S-END select-end
  C-C copy-selection
  C-X cut-selection
  C-V paste-clipboard
  C-F search-for
  F5 search-again
  C-L go-to-line
  S-F2 save-as
  C-O open-file
  F6 next-window-cmd
  F1 help-key
end

; Shift and a cursor key: a character selection from where the cursor was
; to where it goes. The first call places the anchor; later ones extend.
private select_here()
  select_char 0
  return
end

command select-left()
  call_link 0, select_here
  cursor_left
  call_link 0, select_here
  return
end

command select-right()
  call_link 0, select_here
  cursor_right
  call_link 0, select_here
  return
end

command select-up()
  call_link 0, select_here
  cursor_up 0
  call_link 0, select_here
  return
end

command select-down()
  call_link 0, select_here
  cursor_down 0
  call_link 0, select_here
  return
end

command select-home()
  call_link 0, select_here
  begin_line
  call_link 0, select_here
  return
end

command select-end()
  call_link 0, select_here
  end_line
  call_link 0, select_here
  return
end

command copy-selection()
  copy_to_clipboard 0
  return
end

; Paste: the clipboard's text at the cursor (copies of other programs too).
command paste-clipboard()
  paste 0
  return
end

; Cut: to the clipboard, then out of the buffer; nothing is deleted when
; the copy failed.
command cut-selection()
  copy_to_clipboard 0
  delete_selection 0
  return
end

; Search for the argument from the cursor; an empty argument searches
; again for the last pattern.
command search-for(pattern)
  push_var $pattern
  push_const ""
  str_eq
  jump_if_true @again
  push_var $pattern
  search 1, [ ]
  return
again:
  repeat_search 0
  return
end

command search-again()
  repeat_search 0
  return
end

; The cursor to the start of the line numbered by the argument (1 is the
; first); past the end it stops on the last line.
command go-to-line(number)
  bottom_of_buffer
  push_var $number
  call_link 0, line_number
  num_ge
  jump_if_true @home
  top_of_buffer
  push_var $number
  push_const "1"
  num_le
  jump_if_true @home
  push_var $number
  push_const "1"
  sub
  cursor_down 1
home:
  begin_line
  return
end

; Save the current buffer under the file name given.
command save-as(name)
  push_var $name
  save 1
  return
end

; Edit the files named.
command open-file(names)
  push_var $names
  edit
  return
end

command next-window-cmd()
  next_window 0
  return
end

command cursor_left_cmd()
  cursor_left
  return
end

command cursor_right_cmd()
  cursor_right
  return
end

command begin_line_cmd()
  begin_line
  return
end

command end_line_cmd()
  end_line
  return
end

command page_up_cmd()
  page_up
  return
end

command page_down_cmd()
  page_down
  return
end

command top_cmd()
  top_of_buffer
  return
end

command bottom_cmd()
  bottom_of_buffer
  return
end

; ---- Help ----
; F1: the editor's own help file, zorvex.hlp beside the program, at its
; contents, in a help window of its own (Esc closes it).
command help-key()
  push_const "zorvex.hlp"
  push_const ""
  push_const "3"
  help 3
  return
end

; The help at the place of a keyword ("help-on keys"); a keyword the help
; file does not know shows the contents instead.
command help-on(keyword)
  push_const "zorvex.hlp"
  push_var $keyword
  help 2
  push_var $rc
  push_const "0"
  str_eq
  jump_if_true @shown
  call_link 0, help-key
shown:
  return
end
