' Surveys this machine through the Pelmora Control, as any automation client
' would: create the control by its ProgID and print every report.
'
'   cscript //nologo survey.vbs
'
' Each report is printed under a "== <method>" heading; reports that end their
' lines with a line feed are printed without the last one. AboutBox is left
' out: it waits for a click. The last line says that the survey is complete.
Option Explicit

Dim control
Set control = CreateObject("ORVANTA.OrvantaCtrl.1")

Sub Report(name, answer)
    Dim text
    text = CStr(answer)
    If Right(text, 1) = vbLf Then text = Left(text, Len(text) - 1)
    WScript.Echo "== " & name
    WScript.Echo text
End Sub

' Two methods have a second name. A client that looks names up through the
' type library (with a locale) finds GetSoundcardNameInfo and
' GetSamplingFrequency; one that looks them up with locale 0 gets the control's
' own table, which calls them GetSoundcardInfo and GetSamplingFrequencyInfo.
' Script engines differ in which they use, so both are tried.
Function SoundcardReport()
    On Error Resume Next
    SoundcardReport = control.GetSoundcardNameInfo()
    If Err.Number <> 0 Then
        Err.Clear
        SoundcardReport = control.GetSoundcardInfo()
    End If
End Function

Function SamplingFrequencyReport()
    On Error Resume Next
    SamplingFrequencyReport = control.GetSamplingFrequency()
    If Err.Number <> 0 Then
        Err.Clear
        SamplingFrequencyReport = control.GetSamplingFrequencyInfo()
    End If
End Function

Report "GetOSInfo", control.GetOSInfo()
Report "GetCPUInfo", control.GetCPUInfo()
Report "GetMemoryInfo", control.GetMemoryInfo()
Report "GetDriverInfo", control.GetDriverInfo()
Report "GetVRAMInfo", control.GetVRAMInfo()
Report "GetDirectXInfo", control.GetDirectXInfo()
Report "GetVideocardNameInfo", control.GetVideocardNameInfo()
Report "GetDriveInfo", control.GetDriveInfo()
Report "GetSoundcardNameInfo", SoundcardReport()
Report "GetDisplayModeList", control.GetDisplayModeList()
Report "GetMediaInfo", control.GetMediaInfo()
Report "GetNetInfo", control.GetNetInfo()
Report "GetModemInfo", control.GetModemInfo()
Report "GetCDROMInfo", control.GetCDROMInfo()
Report "GetNowDisplayMode", control.GetNowDisplayMode()
Report "GetCPUFrequency", control.GetCPUFrequency()
Report "GetCPUNameInfo", control.GetCPUNameInfo()
Report "IsInstall", control.IsInstall()
Report "GetSamplingFrequency", SamplingFrequencyReport()
Report "GetSystemDriveInfo", control.GetSystemDriveInfo()
Report "GetSystemModelInfo", control.GetSystemModelInfo()
Report "GetALLVRAMInfo", control.GetALLVRAMInfo()
Report "GetVRAMbyRegInfo", control.GetVRAMbyRegInfo()
Report "GetVideoDriverInfo", control.GetVideoDriverInfo()
Report "GetVertexShaderVersion", control.GetVertexShaderVersion()
Report "GetPixelShaderVersion", control.GetPixelShaderVersion()
Report "GetCPUCount", control.GetCPUCount()
Report "GetUnifiedShaderVersion", control.GetUnifiedShaderVersion()
Report "GetCPUPhysicalCount", control.GetCPUPhysicalCount()
Report "GetSecuritySoftInfo", control.GetSecuritySoftInfo()

WScript.Echo "== Survey complete"
