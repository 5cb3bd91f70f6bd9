// Surveys this machine through the Pelmora Control, as any automation client
// would: create the control by its ProgID and print every report.
//
//   cscript //nologo survey.js
//
// Each report is printed under a "== <method>" heading; reports that end their
// lines with a line feed are printed without the last one. AboutBox is left
// out: it waits for a click. The last line says that the survey is complete.

var control = new ActiveXObject("ORVANTA.OrvantaCtrl.1");

function report(name, answer) {
    var text = String(answer);
    if (text.charAt(text.length - 1) == "\n") text = text.substring(0, text.length - 1);
    WScript.Echo("== " + name);
    WScript.Echo(text);
}

// Two methods have a second name. A client that looks names up through the
// type library (with a locale) finds GetSoundcardNameInfo and
// GetSamplingFrequency; one that looks them up with locale 0 gets the control's
// own table, which calls them GetSoundcardInfo and GetSamplingFrequencyInfo.
// Script engines differ in which they use, so both are tried.
function soundcardReport() {
    try {
        return control.GetSoundcardNameInfo();
    } catch (e) {
        return control.GetSoundcardInfo();
    }
}

function samplingFrequencyReport() {
    try {
        return control.GetSamplingFrequency();
    } catch (e) {
        return control.GetSamplingFrequencyInfo();
    }
}

report("GetOSInfo", control.GetOSInfo());
report("GetCPUInfo", control.GetCPUInfo());
report("GetMemoryInfo", control.GetMemoryInfo());
report("GetDriverInfo", control.GetDriverInfo());
report("GetVRAMInfo", control.GetVRAMInfo());
report("GetDirectXInfo", control.GetDirectXInfo());
report("GetVideocardNameInfo", control.GetVideocardNameInfo());
report("GetDriveInfo", control.GetDriveInfo());
report("GetSoundcardNameInfo", soundcardReport());
report("GetDisplayModeList", control.GetDisplayModeList());
report("GetMediaInfo", control.GetMediaInfo());
report("GetNetInfo", control.GetNetInfo());
report("GetModemInfo", control.GetModemInfo());
report("GetCDROMInfo", control.GetCDROMInfo());
report("GetNowDisplayMode", control.GetNowDisplayMode());
report("GetCPUFrequency", control.GetCPUFrequency());
report("GetCPUNameInfo", control.GetCPUNameInfo());
report("IsInstall", control.IsInstall());
report("GetSamplingFrequency", samplingFrequencyReport());
report("GetSystemDriveInfo", control.GetSystemDriveInfo());
report("GetSystemModelInfo", control.GetSystemModelInfo());
report("GetALLVRAMInfo", control.GetALLVRAMInfo());
report("GetVRAMbyRegInfo", control.GetVRAMbyRegInfo());
report("GetVideoDriverInfo", control.GetVideoDriverInfo());
report("GetVertexShaderVersion", control.GetVertexShaderVersion());
report("GetPixelShaderVersion", control.GetPixelShaderVersion());
report("GetCPUCount", control.GetCPUCount());
report("GetUnifiedShaderVersion", control.GetUnifiedShaderVersion());
report("GetCPUPhysicalCount", control.GetCPUPhysicalCount());
report("GetSecuritySoftInfo", control.GetSecuritySoftInfo());

WScript.Echo("== Survey complete");
