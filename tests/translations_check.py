#!/usr/bin/python3
# Every text a person reads is translated. Usage: translations_check.py SOURCE_DIR
#  - lupdate, run over the sources into a copy of translations/, changes nothing: no text is new
#    or gone since the translators' last pass;
#  - no translation is unfinished or empty, and each keeps its text's placeholders and line breaks;
#  - a text with a mnemonic keeps one in each language, and the letters differ within a context
#    (a file: its menu titles, a dialog's buttons);
#  - no QML property that is shown or read out is given a literal outside qsTr, unless its line
#    says it is a name or a sign, the same in every language.
import pathlib, re, shutil, subprocess, sys, tempfile
import xml.etree.ElementTree as ET

source = pathlib.Path(sys.argv[1])
failures = []

with tempfile.TemporaryDirectory() as copy:
    for ts in (source / "translations").glob("umbrata_*.ts"):
        shutil.copy(ts, copy)
    subprocess.run([source / "scripts/update-translations", copy], check=True, stdout=subprocess.DEVNULL)
    for ts in sorted((source / "translations").glob("umbrata_*.ts")):
        if (pathlib.Path(copy) / ts.name).read_text() != ts.read_text():
            failures.append(f"{ts.name}: out of date with the sources: run scripts/update-translations")

for ts in sorted((source / "translations").glob("umbrata_*.ts")):
    for context in ET.parse(ts).iter("context"):
        letters = {}
        for message in context.iter("message"):
            text = message.find("source").text
            translation = message.find("translation")
            forms = [f.text or "" for f in translation.iter("numerusform")] or [translation.text or ""]
            where = f"{ts.name} {context.find('name').text} {text!r}"
            if translation.get("type") or not all(forms):
                failures.append(f"{where}: not translated")
            for form in forms:
                if sorted(re.findall(r"%\w", form)) != sorted(re.findall(r"%\w", text)) or form.count("\n") != text.count("\n"):
                    failures.append(f"{where}: {form!r} changes its placeholders or line breaks")
                if re.search(r"&\w", text):
                    marked = re.findall(r"&(\w)", form)
                    if len(marked) != 1:
                        failures.append(f"{where}: {form!r} has no single mnemonic")
                    elif letters.setdefault(marked[0].lower(), text) != text:
                        failures.append(f"{where}: {form!r} shares its mnemonic with {letters[marked[0].lower()]!r}")

shown = re.compile(r"^\s*(text|title|titleText|placeholderText|tooltip|Accessible\.(name|description))\s*:|^\s*[?:+]\s")
for qml in sorted((source / "gui/qml").glob("*.qml")):
    for number, line in enumerate(qml.read_text().splitlines(), 1):
        if not shown.search(line) or "same in every language" in line:
            continue
        rest = re.sub(r"qs(Tr|Translate)\((\"[^\"]*\"\s*,?\s*)+|\\.", "", line)
        if re.search(r"\"[^\"]*[A-Za-z][^\"]*\"", rest):
            failures.append(f"{qml.name}:{number}: a text outside qsTr: {line.strip()}")

print("\n".join(failures) or "every text is translated")
sys.exit(1 if failures else 0)
