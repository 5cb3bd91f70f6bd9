#!/usr/bin/env python3
"""Checks a built ORVANTA.OCX as a file: its format, exports, imports and
resources. Run with Debian's python3, which has python3-pefile.

    check_module.py --arch x86|x64 path/to/ORVANTA.OCX
"""
import argparse
import struct
import sys

import pefile

from check_xp_imports import xp_import_failures

EXPORTS = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"}
SYSTEM_DLLS = {
    "advapi32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll", "oleaut32.dll",
    "shlwapi.dll", "user32.dll", "version.dll", "ddraw.dll", "dsound.dll", "d3d8.dll", "d3d9.dll",
}
JAPANESE = 0x0411
ENGLISH_US = 0x0409
RT_TYPELIB = "TYPELIB"

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def utf16(text):
    return text.encode("utf-16-le")


def resources(pe):
    """(type, id, language) -> data for every resource of the module."""
    found = {}
    for type_entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        type_key = str(type_entry.name) if type_entry.name is not None else type_entry.id
        for id_entry in type_entry.directory.entries:
            id_key = str(id_entry.name) if id_entry.name is not None else id_entry.id
            for lang_entry in id_entry.directory.entries:
                data = lang_entry.data.struct
                found[(type_key, id_key, lang_entry.id)] = pe.get_data(data.OffsetToData, data.Size)
    return found


def read_sz_or_ord(data, offset):
    (first,) = struct.unpack_from("<H", data, offset)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, offset + 2)[0], offset + 4
    end = offset
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[offset:end].decode("utf-16-le"), end + 2


def parse_dialog(data):
    """A DLGTEMPLATEEX: its frame, font and items."""
    version, signature, _help, _ex_style, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    check(version == 1 and signature == 0xFFFF, "dialogs are extended templates")
    offset = 26
    _menu, offset = read_sz_or_ord(data, offset)
    _class, offset = read_sz_or_ord(data, offset)
    caption, offset = read_sz_or_ord(data, offset)
    point_size, _weight, _italic, _charset = struct.unpack_from("<HHBB", data, offset)
    face, offset = read_sz_or_ord(data, offset + 6)
    items = []
    for _ in range(count):
        offset = (offset + 3) & ~3
        _help, _ex_style, item_style, ix, iy, icx, icy, item_id = struct.unpack_from("<IIIhhhhI", data, offset)
        offset += 24
        item_class, offset = read_sz_or_ord(data, offset)
        title, offset = read_sz_or_ord(data, offset)
        (extra,) = struct.unpack_from("<H", data, offset)
        offset += 2 + extra
        items.append({"class": item_class, "title": title, "rect": (ix, iy, icx, icy),
                      "id": item_id if item_id < 0x80000000 else item_id - 0x100000000, "style": item_style})
    return {"style": style, "rect": (x, y, cx, cy), "caption": caption, "font": (point_size, face), "items": items}


def check_dialogs(found):
    about = found.get((5, 1, JAPANESE))
    if check(about is not None, "dialog 1 (About box) in Japanese"):
        dialog = parse_dialog(about)
        check(dialog["rect"] == (34, 22, 260, 55), f"About box at (34, 22), 260 by 55: {dialog['rect']}")
        check(dialog["caption"] == "About Pelmora Control", f"About box caption: {dialog['caption']!r}")
        check(dialog["font"] == (9, "ＭＳ Ｐゴシック"), f"About box font: {dialog['font']}")
        WS_CAPTION, WS_SYSMENU, DS_MODALFRAME = 0x00C00000, 0x00080000, 0x80
        check(dialog["style"] & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME) == (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              "About box has caption, system menu and modal frame")
        items = dialog["items"]
        check(len(items) == 3, f"About box holds two texts and OK: {items}")
        buttons = [item for item in items if item["class"] == 0x80]
        texts = [item for item in items if item["class"] == 0x82]
        check(len(buttons) == 1 and buttons[0]["title"] == "OK" and buttons[0]["id"] == 1
              and buttons[0]["rect"] == (221, 7, 32, 14) and buttons[0]["style"] & 0xF == 1,
              f"About box default button OK at (221, 7), 32 by 14: {buttons}")
        check(any(text["rect"] == (40, 25, 170, 8) for text in texts), "About box second text at (40, 25), 170 by 8")
    page = found.get((5, 200, JAPANESE))
    if check(page is not None, "dialog 200 (property page) in Japanese"):
        dialog = parse_dialog(page)
        WS_CHILD, WS_BORDER, WS_CAPTION = 0x40000000, 0x00800000, 0x00C00000
        check(dialog["style"] & WS_CHILD and not dialog["style"] & (WS_BORDER | WS_CAPTION), "page is a frameless child")
        check(dialog["rect"][2:] == (250, 62), f"page is 250 by 62: {dialog['rect']}")
        check(dialog["font"] == (9, "ＭＳ Ｐゴシック"), f"page font: {dialog['font']}")
        check([(item["class"], item["title"], item["rect"]) for item in dialog["items"]] ==
              [(0x82, "TODO: Orvanta Control のﾌﾟﾛﾊﾟﾃｨを処理するｺﾝﾄﾛｰﾙを配置", (7, 25, 229, 16))],
              f"page holds its one text: {dialog['items']}")


def check_strings(found):
    expected = {1: "Pelmora Control", 2: "Pelmora Property Page", 200: "General"}
    strings = {}
    for (type_key, block, language), data in found.items():
        if type_key != 6:
            continue
        check(language == JAPANESE, f"string block {block} is Japanese")
        offset = 0
        for index in range(16):
            (length,) = struct.unpack_from("<H", data, offset)
            offset += 2
            if length:
                strings[(block - 1) * 16 + index] = data[offset:offset + 2 * length].decode("utf-16-le")
            offset += 2 * length
    check(strings == expected, f"string table: {strings}")


def check_bitmap(found):
    bitmap = found.get((2, 1, JAPANESE))
    if check(bitmap is not None, "bitmap 1 in Japanese"):
        _size, width, height, _planes, bits = struct.unpack_from("<IiiHH", bitmap, 0)
        check((width, height, bits) == (16, 15, 4), f"toolbox bitmap is 16 by 15 at 4 bits: {(width, height, bits)}")


def check_manifest(found):
    manifest = found.get((24, 2, ENGLISH_US))
    if check(manifest is not None, "manifest 2 in English (United States)"):
        text = manifest.decode("utf-8")
        check('manifestVersion="1.0"' in text, "manifest version 1.0")
        check('level="asInvoker"' in text and 'uiAccess="false"' in text, "manifest asks asInvoker without uiAccess")
        check("dependency" not in text, "manifest names no dependency")


def check_version(pe, found):
    check((16, 1, JAPANESE) in found, "version information in Japanese")
    fixed = pe.VS_FIXEDFILEINFO[0]
    check((fixed.FileVersionMS, fixed.FileVersionLS) == (0x00040001, 0x00010000), "file version 4.1.1.0")
    check((fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x00040001, 0x00010000), "product version 4.1.1.0")
    check(fixed.FileFlagsMask == 0x3F and fixed.FileFlags == 0, "file flags mask 0x3F, flags 0")
    check(fixed.FileOS == 0x4 and fixed.FileType == 0x2, "VOS__WINDOWS32 and VFT_DLL")
    tables = {}
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID] = {k.decode(): v.decode() for k, v in table.entries.items()}
        if info.Key == b"VarFileInfo":
            translations = [var.entry.get(b"Translation") for var in info.Var]
            check(translations == ["0x0411 0x04b0"], f"translation 0x0411, 0x04B0: {translations}")
    strings = tables.get(b"041104b0", {})
    expected = {
        "FileDescription": "Pelmora ActiveX Control Module",
        "FileVersion": "4, 1, 1, 0",
        "InternalName": "Pelmora",
        "OriginalFilename": "Pelmora.OCX",
        "ProductName": "Pelmora ActiveX Control Module",
        "ProductVersion": "4, 1, 1, 0",
    }
    check(list(tables) == [b"041104b0"], f"one string block, 041104b0: {list(tables)}")
    check({k: strings.get(k) for k in expected} == expected, f"version strings: {strings}")
    check(set(strings) == set(expected) | {"CompanyName", "LegalCopyright"}, f"version keys: {sorted(strings)}")


def check_type_library(found, arch):
    library = found.get((RT_TYPELIB, 1, JAPANESE))
    if not check(library is not None, "TYPELIB 1 in Japanese"):
        return
    magic, _version, _posguid, lcid, _lcid2, varflags, major_minor, flags = struct.unpack_from("<4sIiIIIII", library, 0)
    check(magic == b"MSFT", "type library in the compiler's binary format")
    check(lcid == 0x0409, f"type library locale 0x0409: {lcid:#x}")
    check(varflags & 0xF == (1 if arch == "x86" else 3), f"type library system kind for {arch}: {varflags & 0xF}")
    check(major_minor == 1, f"type library version 1.0: {major_minor:#x}")
    check(flags == 0x2, f"type library flags LIBFLAG_FCONTROL: {flags:#x}")
    for help_string in ("Orvanta ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ", "Orvanta Control 用ﾃﾞｨｽﾊﾟｯﾁ ｲﾝﾀｰﾌｪｲｽ"):
        check(help_string.encode("cp932") in library, f"help string {help_string!r} in code page 932")
    for text in (b"Event interface for Orvanta Control", b"Orvanta.hlp", b"ORVANTALib", b"_DOrvanta",
                 b"_DOrvantaEvents", b"GetSoundcardNameInfo", b"GetSamplingFrequency"):
        check(text in library, f"type library holds {text.decode()}")
    check(b"GetSoundcardInfo" not in library and b"OrvantaPropPage" not in library,
          "type library holds neither the table's own names nor the page")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--arch", choices=("x86", "x64"), required=True)
    parser.add_argument("module")
    args = parser.parse_args()

    pe = pefile.PE(args.module)
    machine = {"x86": 0x14C, "x64": 0x8664}[args.arch]
    check(pe.FILE_HEADER.Machine == machine, f"machine {machine:#x}: {pe.FILE_HEADER.Machine:#x}")
    check(pe.FILE_HEADER.Characteristics & 0x2000, "the file is a DLL")

    exports = pe.DIRECTORY_ENTRY_EXPORT
    check(pe.get_string_at_rva(exports.struct.Name) == b"ORVANTA.OCX", "export directory names ORVANTA.OCX")
    names = {symbol.name.decode() for symbol in exports.symbols if symbol.name}
    check(names == EXPORTS and len(exports.symbols) == 4, f"exports exactly the four entry points: {sorted(names)}")

    imported = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    check(imported <= SYSTEM_DLLS, f"imports only system DLLs: {sorted(imported - SYSTEM_DLLS)}")

    if args.arch == "x86":
        failures.extend(xp_import_failures(pe))

    found = resources(pe)
    expected_keys = {(6, 1, JAPANESE), (6, 13, JAPANESE), (2, 1, JAPANESE), (5, 1, JAPANESE), (5, 200, JAPANESE),
                     (RT_TYPELIB, 1, JAPANESE), (16, 1, JAPANESE), (24, 2, ENGLISH_US)}
    check(set(found) == expected_keys, f"resources: {sorted(map(str, found))}")
    check_strings(found)
    check_bitmap(found)
    check_dialogs(found)
    check_manifest(found)
    check_version(pe, found)
    check_type_library(found, args.arch)

    for failure in failures:
        print(f"FAIL: {failure}")
    print(f"{args.module}: {'ok' if not failures else f'{len(failures)} check(s) failed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
