@echo off
rem Drop one or more folders onto this file: shotrenum.exe beside it shows
rem what it would rename in each of them and changes nothing; then the window
rem waits for a key so that the plan can be read.
rem
rem Only ASCII here: cmd reads a batch file in the console's code page, which
rem differs between systems. The dropped paths arrive in %* as UTF-16 and go
rem on to shotrenum.exe as UTF-16, so names in any language stay intact.
rem Explorer puts each dropped path that holds a space in double quotes; %*
rem passes them on as they came. (A path holding "&" or "^" but no space
rem comes unquoted and is cut there by cmd itself.)
setlocal
"%~dp0shotrenum.exe" -n %*
set status=%errorlevel%
pause
exit /b %status%
