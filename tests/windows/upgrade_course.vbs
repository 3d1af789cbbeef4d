' A course of work on a workspace through kelv.torb, as a school's script
' runs it after an upgrade: start-up, the first data workbook, random exam
' numbers, assign, save every workbook. Writes "saved N" at the end.
'   cscript //nologo upgrade_course.vbs HOST-WORKBOOK
Option Explicit
Dim torb, EA, UF, i
Set torb = CreateObject("kelv.torb")
Set EA = CreateObject("kelv.Application")
Set UF = CreateObject("kelv.Form")
EA.Workbooks.Open WScript.Arguments(0)
EA.RandomSeed = 7
torb.MyFunClick EA, UF, "UserFormInitialize"
UF.Controls("LtbBiao").ListIndex = 0
torb.MyFunClick EA, UF, "LtbBiaoClick"
UF.Controls("OptSJKaoHao").Value = True
torb.MyFunClick EA, UF, "CmdDoKaoHaoClick"
For i = 1 To EA.Workbooks.Count
    EA.Workbooks(i).Save
Next
WScript.Echo "saved " & EA.Workbooks.Count & ", dialogs " & EA.DialogCount
EA.Quit
