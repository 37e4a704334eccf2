#!/usr/bin/env python3
"""Extensions > Export > Send to Velkar: the drawing is saved as SVG with its
text turned into outlines, into a private temporary folder, and Velkar is
started on it. The document itself is left as it was.

The SVG keeps Inkscape's layer names (plain SVG would drop them), since a layer
named "Knife 2" or "Pen 2" chooses the knife in Velkar."""

import os
import shlex
import shutil
import subprocess
import tempfile
import warnings

import inkex
from inkex.command import inkscape, is_inkscape_available


class SendToVelkar(inkex.EffectExtension):
    def add_arguments(self, pars):
        pars.add_argument("--command", default="velkar", help="program started on the drawing")

    def effect(self):
        # A folder only this user can read; Velkar reads the drawing after this
        # script has ended, so it stays (the runtime folder is emptied at logout).
        folder = tempfile.mkdtemp(prefix="velkar-send-", dir=os.environ.get("XDG_RUNTIME_DIR") or None)
        source = os.path.join(folder, "source.svg")
        drawing = os.path.join(folder, "drawing.svg")
        self.document.write(source)
        try:
            if not is_inkscape_available():
                raise OSError("inkscape not found")
            inkscape(source, export_text_to_path=True, export_filename=drawing)
        except Exception:  # without Inkscape's command line, text stays text and Velkar draws it from its fonts
            shutil.copyfile(source, drawing)
        os.remove(source)

        args = shlex.split(self.options.command) + [drawing]
        # Velkar outlives this script on purpose: no warning about it on Inkscape's error console.
        warnings.simplefilter("ignore", ResourceWarning)
        try:
            subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, start_new_session=True, close_fds=True)
        except OSError as error:
            raise inkex.AbortExtension("Could not start {}: {}".format(args[0] if args else "Velkar", error))


if __name__ == "__main__":
    SendToVelkar().run()
