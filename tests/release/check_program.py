#!/usr/bin/python3
"""Checks a released QuendrixOmbrelo.exe without running it, as the 32-bit
one must be checked on machines that run no 32-bit code:

    check_program.py <QuendrixOmbrelo.exe> <x64|x86> <FFmpeg version> [<extracted converter>]

It must be a GUI program of its kind that imports only Windows' own DLLs
(no DLL of the compiler's runtime), with the version information, the
manifest and no debug sections; the converter inside it (resource 1, compressed
with zlib) must be
a console program of the same kind whose text names FFmpeg 5.1 and the
version built. Given a last path, the converter is also written there.
Prints a line for each check; the exit code is 0 when all held.
"""
import re
import sys
import zlib

import pefile

MACHINE = {"x64": 0x8664, "x86": 0x14C}
GUI, CONSOLE = 2, 3
RT_RCDATA, RT_VERSION, RT_MANIFEST = 10, 16, 24
# The DLLs of Windows itself that the program and the converter may import.
WINDOWS_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleacc.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "uxtheme.dll",
    "version.dll", "winmm.dll", "ws2_32.dll", "imm32.dll", "shcore.dll", "msimg32.dll", "dwmapi.dll",
}
RUNTIME_DLL = re.compile(r"^(libgcc|libstdc\+\+|libwinpthread|pthread|libssp|libatomic)", re.I)

failures = 0


def check(ok, what):
    global failures
    print(f"{'ok' if ok else 'FAILED'}: {what}")
    if not ok:
        failures += 1


def imports(pe):
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    return [entry.dll.decode().lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def resource(pe, kind, ident=None):
    """The data of the first resource of this type (and id), or None."""
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return None
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id != kind:
            continue
        for name in t.directory.entries:
            if ident is not None and name.id != ident:
                continue
            for lang in name.directory.entries:
                d = lang.data.struct
                return pe.get_data(d.OffsetToData, d.Size)
    return None


def check_kind(pe, kind, subsystem, what):
    check(pe.FILE_HEADER.Machine == MACHINE[kind], f"{what} is a {'64' if kind == 'x64' else '32'}-bit program")
    check(pe.OPTIONAL_HEADER.Subsystem == subsystem, f"{what} is a {'GUI' if subsystem == GUI else 'console'} program")
    dlls = imports(pe)
    runtime = [d for d in dlls if RUNTIME_DLL.match(d)]
    check(not runtime, f"{what} needs no runtime DLL beside it {runtime or ''}".rstrip())
    others = sorted(d for d in dlls if d not in WINDOWS_DLLS and not d.startswith("api-ms-win-"))
    check(not others, f"{what} imports only Windows' own DLLs {others or ''}".rstrip())


def main():
    exe, kind, version = sys.argv[1:4]
    pe = pefile.PE(exe, fast_load=True)
    check_kind(pe, kind, GUI, "the program")
    sections = [s.Name.rstrip(b"\0").decode(errors="replace") for s in pe.sections]
    debug = [s for s in sections if s.startswith(".debug") or s.startswith("/")]
    check(not debug, f"the program has no debug sections {debug or ''}".rstrip())
    check(pe.FILE_HEADER.PointerToSymbolTable == 0, "the program carries no symbol table")

    info = resource(pe, RT_VERSION)
    text = info.decode("utf-16-le", errors="replace") if info else ""
    check(bool(info) and "ProductName" in text and "Quendrix Ombrelo" in text and "1.0.0.0" in text,
          "the program has its version information")
    manifest = (resource(pe, RT_MANIFEST, 1) or b"").decode("utf-8", errors="replace")
    check("<assembly" in manifest and "Microsoft.Windows.Common-Controls" in manifest,
          "the program carries its manifest")

    packed = resource(pe, RT_RCDATA, 1)
    try:
        tool = zlib.decompress(packed) if packed else None
    except zlib.error:
        tool = None
    check(tool is not None and tool[:2] == b"MZ", "the program carries the converter (resource 1, zlib)")
    if not tool or tool[:2] != b"MZ":
        return 1
    check_kind(pefile.PE(data=tool, fast_load=True), kind, CONSOLE, "the converter")
    check(b"the FFmpeg developers" in tool and re.search(rb"\b7\.1\.\d", tool) is not None,
          "the converter's text names FFmpeg 7.1")
    check(version.encode() in tool, f"the converter is FFmpeg {version}")
    if len(sys.argv) > 4:
        with open(sys.argv[4], "wb") as f:
            f.write(tool)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
