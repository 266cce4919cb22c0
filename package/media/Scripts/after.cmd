@rem The reference package's after stage: notes that it ran.
@echo after %1>>"%TEMP%\Kestro Anti-Virus scripts.txt"
