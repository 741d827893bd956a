#!/usr/bin/env python3
"""Writes the layouts of the settings, device test and beauty settings windows for both
skins from the templates beside this script.

    make-setting-layouts.py

Each @NAME@ of the templates (setting_frame.xml.in, push_stream_list_item.xml.in,
av_test_frame.xml.in, beauty_set_frame.xml.in) is replaced by the skin's
colour or folder below, into skin/xml/<skin>/. The layouts are committed; run this again after
a change of a template.
"""

import os
import re

SKINS = {
    "blue": {
        "SKIN": "blue", "BODY": "#FF1E2129", "CAPTION": "#FF252A33", "LINE": "#FF3A4150",
        "TITLE": "#FFFFFFFF", "TEXT": "#FFDCE0E8", "LABEL": "#FFACB2BF", "MUTED": "#FF8A93A5",
        "DISABLED": "#FF5C6577", "ACCENT": "#FF2F9AFF", "FIELD": "#FF2A303B",
        "HOTFIELD": "#FF3A4150", "SELTEXT": "#FFFFFFFF", "NAVSEL": "#FF1E2129", "TIP": "#FF2A303B",
        "OK": "#FF3FC27A",
    },
    "orange": {
        "SKIN": "orange", "BODY": "#FFFFFFFF", "CAPTION": "#FFF4F4F4", "LINE": "#FFD5D7DC",
        "TITLE": "#FF3E3F41", "TEXT": "#FF3E3F41", "LABEL": "#FF5E6068", "MUTED": "#FF9A9CA3",
        "DISABLED": "#FFB9BCC4", "ACCENT": "#FFF89B33", "FIELD": "#FFFFFFFF",
        "HOTFIELD": "#FFF4F4F4", "SELTEXT": "#FF3E3F41", "NAVSEL": "#FFFFFFFF", "TIP": "#FFFFF6EC",
        "OK": "#FF2EAA66",
    },
}
TEMPLATES = ["setting_frame.xml", "push_stream_list_item.xml", "av_test_frame.xml",
             "beauty_set_frame.xml"]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for template in TEMPLATES:
        with open(os.path.join(here, template + ".in"), encoding="utf-8") as f:
            text = f.read()
        for skin, values in SKINS.items():
            out = text
            for name, value in values.items():
                out = out.replace("@" + name + "@", value)
            if re.search(r"@[A-Z]+@", out):
                raise SystemExit("a name without a value in " + template)
            with open(os.path.join(here, "..", "xml", skin, template), "w", encoding="utf-8") as f:
                f.write(out)


if __name__ == "__main__":
    main()
