#!/usr/bin/env python3
"""Writes survey records (orvanta-survey --json) of an imagined fleet, for the
merge's test and its benchmark: varied operating systems, DirectX versions,
memory, processors, video cards and antivirus, each valid against
docs/survey.schema.json.

    make_records.py OUT_DIR COUNT [--troubles]

--troubles adds, beside the COUNT records: a file that is not JSON, a record
of an unknown newer schema, an older and a newer record of PC-0001 (the newer
failing one method), and a record written as UTF-16 with a byte order mark,
as PowerShell's ">" writes it, whose device names look like a formula and
like markup.
"""
import json
import random
import sys

OSES = ["Microsoft Windows XP Professional Service Pack 3 (Build:2600)",
        "Microsoft Windows 7 Professional 64Bit Service Pack 1 (Build:7601)",
        "Microsoft Windows 10 Pro 64Bit (Build:19045)",
        "Microsoft Windows 11 Pro 64Bit (Build:22631)"]
CARDS = [("NVIDIA GeForce GTX 470", "nvd3dum.dll(8.17.12.9573)", 1280.0),
         ("AMD Radeon RX 580", "aticfx32.dll(31.0.12027.9001)", 8192.0),
         ("Intel(R) UHD Graphics 620", "igdumdim32.dll(26.20.100.7158)", 128.0),
         ("Matrox Millennium G550", "g550d.dll(5.99.1.0)", 32.0)]
DIRECTX = ["9.0c", "9.0c", "8.1b", "0.0"]


def answers(rng, index):
    """The method answers of one machine, in interface order."""
    card, driver, vram = rng.choice(CARDS)
    memory = rng.choice([512, 1024, 2048, 4096, 8192, 16384, 65536])
    logical = rng.choice([1, 2, 4, 8, 16])
    antivirus = rng.choice(["", "Windows Defender(4.18.2)", "Contoso Shield(12.1)"])
    directx = rng.choice(DIRECTX)
    shader = "3.0(DirectX9)" if directx == "9.0c" else "DirectX8 or subsequent ones is not installed"
    unified = ("4.1(DirectX10.1/HAL_10_1)\n4.1(DirectX10.1/HAL_10_0)\n" if directx == "9.0c" and vram >= 1024
               else "DirectX10 or subsequent ones is not installed")
    return {
        "GetOSInfo": rng.choice(OSES), "GetCPUInfo": "GenuineIntel\n", "GetMemoryInfo": f"{memory} MB\n",
        "GetDriverInfo": f"{card}\n", "GetVRAMInfo": f"{vram:.1f} MB\n", "GetDirectXInfo": directx + "\n",
        "GetVideocardNameInfo": card + "\n",
        "GetDriveInfo": "C:\\[Fixed][Free:11.77GB][Total:76.31GB]\nD:\\[CD-ROM]\n",
        "GetSoundcardNameInfo": "Speakers (Realtek High Definition Audio)\n",
        "GetDisplayModeList": "1024 * 768  32bit\n1920 * 1080  32bit\n",
        "GetMediaInfo": "", "GetNetInfo": "Intel(R) Ethernet Connection\n", "GetModemInfo": "",
        "GetCDROMInfo": "", "GetNowDisplayMode": "1920 * 1080  32bit (60Hz)\n", "GetCPUFrequency": "2400 MHz\n",
        "GetCPUNameInfo": f"Intel(R) Core(TM) i5-{index % 9000 + 1000} Family 6 Model 158 Stepping 10",
        "IsInstall": 1, "GetSamplingFrequency": "Support 16bit\nMinSampleRate 100\nMaxSampleRate 200000\n",
        "GetSystemDriveInfo": "SystemDrive:[Free:11.77GB][Total:76.31GB]", "GetSystemModelInfo": "",
        "GetALLVRAMInfo": f"{vram:.1f} MB\n", "GetVRAMbyRegInfo": "Unknown", "GetVideoDriverInfo": driver,
        "GetVertexShaderVersion": shader, "GetPixelShaderVersion": shader, "GetCPUCount": str(logical),
        "GetUnifiedShaderVersion": unified, "GetCPUPhysicalCount": str(max(1, logical // 2)),
        "GetSecuritySoftInfo": antivirus,
    }, memory, logical, card, vram, directx, antivirus


def record(rng, index, collected="2026-05-04T09:30:00Z", computer=None):
    survey, memory, logical, card, vram, directx, antivirus = answers(rng, index)
    survey.update({
        "schema": 1, "computer": computer or f"PC-{index:04d}", "collected": collected,
        "tool": {"version": "4.1.1", "bits": 64},
        "control": {"version": "4.1.1.0", "path": "C:\\Program Files\\Pelmora\\ORVANTA.OCX"},
        "elapsedMs": 3000 + index % 1000,
        "facts": {
            "os": survey["GetOSInfo"],
            "processor": {"name": survey["GetCPUNameInfo"].split(" Family")[0], "family": 6, "model": 158,
                          "stepping": 10, "logical": logical, "physical": max(1, logical // 2), "mhz": 2400},
            "memoryMB": memory,
            "drives": [{"letter": "C", "kind": "Fixed", "freeBytes": 12341739520, "totalBytes": 80016834560},
                       {"letter": "D", "kind": "CD-ROM", "freeBytes": None, "totalBytes": None}],
            "display": {"current": {"width": 1920, "height": 1080, "bits": 32, "hz": 60},
                        "modes": [{"width": 1024, "height": 768, "bits": 32}, {"width": 1920, "height": 1080, "bits": 32}]},
            "directX": None if directx == "0.0" else directx,
            "shaders": {"vertex": {"level": "3.0", "runtime": "DirectX9"} if directx == "9.0c" else None,
                        "pixel": {"level": "3.0", "runtime": "DirectX9"} if directx == "9.0c" else None,
                        "unified": [{"level": "4.1", "runtime": "DirectX10.1", "driverType": "HAL", "featureLevel": level}
                                    for level in ("10_1", "10_0")] if "HAL" in survey["GetUnifiedShaderVersion"] else []},
            "videoMemoryMB": {"local": vram, "all": vram, "registry": None},
            "videoCards": [card],
            "videoDriver": {"file": survey["GetVideoDriverInfo"].split("(")[0],
                            "version": survey["GetVideoDriverInfo"].split("(")[1][:-1]},
            "sound": {"devices": ["Speakers (Realtek High Definition Audio)"], "support16bit": True,
                      "minSampleRate": 100, "maxSampleRate": 200000, "support24bit": False},
            "devices": {"drivers": [card], "media": [], "net": ["Intel(R) Ethernet Connection"], "modems": [], "cdrom": []},
            "system": {"systemModel": None, "product": None},
            "antivirus": antivirus or None,
        },
    })
    return survey


def main():
    out, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(4711)
    for index in range(1, count + 1):
        with open(f"{out}/PC-{index:04d}.json", "w", encoding="utf-8") as file:
            json.dump(record(rng, index), file, indent=2)
    if "--troubles" in sys.argv:
        open(f"{out}/broken.json", "w").write("{ this is not a survey")
        with open(f"{out}/newer-schema.json", "w") as file:
            json.dump(dict(record(rng, 9001, computer="PC-FUTURE"), schema=2), file)
        older = record(rng, 1, collected="2026-05-01T08:00:00Z")
        newer = record(rng, 1, collected="2026-05-05T08:00:00Z")
        newer["GetMemoryInfo"] = None
        newer["facts"]["memoryMB"] = None
        newer["errors"] = {"GetMemoryInfo": {"hresult": "0x80020009", "exception": "0x8007000E", "message": "out of memory"}}
        for name, survey in (("a-older.json", older), ("z-newer.json", newer)):
            with open(f"{out}/{name}", "w") as file:
                json.dump(survey, file)
        # Device names that a spreadsheet or a browser would run.
        hostile = record(rng, 9002, computer="PC-UTF16")
        hostile["facts"]["devices"]["net"] = ["=HYPERLINK(\"x\")"]
        hostile["facts"]["videoCards"] = ["<b>Bold</b> card"]
        with open(f"{out}/PC-UTF16.json", "w", encoding="utf-16") as file:
            json.dump(hostile, file, ensure_ascii=False)


if __name__ == "__main__":
    main()
