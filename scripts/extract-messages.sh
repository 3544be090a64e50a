#!/usr/bin/env bash
# Extracts every translatable text from the sources into message templates:
# OUTDIR/pathlark/pathlark.pot (the application, English ids) and
# OUTDIR/framewerk/framewerk.pot (the toolkit, German ids). `make pot` writes
# them into po/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: extract-messages.sh OUTDIR}
mkdir -p "$out/pathlark" "$out/framewerk"
out=$(cd "$out" && pwd)
cd "$root"

export LC_ALL=C.UTF-8
common=(--language=C++ --from-code=UTF-8 --sort-output --add-location=file --no-wrap
        --package-name=Pathlark --package-version=0.0.0
        --copyright-holder="Pathlark developers" --msgid-bugs-address="Pathlark developers"
        --keyword=)

# Application texts pass through tr(); N_() marks texts that are translated
# where they are shown. Some helpers of the main window and the info panel
# take untranslated texts and translate them inside, so those arguments count
# too. (xgettext counts the commas inside a braced list as argument
# separators, so calls with lists mark their texts with N_ instead.)
app_keywords=(
  --keyword=tr --keyword=N_
  --keyword=setTooltip:2 --keyword=button:7 --keyword=iconButton:8
  --keyword=angleField:4 --keyword=checkBox:4 --keyword=add:3
)
xgettext "${common[@]}" "${app_keywords[@]}" -o "$out/pathlark/pathlark.pot" \
  app/*.cpp app/*.h i18n/*.h track/*.cpp track/*.h map/*.cpp map/*.h view/*.cpp view/*.h

# The toolkit's texts pass through guiText().
xgettext "${common[@]}" --keyword=guiText -o "$out/framewerk/framewerk.pot" gui/*.cpp gui/*.h

# The creation date would make every run a change.
sed -i '/^"POT-Creation-Date: /d' "$out/pathlark/pathlark.pot" "$out/framewerk/framewerk.pot"
