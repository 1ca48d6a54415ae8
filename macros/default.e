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

; Any key without a binding: the message line says so, and rc says why.
command key-not-defined()
  push_const "Key not defined"
  message
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
  F6 next-window-cmd
  F1 help-key
  ; Prompts on the command line, and the mouse in editor windows.
  C-G prompt-go-to-line
  C-L prompt-go-to-line
  S-F2 prompt-save-as
  C-O prompt-open-file
  LBUTTON-DOWN mouse-place
  LBUTTON-DOUBLE-CLICK mouse-place
  LBUTTON-TRIPLE-CLICK mouse-place
  MOUSE-MOVE mouse-drag
  LBUTTON-UP mouse-release
  ; the menu bar's commands
  C-N new-file
  C-W close-window
  C-A select-all
  ; the children of the frame: editor windows and MDI forms
  C-F6 next-window
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

; Save the current buffer under the file name given; the buffer then
; goes by that name, so later saves go there and the old file stays.
; A save that failed (its error kept for the command line) renames nothing.
command save-as(name)
  push_var $name
  save 1
  push_var $rc
  push_const "0"
  str_eq
  jump_if_false @unsaved
  push_var $name
  property_set_current "buffer-name"
unsaved:
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

; ---- Prompts on the command line and the mouse in editor windows ----
;
; A prompt puts a command and the question into the command line and gives
; it the keys: what the user types completes the command, Enter runs it and
; Esc cancels. The commands themselves (go-to-line, save-as, open-file) also
; run typed in full.

private prompt_for(command, question)
  focus_cmdline
  push_var $command
  push_var $command
  length
  push_const "1"
  add
  push_var $command
  length
  push_const "1"
  add
  push_var $question
  set_ctl_text 4
  return
end

command prompt-go-to-line()
  push_const "go-to-line "
  push_const "Go to line:"
  call_link 2, prompt_for
  return
end

command prompt-save-as()
  push_const "save-as "
  push_const "Save as:"
  call_link 2, prompt_for
  return
end

command prompt-open-file()
  push_const "open-file "
  push_const "Open:"
  call_link 2, prompt_for
  return
end

; The mouse: a press puts the cursor on the character under the pointer;
; moving with the button held selects from there to the pointer.
global mouse_dragging
global mouse_anchored

; The cursor to the cell under the window pixel x, y.
private cursor_to_pixel(x, y)
  push_var $y
  property_set_current "cursor-y"
  push_var $x
  property_set_current "cursor-x"
  return
end

command mouse-place(x, y)
  deselect 0
  push_var $x
  push_var $y
  call_link 2, cursor_to_pixel
  push_const "1"
  assign $mouse_dragging
  push_const "0"
  assign $mouse_anchored
  return
end

command mouse-drag(x, y)
  push_var $mouse_dragging
  push_const "1"
  str_eq
  jump_if_false @idle
  push_var $mouse_anchored
  push_const "1"
  str_eq
  jump_if_true @anchored
  select_char 0
  push_const "1"
  assign $mouse_anchored
anchored:
  push_var $x
  push_var $y
  call_link 2, cursor_to_pixel
  select_char 0
idle:
  return
end

command mouse-release(x, y)
  push_var $x
  push_var $y
  call_link 2, mouse-drag
  push_const "0"
  assign $mouse_dragging
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

; ------------------------------------------------------------ the menu bar
; The frame's menu bar. The frame calls "-frame-menu" after the start-up
; with its menu resource, empty when the state holds none yet; the items
; go into it once, the key texts beside them, then it is loaded and
; attached to the frame. An item runs the command its key runs; one whose
; command needs a name or a number puts that command in the command line,
; where the user completes it (the part after the TAB names the command,
; for its key text).
command -frame-menu(res)
  var m
  push_var $res
  load_menu 1
  assign $m
  push_var $m
  menu_item_count 1
  push_const "0"
  num_gt
  jump_if_true @attach
  push_var $m
  destroy_menu
  push_var $res
  call_link 1, fill_frame_menu
  push_var $res
  call_link 1, frame_menu_keys
  push_var $res
  load_menu 1
  assign $m
attach:
  push_var $m
  set_object_menu
  return
end

; A submenu at the end of menu; its handle.
private add_submenu(menu, caption)
  push_var $menu
  push_const "-1"
  push_const "16"
  push_var $caption
  insert_menu_item 4
  push_var $rc
  return_value
end

private add_item(menu, caption, command)
  push_var $menu
  push_const "-1"
  push_const "0"
  push_var $caption
  push_var $command
  insert_menu_item 5
  return
end

private fill_frame_menu(res)
  var sub
  push_var $res
  push_const "&File"
  call_link 2, add_submenu
  assign $sub
  push_var $sub
  push_const "&New"
  push_const "new-file"
  call_link 3, add_item
  push_var $sub
  push_const "&Open..."
  push_const "prompt-command open-file\topen-file"
  call_link 3, add_item
  push_var $sub
  push_const "&Save"
  push_const "save-file"
  call_link 3, add_item
  push_var $sub
  push_const "Save &As..."
  push_const "prompt-command save-as\tsave-as"
  call_link 3, add_item
  push_var $sub
  push_const "&Close"
  push_const "close-window"
  call_link 3, add_item
  push_var $sub
  push_const "-"
  push_const ""
  call_link 3, add_item
  push_var $sub
  push_const "E&xit"
  push_const "quit"
  call_link 3, add_item
  push_var $res
  push_const "&Edit"
  call_link 2, add_submenu
  assign $sub
  push_var $sub
  push_const "&Undo"
  push_const "undo-step"
  call_link 3, add_item
  push_var $sub
  push_const "&Redo"
  push_const "redo-step"
  call_link 3, add_item
  push_var $sub
  push_const "-"
  push_const ""
  call_link 3, add_item
  push_var $sub
  push_const "Cu&t"
  push_const "cut-selection"
  call_link 3, add_item
  push_var $sub
  push_const "&Copy"
  push_const "copy-selection"
  call_link 3, add_item
  push_var $sub
  push_const "&Paste"
  push_const "paste-clipboard"
  call_link 3, add_item
  push_var $sub
  push_const "Select &All"
  push_const "select-all"
  call_link 3, add_item
  push_var $res
  push_const "&Search"
  call_link 2, add_submenu
  assign $sub
  push_var $sub
  push_const "&Find..."
  push_const "prompt-command search-for\tsearch-for"
  call_link 3, add_item
  push_var $sub
  push_const "Find &Next"
  push_const "search-again"
  call_link 3, add_item
  push_var $sub
  push_const "&Replace..."
  push_const "prompt-command replace-text\treplace-text"
  call_link 3, add_item
  push_var $sub
  push_const "&Go To Line..."
  push_const "prompt-command go-to-line\tgo-to-line"
  call_link 3, add_item
  ; The window list follows the items of the menu captioned "&Window".
  push_var $res
  push_const "&Window"
  call_link 2, add_submenu
  assign $sub
  push_var $sub
  push_const "&Next Window"
  push_const "next-window-cmd"
  call_link 3, add_item
  push_var $sub
  push_const "&Close Window"
  push_const "close-window"
  call_link 3, add_item
  push_var $res
  push_const "&Help"
  call_link 2, add_submenu
  assign $sub
  push_var $sub
  push_const "&Contents"
  push_const "help-key"
  call_link 3, add_item
  push_var $sub
  push_const "&Keys"
  push_const "help-on keys"
  call_link 3, add_item
  push_var $sub
  push_const "&Menus"
  push_const "help-on menus"
  call_link 3, add_item
  return
end

; The key texts beside the items: the default keys of their commands.
private key_text(res, command, key)
  push_const "0"
  push_var $res
  push_var $command
  push_var $key
  push_const "B"
  set_menu_key_text 5
  return
end

private frame_menu_keys(res)
  push_var $res
  push_const "new-file"
  push_const "Ctrl+N"
  call_link 3, key_text
  push_var $res
  push_const "open-file"
  push_const "Ctrl+O"
  call_link 3, key_text
  push_var $res
  push_const "save-file"
  push_const "Ctrl+S"
  call_link 3, key_text
  push_var $res
  push_const "save-as"
  push_const "Shift+F2"
  call_link 3, key_text
  push_var $res
  push_const "close-window"
  push_const "Ctrl+W"
  call_link 3, key_text
  push_var $res
  push_const "quit"
  push_const "Ctrl+Q"
  call_link 3, key_text
  push_var $res
  push_const "undo-step"
  push_const "Ctrl+Z"
  call_link 3, key_text
  push_var $res
  push_const "redo-step"
  push_const "Ctrl+Y"
  call_link 3, key_text
  push_var $res
  push_const "cut-selection"
  push_const "Ctrl+X"
  call_link 3, key_text
  push_var $res
  push_const "copy-selection"
  push_const "Ctrl+C"
  call_link 3, key_text
  push_var $res
  push_const "paste-clipboard"
  push_const "Ctrl+V"
  call_link 3, key_text
  push_var $res
  push_const "select-all"
  push_const "Ctrl+A"
  call_link 3, key_text
  push_var $res
  push_const "search-for"
  push_const "Ctrl+F"
  call_link 3, key_text
  push_var $res
  push_const "search-again"
  push_const "F5"
  call_link 3, key_text
  push_var $res
  push_const "go-to-line"
  push_const "Ctrl+L"
  call_link 3, key_text
  push_var $res
  push_const "next-window-cmd"
  push_const "F6"
  call_link 3, key_text
  push_var $res
  push_const "help-key"
  push_const "F1"
  call_link 3, key_text
  return
end

; The command line with a command's name typed in, for the user to finish.
command prompt-command(name)
  var text
  focus_cmdline
  push_var $name
  push_const " "
  concat
  assign $text
  ; the caret after the text, where the user goes on typing
  push_var $text
  push_var $text
  length
  push_const "1"
  add
  set_ctl_text 2
  return
end

; A new, empty buffer.
command new-file()
  push_const "+i +U +t"
  edit
  return
end

command close-window()
  quit_view
  return
end

; The whole buffer as a character selection.
command select-all()
  top_of_buffer
  select_char 0
  bottom_of_buffer
  end_line
  select_char 0
  return
end

; Every match of the pattern from the cursor on becomes the replacement.
command replace-text(pattern, replacement)
  push_var $pattern
  push_const ""
  push_var $replacement
  search 3, [ ]
  return
end

; ---- process buffers ----
; The rest of the line runs as the current buffer's process: its output
; comes in at the end of the buffer as it arrives, and a line typed there
; goes to it.
command process-buffer(line)
  push_var $line
  attach_process_buffer
  return
end

; ---- Controls of the form designer ----
; Keys of forms and controls in design mode: Ctrl+C copies the selected
; controls of the form, Ctrl+V pastes copied controls into it (a text on
; the clipboard is left alone: a control has no cursor to take it).
table "-ainh-dlg-edit"
  C-C copy-controls
  C-V paste-controls
end

command copy-controls()
  copy_controls 0
  return
end

command paste-controls()
  push_const "ZXCONTROLS"
  clipboard_has_format
  jump_if_false @none
  paste 0
none:
  return
end

; ---- The children of the frame ----
; Editor windows and MDI forms are children of the frame's MDI client. The
; system command "next window" activates the one after the current one,
; whichever kind it is.
command next-window()
  push_const "61504"
  system_command
  return
end
