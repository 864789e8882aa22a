"""The DLLs pellora loads on first use stay out of its import table: under Wine each brings
a chain of Unix libraries (the print spooler's CUPS and Kerberos, GnuTLS) into every
session, whether or not it ever opens a file dialog or the browser frame."""
import os
import subprocess
import unittest

LOADED_ON_FIRST_USE = {"comdlg32.dll", "ole32.dll", "oleaut32.dll", "bcrypt.dll", "winspool.drv"}


class ImportTable(unittest.TestCase):
    def test_dlls_loaded_on_first_use_are_not_imported_at_start(self):
        dump = subprocess.run([os.environ["OBJDUMP"], "-p", os.environ["PELLORA_EXE"]], check=True,
                              capture_output=True, text=True).stdout
        imported = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
                    if line.strip().startswith("DLL Name:")}
        self.assertIn("user32.dll", imported)  # the table was read at all
        self.assertEqual(imported & LOADED_ON_FIRST_USE, set())


if __name__ == "__main__":
    unittest.main()
