@rem The reference package's before stage: notes that it ran.
@echo before %1>>"%TEMP%\Kestro Anti-Virus scripts.txt"
