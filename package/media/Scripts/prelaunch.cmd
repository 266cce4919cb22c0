@rem The reference package's prelaunch stage: notes that it ran.
@echo prelaunch %1>>"%TEMP%\Kestro Anti-Virus scripts.txt"
