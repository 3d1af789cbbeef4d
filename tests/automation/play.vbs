' Plays a course of work through kelv.torb on kelv.Application and
' kelv.Form, as a host form's event procedures would.
'   cscript //nologo play.vbs STEPS RESULT
' STEPS is a UTF-16 file of tab-separated lines (names and texts come from
' it, never from this file); RESULT is written as UTF-16, one line per
' finding. Every failure is caught and written down: cscript itself would
' hide it.
Option Explicit
On Error Resume Next

Dim fso, steps, result, torb, EA, UF, line, f, k
Set fso = CreateObject("Scripting.FileSystemObject")
Set steps = fso.OpenTextFile(WScript.Arguments(0), 1, False, -1)
Set result = fso.CreateTextFile(WScript.Arguments(1), True, True)

Sub Report(what)
  result.WriteLine what
End Sub

Sub Check(what)
  If Err.Number <> 0 Then
    Report "error" & vbTab & what & vbTab & Err.Number & vbTab & Err.Source & vbTab & Err.Description
    Err.Clear
  End If
End Sub

Set torb = CreateObject("kelv.torb")
Check "CreateObject kelv.torb"
Set EA = CreateObject("kelv.Application")
Check "CreateObject kelv.Application"
Set UF = CreateObject("kelv.Form")
Check "CreateObject kelv.Form"

Dim dialogsSeen
dialogsSeen = 0

'' A text on one line of the result: line ends become |LF|.
Function OneLine(text)
  OneLine = Replace(Replace(text, vbCr, ""), vbLf, "|LF|")
End Function

' Dialogs since the last step: kind, title, text.
Sub Dialogs()
  Dim n, i
  n = EA.DialogCount
  For i = dialogsSeen + 1 To n
    Report "dialog" & vbTab & EA.DialogKind(i) & vbTab & EA.DialogTitle(i) & vbTab & OneLine(EA.DialogText(i))
  Next
  dialogsSeen = n
End Sub

Function Value(kind, text)
  Select Case kind
    Case "s": Value = text
    Case "n": Value = CDbl(text)
    Case "b": Value = (text = "true")
    Case "null": Value = Null
  End Select
End Function

' A click on a disabled command button fires nothing, as on a real form.
Function Disabled(flag)
  Disabled = False
  If Len(flag) <= 5 Or Right(flag, 5) <> "Click" Then Exit Function
  Dim enabled
  enabled = UF.Controls(Left(flag, Len(flag) - 5)).Enabled
  If Err.Number = 0 Then Disabled = Not enabled
  Err.Clear
End Function

Dim flag, c, i, found
Do While Not steps.AtEndOfStream
  line = steps.ReadLine
  f = Split(line, vbTab)
  Select Case f(0)
    Case "open"
      EA.Workbooks.Open f(1)
      Check "open"
    Case "seed"
      EA.RandomSeed = CLng(f(1))
      Check "seed"
    Case "seating"
      UF.SeatingControls = (f(1) = "true")
      Check "seating"
    Case "stored-seating"
      ' The form has the seating controls when the settings sheet stores a
      ' value for them.
      Dim dtb
      Set dtb = EA.ThisWorkbook.Worksheets(f(1))
      If Err.Number = 0 Then
        UF.SeatingControls = Not (IsEmpty(dtb.Cells(CLng(f(2)), CLng(f(3))).Value) And _
                                  IsEmpty(dtb.Cells(CLng(f(2)), CLng(f(4))).Value))
      Else
        Err.Clear
        UF.SeatingControls = False
      End If
      Check "stored-seating"
    Case "set"
      UF.Controls(f(1)).Value = Value(f(2), f(3))
      Check "set " & f(1)
    Case "select"
      Set c = UF.Controls(f(1))
      found = -1
      For i = 0 To c.ListCount - 1
        If c.List(i) = f(2) Then found = i
      Next
      If found < 0 Then Report "error" & vbTab & "select " & f(1) & vbTab & "no item"
      c.ListIndex = found
      Check "select " & f(1)
    Case "select-index"
      UF.Controls(f(1)).ListIndex = CLng(f(2))
      Check "select " & f(1)
    Case "page"
      UF.MultiPage1.Value = CLng(f(1))
      Check "page"
    Case "answer"
      EA.Answer f(1)
      Check "answer"
    Case "cancel"
      EA.Answer Null
      Check "answer"
    Case "click"
      flag = f(1)
      If Disabled(flag) Then
        Report "disabled" & vbTab & flag
      Else
        torb.MyFunClick EA, UF, flag
        Check "click " & flag
        Dialogs
      End If
    Case "change"
      flag = f(1)
      torb.MyFunSet EA, UF, flag
      If Err.Number <> 0 Then
        Dialogs
        Report "failure" & vbTab & flag & vbTab & Err.Number & vbTab & Err.Source & vbTab & OneLine(Err.Description)
        Err.Clear
      Else
        Dialogs
      End If
    Case "save-host"
      EA.ThisWorkbook.Save
      Check "save host"
    Case "save-data"
      For k = 1 To EA.Workbooks.Count
        If EA.Workbooks(k).Name <> EA.ThisWorkbook.Name Then
          EA.Workbooks(k).Save
          Check "save " & k
        End If
      Next
  End Select
Loop
Dialogs
EA.Quit
Report "done"
result.Close
