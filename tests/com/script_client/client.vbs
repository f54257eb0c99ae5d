' The module as a script sees it: both classes made by name, the control's own members called
' late-bound, with the conversions and errors a script gets. Run by Wine's script host; what it
' prints is compared with client.expected.
Option Explicit
On Error Resume Next

Dim display, page, value, section, key, fallback

' Prints a value with its type, or the error that kept it from being had.
Sub Report(expression, value)
  If Err.Number <> 0 Then
    WScript.Echo expression & " -> error " & Err.Number & " " & Err.Description
  ElseIf IsArray(value) Then
    WScript.Echo expression & " -> array, VarType " & VarType(value)
  Else
    WScript.Echo expression & " -> " & TypeName(value) & " " & Replace(value, vbCrLf, "<CR LF>")
  End If
  Err.Clear
End Sub

Sub Failed(statement)
  If Err.Number <> 0 Then WScript.Echo statement & " -> error " & Err.Number & " " & Err.Description
  Err.Clear
End Sub

Set display = CreateObject("Quorvane_ARM_7seg4.led7seg4")
Set page = CreateObject("Quorvane_ARM_7seg4.ppg7seg4")
Err.Clear : value = Empty : value = TypeName(display) : Report "TypeName(display)", value
Err.Clear : value = Empty : value = TypeName(page) : Report "TypeName(page)", value
' Made without a container: the first properties were never given.
Err.Clear : value = Empty : value = display.LEDSize : Report "display.LEDSize", value
Err.Clear : value = Empty : value = display.LEDColour : Report "display.LEDColour", value
Err.Clear : value = Empty : value = display.iVersionMajor : Report "display.iVersionMajor", value
Err.Clear : display.LEDSize = "40" : Failed "display.LEDSize = ""40"""
Err.Clear : value = Empty : value = display.LEDSize : Report "display.LEDSize", value
Err.Clear : display.LEDSize = 99 : Failed "display.LEDSize = 99"
Err.Clear : value = Empty : value = display.LEDSize : Report "display.LEDSize", value
Err.Clear : display.LEDSize = 85.5 : Failed "display.LEDSize = 85.5"
Err.Clear : value = Empty : value = display.LEDSize : Report "display.LEDSize", value
Err.Clear : display.LEDColour = 2.5 : Failed "display.LEDColour = 2.5"
Err.Clear : value = Empty : value = display.LEDColour : Report "display.LEDColour", value
Err.Clear : display.LEDColour = 3.5 : Failed "display.LEDColour = 3.5"
Err.Clear : value = Empty : value = display.LEDColour : Report "display.LEDColour", value
Err.Clear : display.LEDColour = 2147483648 : Failed "display.LEDColour = 2147483648"
Err.Clear : value = Empty : value = display.LEDColour : Report "display.LEDColour", value
Err.Clear : display.LEDColour = "red" : Failed "display.LEDColour = ""red"""
Err.Clear : value = Empty : value = display.LEDColour : Report "display.LEDColour", value
Err.Clear : display.CommonAnode = True : Failed "display.CommonAnode = True"
Err.Clear : value = Empty : value = display.CommonAnode : Report "display.CommonAnode", value
Err.Clear : display.iVersionMajor = 40000 : Failed "display.iVersionMajor = 40000"
Err.Clear : value = Empty : value = display.iVersionMajor : Report "display.iVersionMajor", value
Err.Clear : display.iVersionMinor = -7 : Failed "display.iVersionMinor = -7"
Err.Clear : value = Empty : value = display.iVersionMinor : Report "display.iVersionMinor", value
Err.Clear : display.NoSuchMember = 1 : Failed "display.NoSuchMember = 1"
Err.Clear : value = Empty : value = display.LEDSize : Report "display.LEDSize", value
' Strings the control takes by reference: a literal or a value in parentheses is copied in; a
' script variable passes a reference to a Variant, which a string parameter does not take.
section = "MacroNames" : key = "Count" : fallback = "none"
Err.Clear : value = Empty : value = display.GetIniKeyValue("MacroNames", "Count", "none") : Report "display.GetIniKeyValue(""MacroNames"", ""Count"", ""none"")", value
Err.Clear : value = Empty : value = display.GetIniKeyValue("MacroNames", "Nothing", "none") : Report "display.GetIniKeyValue(""MacroNames"", ""Nothing"", ""none"")", value
Err.Clear : value = Empty : value = display.GetIniKeyValue((section), (key), (fallback)) : Report "display.GetIniKeyValue((section), (key), (fallback))", value
Err.Clear : value = Empty : value = display.GetIniKeyValue(section, key, fallback) : Report "display.GetIniKeyValue(section, key, fallback)", value
Err.Clear : value = Empty : value = Left(display.GetCodeFromFile("Macro_SHOW_DIGIT"), 16) : Report "Left(display.GetCodeFromFile(""Macro_SHOW_DIGIT""), 16)", value
Err.Clear : value = Empty : value = display.GetCodeFromFile("NoSuchBlock") : Report "display.GetCodeFromFile(""NoSuchBlock"")", value
Err.Clear : value = Empty : value = display.IQuorvaneComponentV4_VNodeCount : Report "display.IQuorvaneComponentV4_VNodeCount", value
Err.Clear : value = Empty : value = display.IQuorvaneComponentV4_VNodeName(0) : Report "display.IQuorvaneComponentV4_VNodeName(0)", value
Err.Clear : value = Empty : value = display.IQuorvaneComponentV4_VNodeMsgRead(0, 4) : Report "display.IQuorvaneComponentV4_VNodeMsgRead(0, 4)", value
Err.Clear : display.IQuorvaneComponentV4_VNodeMsgWrite(0, 1) = 5 : Failed "display.IQuorvaneComponentV4_VNodeMsgWrite(0, 1) = 5"
Err.Clear : value = Empty : value = display.IQuorvaneComponentV4_VNodeCount : Report "display.IQuorvaneComponentV4_VNodeCount", value
