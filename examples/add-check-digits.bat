@echo off
rem talvo の見本: sample.csv の1列目の JAN コード (M10W3) にチェックデジットを付け、
rem 最後の列に追加した sample.out.csv を、このファイルと同じフォルダーに作ります。
rem talvo.exe は、このフォルダーの一つ上のフォルダーにあるものを使います。
setlocal
set "HERE=%~dp0"

rem 出力ファイルはフォルダーまで書きます (%~dp0 はこのファイルのフォルダー)。
rem < nul: ファイルを開けなかったときの Enter 待ちで止まらないようにします。
"%HERE%..\talvo.exe" "%HERE%sample.csv" "%HERE%sample.out.csv" 1 1 1 6 < nul
if errorlevel 1 goto failed

echo 完了しました: %HERE%sample.out.csv
exit /b 0

:failed
echo talvo が失敗しました。終了コード %errorlevel%
exit /b 1
