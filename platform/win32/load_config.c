/* The load configuration of vantor.exe: its DependentLoadFlags ask the
 * Windows loader to resolve the DLLs that vantor.exe itself imports from the
 * system folder only, not from the program's own folder (the label program's
 * folder) or the current directory.
 *
 * What that does not give: the flags apply to vantor.exe's own imports, not
 * to the DLLs those system DLLs import in turn, which the loader resolves by
 * their own rules (the known DLLs are always taken from the system folder);
 * and Windows before 10 1607 ignores them and searches as before, the
 * program's folder first, so there a DLL planted beside vantor.exe under the
 * name of an import that is not a known DLL is loaded at start-up. For DLLs
 * loaded later, main.cpp calls SetDefaultDllDirectories as its first act.
 *
 * The linker is meant to point the image's load-configuration directory at
 * the symbol `_load_config_used`. Debian 12's mingw-w64 linker (binutils
 * 2.40) does not, so tools/pe_load_config.py writes that entry after the
 * link (a POST_BUILD step in CMakeLists.txt) and the test command reads it
 * back. This file is linked into vantor.exe only. */
#include <windows.h>

#include <stddef.h>

/* mingw-w64's header still calls DependentLoadFlags "Reserved1". The
 * product is 32-bit; the 64-bit test build (never released) carries the same
 * flag in the 64-bit form of the structure, so its tests load DLLs the same
 * way. */
#ifdef _WIN64
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E,
               "DependentLoadFlags sits at offset 0x4E of the 64-bit load configuration");
typedef IMAGE_LOAD_CONFIG_DIRECTORY64 VantorLoadConfig;
#define VANTOR_LOAD_CONFIG_SIZE 0x60
#else
_Static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY32, Reserved1) == 0x36,
               "DependentLoadFlags sits at offset 0x36 of the 32-bit load configuration");
typedef IMAGE_LOAD_CONFIG_DIRECTORY32 VantorLoadConfig;
#define VANTOR_LOAD_CONFIG_SIZE 0x40
#endif

/* Size: the structure up to and including SecurityCookie (0x40 bytes in
 * 32-bit images, 0x60 in 64-bit ones), the form every Windows reads. In the
 * 32-bit image it ends before the SafeSEH table fields, so the image claims
 * no SafeSEH table (none is built; the exceptions of this program are not
 * frame-based SEH), and everything but the flag is left at zero: no security
 * cookie, the process heap and critical sections as by default. */
const VantorLoadConfig _load_config_used = {
    .Size = VANTOR_LOAD_CONFIG_SIZE,
    .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32, /* DependentLoadFlags */
};
