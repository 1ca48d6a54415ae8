// Error codes and the table that turns them into the text the user reads.
//
// Every failure travels as a negative ErrorCode; 0 is success. A message is
// one fixed text, or is composed of consecutive codes: fixed texts with an
// argument between them ("Macro file " + msg_arg + " not found"). Code that
// raises a composed message first stores its argument in msg_arg / msg_arg2 /
// msg_dict_file. Record flags also say whether the error stops a running
// macro. The table itself (messages.inc) is generated data; never edit it by
// hand (see scripts/gen_messages.py).
#pragma once

#include <cstdint>

#include "base/lstr.h"

// A plain int so that it works in switch, comparisons and arithmetic.
using ErrorCode = int32_t;

inline constexpr ErrorCode ERR_OK = 0;

// Codes 0..-53: operating-system errors in the classic DOS numbering.
inline constexpr ErrorCode ERR_FILE_NOT_FOUND = -2;
inline constexpr ErrorCode ERR_PATH_NOT_FOUND = -3;  // also: name too long, not a directory
inline constexpr ErrorCode ERR_TOO_MANY_OPEN_FILES = -4;
inline constexpr ErrorCode ERR_ACCESS_DENIED = -5;
inline constexpr ErrorCode ERR_MEMORY_BLOCKS_DESTROYED = -7;
inline constexpr ErrorCode ERR_INSUFFICIENT_MEMORY = -8;
inline constexpr ErrorCode ERR_INVALID_DRIVE = -15;
inline constexpr ErrorCode ERR_NO_MORE_FILES = -18;
inline constexpr ErrorCode ERR_WRITE_PROTECTED = -19;
inline constexpr ErrorCode ERR_DRIVE_NOT_READY = -21;
inline constexpr ErrorCode ERR_SEEK = -25;
inline constexpr ErrorCode ERR_WRITE_FAULT = -29;
inline constexpr ErrorCode ERR_READ_FAULT = -30;
inline constexpr ErrorCode ERR_GENERAL_FAILURE = -31;
inline constexpr ErrorCode ERR_OPENING_FILE = -32;
inline constexpr ErrorCode ERR_READING_FILE = -33;
inline constexpr ErrorCode ERR_WRITING_FILE = -34;
inline constexpr ErrorCode ERR_CLOSING_FILE = -35;
inline constexpr ErrorCode ERR_INSUFFICIENT_DISK_SPACE = -36;
inline constexpr ErrorCode ERR_CREATING_DIRECTORY_ENTRY = -38;
inline constexpr ErrorCode ERR_INVALID_EXECUTABLE_FORMAT = -46;
inline constexpr ErrorCode ERR_EXECUTE_FAILED = -47;
inline constexpr ErrorCode ERR_CREATE_TIMER = -49;
inline constexpr ErrorCode ERR_INVALID_ARGUMENT_OS = -52;
inline constexpr ErrorCode ERR_END_OF_FILE = -53;

// -500: the console.
inline constexpr ErrorCode ERR_CONSOLE_INIT = -500;

// -2000..-2111: the editor.
inline constexpr ErrorCode ERR_SPILL_TOO_LARGE = -2001;
inline constexpr ErrorCode MSG_ON = -2002;
inline constexpr ErrorCode MSG_OFF = -2003;
inline constexpr ErrorCode ERR_EXPECTING_IGNORE_OR_EXACT = -2004;
inline constexpr ErrorCode ERR_MARGIN_SETTINGS = -2005;
inline constexpr ErrorCode ERR_TAB_SETTINGS = -2006;
inline constexpr ErrorCode ERR_UNKNOWN_COMMAND = -2007;
inline constexpr ErrorCode ERR_MISSING_FILENAME = -2008;
inline constexpr ErrorCode ERR_TOO_MANY_FILES = -2009;
inline constexpr ErrorCode ERR_TOO_MANY_SELECTIONS = -2010;
inline constexpr ErrorCode ERR_LINES_TRUNCATED = -2011;
inline constexpr ErrorCode ERR_TEXT_ALREADY_SELECTED = -2012;
inline constexpr ErrorCode ERR_TEXT_NOT_SELECTED = -2013;
inline constexpr ErrorCode ERR_INVALID_SELECTION_TYPE = -2014;
inline constexpr ErrorCode ERR_SOURCE_DESTINATION_CONFLICT = -2015;
inline constexpr ErrorCode MSG_NEW_FILE = -2016;
inline constexpr ErrorCode ERR_LINE_SELECTION_REQUIRED = -2017;
inline constexpr ErrorCode ERR_BLOCK_SELECTION_REQUIRED = -2018;
inline constexpr ErrorCode ERR_TOO_MANY_WINDOW_GROUPS = -2019;
inline constexpr ErrorCode ERR_MACRO_FILE_NOT_FOUND = -2020;  // + msg_arg
inline constexpr ErrorCode MSG_HIT_ANY_KEY = -2023;
inline constexpr ErrorCode ERR_BOTTOM_OF_FILE = -2024;
inline constexpr ErrorCode ERR_TOP_OF_FILE = -2025;
inline constexpr ErrorCode ERR_INVALID_POINT = -2026;
inline constexpr ErrorCode ERR_TOO_MANY_WINDOWS = -2028;
inline constexpr ErrorCode ERR_NOT_ENOUGH_MEMORY = -2029;
inline constexpr ErrorCode MSG_PRESS_ANY_KEY = -2030;
inline constexpr ErrorCode ERR_SPILL_IO = -2031;
inline constexpr ErrorCode ERR_NOTHING_TO_UNDO = -2033;
inline constexpr ErrorCode ERR_NOTHING_TO_REDO = -2034;
inline constexpr ErrorCode ERR_LINE_OR_BLOCK_SELECTION_REQUIRED = -2035;
inline constexpr ErrorCode ERR_INVALID_SELECTION_HANDLE = -2036;
inline constexpr ErrorCode MSG_SEARCHING_AND_REPLACING = -2037;
inline constexpr ErrorCode ERR_COMMAND_CANCELLED = -2038;
inline constexpr ErrorCode ERR_PROCESS_ALREADY_RUNNING = -2042;
inline constexpr ErrorCode ERR_COMMAND_LINE_TOO_LONG = -2044;
inline constexpr ErrorCode ERR_OLD_LOCAL_STATE_FILE = -2046;  // + msg_arg
inline constexpr ErrorCode ERR_CREATE_SPILL_FILE = -2049;     // + msg_arg
inline constexpr ErrorCode ERR_UNABLE_TO_DISPLAY_POPUP = -2052;
inline constexpr ErrorCode ERR_MENU_MUST_BE_POPUP = -2053;
inline constexpr ErrorCode ERR_MENU_CANNOT_BE_POPUP = -2054;
inline constexpr ErrorCode ERR_INVALID_MENU_HANDLE = -2055;
inline constexpr ErrorCode ERR_MENU_ALREADY_ATTACHED = -2056;
inline constexpr ErrorCode ERR_BORDER_NO_MENUS = -2057;
inline constexpr ErrorCode ERR_NOT_ALLOWED_ICONIZED = -2059;
inline constexpr ErrorCode ERR_NOT_ALLOWED_NO_EDIT_WINDOWS = -2060;
inline constexpr ErrorCode ERR_ZVXWAIT_NOT_FOUND = -2061;
inline constexpr ErrorCode ERR_NOT_ALLOWED_ON_OBJECT = -2073;
inline constexpr ErrorCode ERR_CREATE_TIMER_EDITOR = -2074;
inline constexpr ErrorCode ERR_PROCESS_INIT_TIMEOUT = -2075;
inline constexpr ErrorCode ERR_CANT_CREATE_MDI_FORM = -2076;
inline constexpr ErrorCode ERR_FORM_CLIPPED_CHILD = -2077;
inline constexpr ErrorCode ERR_CONTROL_NEEDS_PARENT = -2078;
inline constexpr ErrorCode ERR_INVALID_PARENT_WINDOW = -2079;
inline constexpr ErrorCode ERR_INVALID_SORT_DATA = -2080;
inline constexpr ErrorCode ERR_XTERM_NOT_FOUND = -2081;
inline constexpr ErrorCode ERR_REQUIRES_DISPLAYED_OBJECT = -2082;
inline constexpr ErrorCode ERR_NO_NAME = -2083;
inline constexpr ErrorCode ERR_CLIPBOARD_FORMAT = -2084;
inline constexpr ErrorCode ERR_GET_CLIPBOARD_DATA = -2085;
inline constexpr ErrorCode ERR_NOTHING_SELECTED = -2086;
inline constexpr ErrorCode ERR_SYSTEM_CALL_FAILED = -2087;
inline constexpr ErrorCode ERR_INVALID_OBJECT_HANDLE = -2088;
inline constexpr ErrorCode ERR_PRINTER_DRIVER = -2089;
inline constexpr ErrorCode ERR_PRINTER_NOT_SET_UP = -2091;
inline constexpr ErrorCode ERR_START_PRINTER = -2092;
inline constexpr ErrorCode ERR_PRINTING_FAILED = -2093;
inline constexpr ErrorCode ERR_READ_ONLY_MODE = -2099;
inline constexpr ErrorCode ERR_COPY_MOVE = -2101;         // + msg_arg, msg_arg2
inline constexpr ErrorCode ERR_COPY_MOVE_ACCESS = -2105;  // + msg_arg, msg_arg2

// -2500, -2550, -2551: regular expressions and images.
inline constexpr ErrorCode ERR_INVALID_REGEX = -2500;
inline constexpr ErrorCode ERR_UNSUPPORTED_GRAPHICS_FORMAT = -2550;
inline constexpr ErrorCode ERR_INVALID_BITMAP_FILE = -2551;

// -3000..-3065: the interpreter and the DLL interface.
inline constexpr ErrorCode ERR_INCORRECT_VERSION = -3000;  // also: a damaged state file or module
inline constexpr ErrorCode ERR_NO_MAIN_ENTRY = -3001;
inline constexpr ErrorCode ERR_INTERPRETER_OUT_OF_MEMORY = -3002;
inline constexpr ErrorCode ERR_PROCEDURE_NOT_FOUND = -3003;  // + msg_arg
inline constexpr ErrorCode ERR_MODULE_ALREADY_LOADED = -3006;
inline constexpr ErrorCode ERR_CANT_REMOVE_MODULE = -3007;
inline constexpr ErrorCode ERR_NUMERIC_OVERFLOW = -3008;
inline constexpr ErrorCode ERR_INVALID_NUMBER_ARGUMENT = -3009;
inline constexpr ErrorCode ERR_RECURSION_TOO_DEEP = -3010;
inline constexpr ErrorCode ERR_INVALID_PARAMETER_COUNT = -3011;
inline constexpr ErrorCode ERR_OUT_OF_STRING_SPACE = -3012;
inline constexpr ErrorCode ERR_EXPRESSION_STACK_OVERFLOW = -3013;
inline constexpr ErrorCode ERR_ILLEGAL_OPCODE = -3014;
inline constexpr ErrorCode ERR_INVALID_ARGUMENT = -3015;
inline constexpr ErrorCode ERR_LOOP_STACK_OVERFLOW = -3016;
inline constexpr ErrorCode ERR_DIVIDE_BY_ZERO = -3017;
inline constexpr ErrorCode ERR_INVALID_CALL_BY_REFERENCE = -3018;
inline constexpr ErrorCode ERR_PROCEDURE_NEEDS_ARGUMENTS = -3019;
inline constexpr ErrorCode ERR_BREAK_KEY = -3020;
inline constexpr ErrorCode ERR_WRITE_STATE_DURING_RELINK = -3021;
inline constexpr ErrorCode ERR_STRING_NOT_FOUND = -3022;
inline constexpr ErrorCode ERR_COMMAND_NOT_FOUND = -3024;  // + msg_arg
inline constexpr ErrorCode ERR_NOT_SUPPORTED_DOS = -3027;
inline constexpr ErrorCode ERR_NOT_SUPPORTED_OS2 = -3028;
inline constexpr ErrorCode ERR_INVALID_NAME_INDEX = -3029;
inline constexpr ErrorCode ERR_INVALID_OPTION = -3030;
inline constexpr ErrorCode ERR_IDENTIFIER_TYPE = -3031;       // + msg_arg
inline constexpr ErrorCode ERR_PARENT_OBJECTS_FIRST = -3034;  // + msg_arg
inline constexpr ErrorCode ERR_PARENT_TYPE = -3037;           // + msg_arg
inline constexpr ErrorCode ERR_MENU_MEMORY = -3040;
inline constexpr ErrorCode ERR_NO_FILE_ACTIVE = -3041;
inline constexpr ErrorCode ERR_OBJECT_NOT_FOUND = -3042;       // + msg_arg
inline constexpr ErrorCode ERR_CONTROL_NOT_FOUND = -3045;      // + msg_arg
inline constexpr ErrorCode ERR_EVENT_TABLE_NOT_FOUND = -3048;  // + msg_arg
inline constexpr ErrorCode ERR_API_DLL_NOT_FOUND = -3051;
inline constexpr ErrorCode ERR_FILE_NAMED_NOT_FOUND = -3052;    // + msg_arg
inline constexpr ErrorCode ERR_LOADING_DLL = -3055;             // + msg_arg
inline constexpr ErrorCode ERR_DLL_FUNCTION_NOT_FOUND = -3058;  // + msg_arg
inline constexpr ErrorCode ERR_INVALID_DLL_TYPE = -3061;        // + msg_arg
inline constexpr ErrorCode ERR_NAMED_INVALID_ARGUMENT = -3064;  // msg_arg + ": Invalid argument"

// -3500..-3558: the spell checker, colour-coding definitions and their files.
inline constexpr ErrorCode ERR_SPELL_FILE_NOT_FOUND = -3501;  // + msg_dict_file
inline constexpr ErrorCode ERR_OPEN_MAIN_DICTIONARY = -3504;  // + msg_dict_file
inline constexpr ErrorCode ERR_OPEN_USER_DICTIONARY = -3507;  // + msg_dict_file
inline constexpr ErrorCode ERR_SPELL_NOT_ENOUGH_MEMORY = -3510;
inline constexpr ErrorCode ERR_READ_MAIN_DICTIONARY_INDEX = -3511;  // + msg_dict_file
inline constexpr ErrorCode ERR_OPEN_COMMON_DICTIONARY = -3514;      // + msg_dict_file
inline constexpr ErrorCode ERR_COMMON_DICTIONARY_TOO_LARGE = -3517;
inline constexpr ErrorCode ERR_READ_COMMON_DICTIONARY = -3518;     // + msg_dict_file
inline constexpr ErrorCode ERR_USER_DICTIONARY_TOO_LARGE = -3521;  // + msg_dict_file
inline constexpr ErrorCode ERR_READ_USER_DICTIONARY = -3524;       // + msg_dict_file
inline constexpr ErrorCode ERR_UPDATE_USER_DICTIONARY = -3527;     // + msg_dict_file
inline constexpr ErrorCode ERR_DICTIONARY_ACCESS_DENIED = -3530;   // + msg_dict_file
inline constexpr ErrorCode ERR_DICTIONARY_DISK_SPACE = -3533;      // + msg_dict_file
inline constexpr ErrorCode ERR_READ_MAIN_DICTIONARY = -3536;
inline constexpr ErrorCode ERR_WORD_NOT_FOUND = -3537;
inline constexpr ErrorCode ERR_WORD_CAPITALIZATION = -3538;
inline constexpr ErrorCode ERR_WORD_TOO_SMALL = -3539;
inline constexpr ErrorCode ERR_WORD_TOO_LARGE = -3540;
inline constexpr ErrorCode ERR_WORD_INVALID = -3541;
inline constexpr ErrorCode ERR_WORD_HAS_REPLACEMENT = -3542;
inline constexpr ErrorCode ERR_WORD_HISTORY = -3543;
inline constexpr ErrorCode ERR_USER_DICTIONARY_NOT_LOADED = -3544;
inline constexpr ErrorCode ERR_NO_MORE_WORDS = -3545;
inline constexpr ErrorCode ERR_REPEATED_WORD = -3546;
inline constexpr ErrorCode ERR_LEX_NOT_ENOUGH_MEMORY = -3547;
inline constexpr ErrorCode ERR_LEX_TOO_MANY_MLCOMMENTS = -3548;
inline constexpr ErrorCode ERR_LEX_IDENT_MLCOMMENTS = -3549;
inline constexpr ErrorCode ERR_LEX_TOO_MANY_CHECKFIRST = -3550;
inline constexpr ErrorCode ERR_LEX_IDCHARS_FIRST = -3551;
inline constexpr ErrorCode ERR_LEX_INVALID_STYLE = -3552;
inline constexpr ErrorCode ERR_LEX_INVALID_MLCOMMENT = -3553;
inline constexpr ErrorCode ERR_LEX_INVALID_LINECOMMENT = -3554;
inline constexpr ErrorCode ERR_LEX_INVALID_NAME = -3555;
inline constexpr ErrorCode ERR_LEX_FILE_NOT_FOUND = -3556;
inline constexpr ErrorCode ERR_LEX_ACCESS_DENIED = -3557;
inline constexpr ErrorCode ERR_LEX_OPEN_FILE = -3558;

// ---------------------------------------------------------------------------
// The table

// Record flags.
inline constexpr uint32_t MSG_KIND_MASK = 0x0F;
inline constexpr uint32_t MSG_KIND_CSTR = 0;      // a NUL-terminated text (constant or msg_dict_file)
inline constexpr uint32_t MSG_KIND_LSTR = 1;      // an LStr argument (msg_arg, msg_arg2)
inline constexpr uint32_t MSG_KIND_INT = 2;       // an int32 shown in decimal (unused by the table)
inline constexpr uint32_t MSG_STOPS_HARD = 0x20;  // stops the running macro (only -7)
inline constexpr uint32_t MSG_STOPS = 0x40;       // stops the running macro
inline constexpr uint32_t MSG_NEXT_CODE = 0x80;   // the whole text goes on with the next code's message
inline constexpr uint32_t MSG_CONTINUES = 0x400;  // the message goes on with record code - 1

// True when flags returned by a lookup say the error stops a running macro.
inline bool msg_stops(uint32_t flags) { return (flags & (MSG_STOPS | MSG_STOPS_HARD)) != 0; }

// {high, low}: the codes of one range, high >= low.
struct MsgRange {
  int32_t high;
  int32_t low;
};

// One record per code. text points at a const char*, an LStr or an int32
// as the kind bits say.
struct MsgRecord {
  const void* text;
  uint32_t flags;
};

inline constexpr int32_t MSG_RANGE_COUNT = 7;
inline constexpr int32_t MSG_RECORD_COUNT = 295;
extern const MsgRange msg_ranges[MSG_RANGE_COUNT];
extern const MsgRecord msg_records[MSG_RECORD_COUNT];

// Argument buffers: whatever was last stored; a lookup only reads them.
// Room for a file name of the usual capacity and its NUL.
inline constexpr int32_t MSG_DICT_FILE_SIZE = LSTR_CAP_NAME + 1;
extern LStrBuf<LSTR_CAP_LINE> msg_arg;
extern LStrBuf<LSTR_CAP_LINE> msg_arg2;
extern char msg_dict_file[MSG_DICT_FILE_SIZE];  // NUL-terminated; the spell checker fills it

// What msg_lookup_static and msg_full_text write; each call overwrites it.
// Written with capacity 1024; the one byte more lets msg_full_text always
// terminate it.
extern LStrBuf<LSTR_CAP_LINE + 1> msg_static_text;

// Empties out, then appends the text of *code's message, cut at capacity.
// On return *code is the code after the last record used and *flags (when
// given) holds that record's flags. A code outside every range gives
// "Message not available" and flags 0. Returns out.
LStr* msg_lookup(LStr* out, int32_t capacity, int32_t* code, uint32_t* flags);
// msg_lookup into msg_static_text (capacity 1024).
LStr* msg_lookup_static(int32_t* code, uint32_t* flags);
// The whole text of code, NUL-terminated inside msg_static_text (at most 1024
// characters); *flags (when given) receives the flags of the first message.
const char* msg_full_text(int32_t code, uint32_t* flags);

// Convenience for C++ callers: the whole text of code as a view into
// msg_static_text, valid until the next lookup.
std::string_view msg_text(ErrorCode code);
