#!/usr/bin/python3
"""Turns the user guide (Markdown) into one HTML file that carries its pictures inside, so that
it reads offline in any browser wherever it is copied. usage: guide_html.py GUIDE.md OUT.html"""
import base64
import html
import mimetypes
import os
import re
import sys

import markdown

STYLE = """
body { font-family: "Segoe UI", Arial, sans-serif; max-width: 52em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; color: #202020; }
h1, h2 { border-bottom: 1px solid #d0d0d0; padding-bottom: .2em; }
code, pre { font-family: Consolas, "Courier New", monospace; background: #f3f3f3; }
pre { padding: .6em; overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border: 1px solid #c8c8c8; padding: .3em .6em; vertical-align: top; text-align: left; }
img { max-width: 100%; border: 1px solid #c8c8c8; }
"""


def inline_images(body, base):
    """Replaces every local picture's src with a data: URI of its bytes."""

    def replace(match):
        src = html.unescape(match.group(2))
        if re.match(r"^[a-z]+:", src):
            return match.group(0)
        path = os.path.join(base, src)
        kind = mimetypes.guess_type(path)[0]
        if not kind or not kind.startswith("image/"):
            raise SystemExit("guide_html: %s is not a picture" % src)
        with open(path, "rb") as f:
            data = base64.b64encode(f.read()).decode("ascii")
        return '%s"data:%s;base64,%s"' % (match.group(1), kind, data)

    return re.sub(r'(<img\b[^>]*?\bsrc=)"([^"]*)"', replace, body)


def convert(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    first = re.search(r"^#\s+(.+)$", text, re.M)
    title = first.group(1).strip() if first else "User guide"
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "sane_lists"],
                             output_format="html")
    body = inline_images(body, os.path.dirname(os.path.abspath(source)))
    page = ('<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            "<title>%s</title>\n<style>%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
            % (html.escape(title), STYLE, body))
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(page)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    convert(sys.argv[1], sys.argv[2])
