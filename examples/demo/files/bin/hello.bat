@echo off
rem Started by the setup's [run] section with one parameter.
echo Hello from the demo application (%1)> "%~dp0hello.log"
