// The tag parser as the built-in library "cparse.dll": macros load it by
// that name and call its four entry points as they would a shared library's.
#pragma once

// Registers the library with the extension-library layer.
void tag_library_register();
