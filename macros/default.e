; The default macros: what a new user's keys do on first start.
;
; Assembled by zozu and linked into zorvex.stu at build time. Printable
; characters need no binding: an unbound character types itself.
;
; A command's info string ends in its attribute flags, which the command
; line checks before a typed command runs: 1 it runs without an edit
; window, 2 on an iconized one, 16 in a read-only buffer. Commands that
; change the text have none of them.

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

command cursor-up "Moves up a line,16" ()
  cursor_up 0
  return
end

command cursor-down "Moves down a line,16" ()
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

command save-file "Saves the buffer,16" ()
  save 0
  return
end

; Save, then leave.
command file-and-exit "Saves and leaves,19" ()
  save 0
  exit 0
  return
end

command quit "Leaves the editor,19" ()
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

command select-left "Selects,16" ()
  call_link 0, select_here
  cursor_left
  call_link 0, select_here
  return
end

command select-right "Selects,16" ()
  call_link 0, select_here
  cursor_right
  call_link 0, select_here
  return
end

command select-up "Selects,16" ()
  call_link 0, select_here
  cursor_up 0
  call_link 0, select_here
  return
end

command select-down "Selects,16" ()
  call_link 0, select_here
  cursor_down 0
  call_link 0, select_here
  return
end

command select-home "Selects,16" ()
  call_link 0, select_here
  begin_line
  call_link 0, select_here
  return
end

command select-end "Selects,16" ()
  call_link 0, select_here
  end_line
  call_link 0, select_here
  return
end

command copy-selection "Copies the selection,16" ()
  copy_to_clipboard 0
  return
end

; Paste: the clipboard's text at the cursor (copies of other programs too).
; A clipboard that cannot be read (its owner does not answer) is said on
; the message line; nothing is pasted.
command paste-clipboard()
  paste 0
  push_var $rc
  push_const "0"
  num_lt
  jump_if_false @pasted
  push_var $rc
  get_message 1
  message
pasted:
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
command search-for "Searches,16" (pattern)
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

command search-again "Searches again,16" ()
  repeat_search 0
  return
end

; The cursor to the start of the line numbered by the argument (1 is the
; first); past the end it stops on the last line.
command go-to-line "Line number,16" (number)
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
command save-as "File name,16" (name)
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
command open-file "File names,19" (names)
  push_var $names
  edit
  return
end

command next-window-cmd "Next window,18" ()
  next_window 0
  return
end

command cursor_left_cmd "Moves,16" ()
  cursor_left
  return
end

command cursor_right_cmd "Moves,16" ()
  cursor_right
  return
end

command begin_line_cmd "Moves,16" ()
  begin_line
  return
end

command end_line_cmd "Moves,16" ()
  end_line
  return
end

command page_up_cmd "Moves,16" ()
  page_up
  return
end

command page_down_cmd "Moves,16" ()
  page_down
  return
end

command top_cmd "Moves,16" ()
  top_of_buffer
  return
end

command bottom_cmd "Moves,16" ()
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

command prompt-go-to-line "Asks for a line,16" ()
  push_const "go-to-line "
  push_const "Go to line:"
  call_link 2, prompt_for
  return
end

command prompt-save-as "Asks for a file name,16" ()
  push_const "save-as "
  push_const "Save as:"
  call_link 2, prompt_for
  return
end

command prompt-open-file "Asks for file names,19" ()
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

command mouse-place "Places the cursor,16" (x, y)
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

command mouse-drag "Selects,16" (x, y)
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

command mouse-release "Ends a selection,16" (x, y)
  push_var $x
  push_var $y
  call_link 2, mouse-drag
  push_const "0"
  assign $mouse_dragging
  return
end

; ---- Help ----
; F1: the editor's own help file, zorvex.hlp beside the program, at its
; contents, in a help window of its own (Esc closes it). A help file that
; is missing or cannot be used is named on the message line with what is
; wrong with it.
command help-key "Help,19" ()
  push_const "zorvex.hlp"
  push_const ""
  push_const "3"
  help 3
  push_var $rc
  push_const "0"
  num_eq
  jump_if_true @help_shown
  push_const "zorvex.hlp: "
  push_var $rc
  get_message 1
  concat
  message
help_shown:
  return
end

; The help at the place of a keyword ("help-on keys"); a keyword the help
; file does not know shows the contents instead.
command help-on "Help keyword,19" (keyword)
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
; The frame's menu bar is the menu resource "frame-menu" below, kept in
; the state file. An item runs the command before the first TAB of its
; command; the words after it name the commands whose keys show beside
; the item (an item whose command needs a name or a number puts that
; command in the command line, where the user completes it). The window
; list follows the items of the submenu captioned "&Window".
menu "frame-menu"
  submenu "&File"
    item "&New" "new-file"
    item "&Open..." "prompt-command open-file\topen-file\tprompt-open-file"
    item "&Save" "save-file"
    item "Save &As..." "prompt-command save-as\tsave-as\tprompt-save-as"
    item "&Close" "close-window"
    separator
    item "E&xit" "quit"
  end
  submenu "&Edit"
    item "&Undo" "undo-step"
    item "&Redo" "redo-step"
    separator
    item "Cu&t" "cut-selection"
    item "&Copy" "copy-selection"
    item "&Paste" "paste-clipboard"
    item "Select &All" "select-all"
  end
  submenu "&Search"
    item "&Find..." "prompt-command search-for\tsearch-for"
    item "Find &Next" "search-again"
    item "&Replace..." "prompt-command replace-text\treplace-text"
    item "&Go To Line..." "prompt-command go-to-line\tgo-to-line\tprompt-go-to-line"
  end
  submenu "&Window"
    item "&Next Window" "next-window-cmd"
    item "&Close Window" "close-window"
    item "Tile &Vertically" "tile-windows V"
    item "Tile &Horizontally" "tile-windows H"
    item "C&ascade" "cascade-windows"
    item "A&rrange Icons" "arrange-icons"
  end
  submenu "&Help"
    item "&Contents" "help-key"
    item "&Keys" "help-on keys"
    item "&Menus" "help-on menus"
  end
end

; The frame calls "-frame-menu" after the start-up with the menu resource:
; its key texts come from the keys bound now, then it is loaded and
; attached to the frame.
command -frame-menu(res)
  var m
  push_var $res
  push_const "0"
  call_link 2, menu-key-texts
  push_var $res
  load_menu 1
  assign $m
  push_var $m
  set_object_menu
  return
end

; The key texts of a menu resource and of a live menu (0: none) from the
; bindings of "default-keys": each item shows the key of one of the
; commands its command names, the one of the lowest key index when
; several keys run them (Ctrl and a letter before the function keys).
command menu-key-texts(res, menu)
  var i
  var binding
  var key
  push_var $menu
  push_var $res
  push_const ""
  push_const ""
  push_const "C"
  set_menu_key_text 5
  push_const "553"
  assign $i
next_key:
  push_event_table table:"default-keys"
  push_event_table table:"default-keys"
  push_var $i
  eventtab_index 3
  assign $binding
  push_var $binding
  push_const "0"
  num_eq
  jump_if_true @skip
  ; prefix tables show no key text
  push_var $binding
  name_type
  push_const "16"
  bit_and
  push_const "0"
  num_eq
  jump_if_true @skip
  push_var $i
  index2event
  push_const "L"
  event2name 2
  assign $key
  push_var $menu
  push_var $res
  push_var $binding
  name_name
  push_var $key
  push_const "B"
  set_menu_key_text 5
skip:
  push_var $i
  push_const "1"
  sub
  assign $i
  push_var $i
  push_const "0"
  num_lt
  jump_if_false @next_key
  return
end

; The command line with a command's name typed in, for the user to finish.
command prompt-command "Asks for a command,19" (name)
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

; The editor windows side by side (V) or stacked (H), cascaded, or the
; icons of minimised ones in rows: the frame object arranges them (handle
; 2 is the frame's).
command tile-windows "Arranges windows,19" (how)
  push_const "2"
  push_var $how
  with_object 1
  tile_windows 1
  return
end

command cascade-windows "Arranges windows,19" ()
  push_const "2"
  with_object 0
  cascade_windows 0
  return
end

command arrange-icons "Arranges icons,19" ()
  push_const "2"
  with_object 0
  arrange_icons
  return
end

; A new, empty buffer.
command new-file "A new buffer,19" ()
  push_const "+i +U +t"
  edit
  return
end

command close-window "Closes the window,18" ()
  quit_view
  return
end

; The whole buffer as a character selection.
command select-all "Selects all,16" ()
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

command copy-controls "Copies controls,16" ()
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
command next-window "Next window,18" ()
  push_const "61504"
  system_command
  return
end

; ---------------------------------------------------------------- dialog keys
; Keys of free-standing forms, looked up after every table of the control
; and of its form: Tab and Shift+Tab move the focus along the tab stops
; (increasing tab index, equal indexes in the order of the form's tree),
; the arrows move it inside a group of radio buttons and choose the one
; reached, Enter presses the form's default button. The walk keeps its
; state in the statics below while it runs.

static dlg_from = "0"
static dlg_from_index = "0"
static dlg_from_seen = "0"
static dlg_back = "0"
static dlg_order = "0"
static dlg_best = "0"
static dlg_best_index = "0"
static dlg_best_order = "0"
static dlg_wrap = "0"
static dlg_wrap_index = "0"
static dlg_wrap_order = "0"

; rc = 1 when the key (i1, o1) comes before (i2, o2): a lower tab index,
; or the same index earlier in the tree.
private dlg_key_before(i1, o1, i2, o2)
  push_var $i1
  push_var $i2
  num_lt
  jump_if_true @dlg1_yes
  push_var $i1
  push_var $i2
  num_eq
  jump_if_false @dlg1_no
  push_var $o1
  push_var $o2
  num_lt
  jump_if_true @dlg1_yes
dlg1_no:
  push_const "0"
  return_rc
dlg1_yes:
  push_const "1"
  return_rc
end

; rc = 1 when a radio button of the object's parent is checked.
private dlg_group_checked(obj)
  var c
  push_var $obj
  property_get_handle "parent", 0
  property_get_handle "first-child", 0
  assign $c
dlg2_next:
  push_var $c
  push_const "0"
  num_eq
  jump_if_true @dlg2_none
  push_var $c
  property_get_handle "type", 0
  push_const "6"
  num_eq
  jump_if_false @dlg2_skip
  push_var $c
  property_get_handle "value", 0
  push_const "0"
  num_ne
  jump_if_true @dlg2_found
dlg2_skip:
  push_var $c
  property_get_handle "next-sibling", 0
  assign $c
  jump @dlg2_next
dlg2_found:
  push_const "1"
  return_rc
dlg2_none:
  push_const "0"
  return_rc
end

; rc = 1 when the stop (index, the walk's place) is a better choice than
; the one kept (0: none yet): going forward the earlier, going back the
; later.
private dlg_better(index, kept, kept_index, kept_order)
  push_var $kept
  push_const "0"
  num_eq
  jump_if_true @dlg3_yes
  push_var $dlg_back
  jump_if_true @dlg3_back
  push_var $index
  push_var $dlg_order
  push_var $kept_index
  push_var $kept_order
  call_link 4, dlg_key_before
  push_var $rc
  return_rc
dlg3_back:
  push_var $kept_index
  push_var $kept_order
  push_var $index
  push_var $dlg_order
  call_link 4, dlg_key_before
  push_var $rc
  return_rc
dlg3_yes:
  push_const "1"
  return_rc
end

; One object of the walk: remembers passing the origin, and a tab stop
; (set, visible, enabled, index 1 or more) may become the next one or
; the one to wrap to. An unchecked radio button whose group has a checked
; one is no stop: Tab enters a group at its choice.
private dlg_consider(obj)
  var index
  var after
  incr $dlg_order
  push_var $obj
  push_var $dlg_from
  num_eq
  jump_if_false @dlg4_other
  push_const "1"
  assign $dlg_from_seen
  return
dlg4_other:
  push_var $obj
  property_get_handle "tab-stop", 0
  jump_if_false @dlg4_done
  push_var $obj
  property_get_handle "visible", 0
  jump_if_false @dlg4_done
  push_var $obj
  property_get_handle "enabled", 0
  jump_if_false @dlg4_done
  push_var $obj
  property_get_handle "tab-index", 0
  assign $index
  push_var $index
  push_const "1"
  num_lt
  jump_if_true @dlg4_done
  push_var $obj
  property_get_handle "type", 0
  push_const "6"
  num_eq
  jump_if_false @dlg4_stop
  push_var $obj
  property_get_handle "value", 0
  jump_if_true @dlg4_stop
  push_var $obj
  call_link 1, dlg_group_checked
  push_var $rc
  jump_if_true @dlg4_done
dlg4_stop:
  ; after: the stop's key comes after the origin's (same index: after
  ; when the walk has passed the origin already)
  push_var $dlg_from_seen
  assign $after
  push_var $dlg_from_index
  push_var $index
  num_eq
  jump_if_true @dlg4_placed
  push_var $dlg_from_index
  push_var $index
  num_lt
  assign $after
dlg4_placed:
  ; the best stop lies after the origin going forward, before it going back
  push_var $after
  push_var $dlg_back
  num_eq
  jump_if_true @dlg4_wrap
  push_var $index
  push_var $dlg_best
  push_var $dlg_best_index
  push_var $dlg_best_order
  call_link 4, dlg_better
  push_var $rc
  jump_if_false @dlg4_wrap
  push_var $obj
  assign $dlg_best
  push_var $index
  assign $dlg_best_index
  push_var $dlg_order
  assign $dlg_best_order
dlg4_wrap:
  ; the stop to wrap to: the first of all going forward, the last going back
  push_var $index
  push_var $dlg_wrap
  push_var $dlg_wrap_index
  push_var $dlg_wrap_order
  call_link 4, dlg_better
  push_var $rc
  jump_if_false @dlg4_done
  push_var $obj
  assign $dlg_wrap
  push_var $index
  assign $dlg_wrap_index
  push_var $dlg_order
  assign $dlg_wrap_order
dlg4_done:
  return
end

; Pre-order walk below an object; hidden or disabled objects hide their
; children, and the parts of a combo box are the box's own.
private dlg_walk(obj)
  var c
  push_var $obj
  property_get_handle "first-child", 0
  assign $c
dlg5_next:
  push_var $c
  push_const "0"
  num_eq
  jump_if_true @dlg5_done
  push_var $c
  call_link 1, dlg_consider
  push_var $c
  property_get_handle "type", 0
  push_const "12"
  num_eq
  jump_if_true @dlg5_sibling
  push_var $c
  property_get_handle "visible", 0
  jump_if_false @dlg5_sibling
  push_var $c
  property_get_handle "enabled", 0
  jump_if_false @dlg5_sibling
  push_var $c
  call_link 1, dlg_walk
dlg5_sibling:
  push_var $c
  property_get_handle "next-sibling", 0
  assign $c
  jump @dlg5_next
dlg5_done:
  return
end

; The focus to the next tab stop of the focused control's form ("1":
; the previous one), wrapping round; nothing when no other stop exists.
private dlg_tab(back)
  var top
  var target
  focus_window_id
  assign $dlg_from
  push_var $dlg_from
  push_const "0"
  num_eq
  jump_if_true @dlg6_done
  ; a part of a combo box stands for the box
  push_var $dlg_from
  property_get_handle "combo", 0
  assign $target
  push_var $target
  push_const "0"
  num_eq
  jump_if_true @dlg6_own
  push_var $target
  assign $dlg_from
dlg6_own:
  push_var $dlg_from
  property_get_handle "top-level", 0
  assign $top
  push_var $back
  assign $dlg_back
  push_const "0"
  assign $dlg_order
  push_const "0"
  assign $dlg_from_seen
  push_const "0"
  assign $dlg_best
  push_const "0"
  assign $dlg_wrap
  ; the origin's index; the form itself stands before every stop (after
  ; every stop going back)
  push_var $dlg_from
  property_get_handle "tab-index", 0
  assign $dlg_from_index
  push_var $dlg_from
  push_var $top
  num_ne
  jump_if_true @dlg6_walk
  push_const "0"
  assign $dlg_from_index
  push_var $back
  jump_if_false @dlg6_walk
  push_const "1000000"
  assign $dlg_from_index
dlg6_walk:
  push_var $top
  call_link 1, dlg_walk
  push_var $dlg_best
  assign $target
  push_var $target
  push_const "0"
  num_ne
  jump_if_true @dlg6_go
  push_var $dlg_wrap
  assign $target
dlg6_go:
  push_var $target
  push_const "0"
  num_eq
  jump_if_true @dlg6_done
  push_var $target
  push_var $dlg_from
  num_eq
  jump_if_true @dlg6_done
  push_var $target
  with_object 0
  focus_current
dlg6_done:
  return
end

command dlg-next-control()
  push_const "0"
  call_link 1, dlg_tab
  return
end

command dlg-prev-control()
  push_const "1"
  call_link 1, dlg_tab
  return
end

; The focus to the next radio button of the focused one's group ("1": the
; previous one), wrapping round, skipping hidden and disabled ones. A
; radio button taking the focus is chosen by its own window.
private dlg_radio_step(back)
  var from
  var c
  var first
  focus_window_id
  assign $from
  push_var $from
  push_const "0"
  num_eq
  jump_if_true @dlg9_done
  push_var $from
  property_get_handle "type", 0
  push_const "6"
  num_eq
  jump_if_false @dlg9_done
  push_var $from
  property_get_handle "parent", 0
  property_get_handle "first-child", 0
  assign $first
  push_var $from
  assign $c
dlg9_step:
  push_var $back
  jump_if_true @dlg9_previous
  push_var $c
  property_get_handle "next-sibling", 0
  assign $c
  push_var $c
  push_const "0"
  num_ne
  jump_if_true @dlg9_check
  push_var $first
  assign $c
  jump @dlg9_check
dlg9_previous:
  push_var $c
  property_get_handle "prev-sibling", 0
  assign $c
  push_var $c
  push_const "0"
  num_ne
  jump_if_true @dlg9_check
  ; before the first: the last of the ring
  push_var $first
  assign $c
dlg9_last:
  push_var $c
  property_get_handle "next-sibling", 0
  push_const "0"
  num_eq
  jump_if_true @dlg9_check
  push_var $c
  property_get_handle "next-sibling", 0
  assign $c
  jump @dlg9_last
dlg9_check:
  push_var $c
  push_var $from
  num_eq
  jump_if_true @dlg9_done
  push_var $c
  property_get_handle "type", 0
  push_const "6"
  num_eq
  jump_if_false @dlg9_step
  push_var $c
  property_get_handle "visible", 0
  jump_if_false @dlg9_step
  push_var $c
  property_get_handle "enabled", 0
  jump_if_false @dlg9_step
  push_var $c
  with_object 0
  focus_current
dlg9_done:
  return
end

command dlg-radio-next()
  push_const "0"
  call_link 1, dlg_radio_step
  return
end

command dlg-radio-prev()
  push_const "1"
  call_link 1, dlg_radio_step
  return
end

; Enter: the button drawn as the default (the focused command button, else
; the form's default button) is pressed.
command dlg-default-button()
  var c
  var top
  var button
  focus_window_id
  assign $c
  push_var $c
  push_const "0"
  num_eq
  jump_if_true @dlg12_done
  push_var $c
  property_get_handle "top-level", 0
  assign $top
  push_const "0"
  assign $button
  push_var $top
  call_link 1, dlg_find_default
  push_var $rc
  assign $button
  push_var $button
  push_const "0"
  num_eq
  jump_if_true @dlg12_done
  push_var $button
  push_const key:"LBUTTON-UP"
  call_event 2
dlg12_done:
  return
end

; rc = the command button below the object drawn as the default, else the
; one whose default property is set, else 0.
private dlg_find_default(obj)
  var c
  var found
  var r
  push_const "0"
  assign $found
  push_var $obj
  property_get_handle "first-child", 0
  assign $c
dlg13_next:
  push_var $c
  push_const "0"
  num_eq
  jump_if_true @dlg13_done
  push_var $c
  property_get_handle "type", 0
  push_const "5"
  num_eq
  jump_if_false @dlg13_inside
  push_var $c
  property_get_handle "visible", 0
  jump_if_false @dlg13_sibling
  push_var $c
  property_get_handle "enabled", 0
  jump_if_false @dlg13_sibling
  push_var $c
  property_get_handle "shows-default", 0
  jump_if_false @dlg13_marked
  push_var $c
  return_rc
dlg13_marked:
  push_var $c
  property_get_handle "default", 0
  jump_if_false @dlg13_sibling
  push_var $found
  push_const "0"
  num_ne
  jump_if_true @dlg13_sibling
  push_var $c
  assign $found
  jump @dlg13_sibling
dlg13_inside:
  push_var $c
  property_get_handle "type", 0
  push_const "12"
  num_eq
  jump_if_true @dlg13_sibling
  push_var $c
  call_link 1, dlg_find_default
  push_var $rc
  assign $r
  push_var $r
  push_const "0"
  num_eq
  jump_if_true @dlg13_sibling
  push_var $r
  property_get_handle "shows-default", 0
  jump_if_false @dlg13_keep
  push_var $r
  return_rc
dlg13_keep:
  push_var $found
  push_const "0"
  num_ne
  jump_if_true @dlg13_sibling
  push_var $r
  assign $found
dlg13_sibling:
  push_var $c
  property_get_handle "next-sibling", 0
  assign $c
  jump @dlg13_next
dlg13_done:
  push_var $found
  return_rc
end

table "-ainh-dlg-manager"
  TAB dlg-next-control
  S-TAB dlg-prev-control
  DOWN dlg-radio-next
  RIGHT dlg-radio-next
  UP dlg-radio-prev
  LEFT dlg-radio-prev
  ENTER dlg-default-button
end
