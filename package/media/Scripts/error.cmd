@rem The reference package's error stage: notes that it ran.
@echo error %1>>"%TEMP%\Kestro Anti-Virus scripts.txt"
