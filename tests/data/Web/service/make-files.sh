#!/bin/sh
# Makes the binary sample files that the stand-in serves from files/: the
# product archives of the demo listings and the product images. Their output
# is kept in the repository; run this again after changing it, from any
# folder:  sh tests/data/Web/service/make-files.sh
#
# Every archive is a product archive as the installer reads it: "manifest.xml"
# at the root, listing an add-on bundle (type "dll") and a library part (type
# "library"), and those files. The texts inside name the product, host version
# and language, so that a test can tell which archive was installed. Times are
# fixed, so the same script makes the same bytes. Needs zip and base64.
set -eu
FILES=$(cd "$(dirname "$0")" && pwd)/files
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sample-files-XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
export TZ=UTC

# archive <name> <bundle> <host version> <language>
archive() {
    name=$1 bundle=$2 version=$3 language=$4
    dir="$WORK/$name-$version-$language"
    mkdir -p "$dir/$bundle.apx/Contents/MacOS"
    cat >"$dir/manifest.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<manifest>
	<file type="dll"><name>$bundle.apx</name></file>
	<file type="library"><name>$bundle $version $language.lcf</name></file>
</manifest>
XML
    printf '%s add-on for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle.apx/Contents/MacOS/$bundle"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>CFBundleName</key><string>%s</string></dict></plist>\n' \
        "$bundle" >"$dir/$bundle.apx/Contents/Info.plist"
    printf '%s library for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle $version $language.lcf"
    find "$dir" -exec touch -t 201506010000 {} +
    rm -f "$FILES/archives/$name-$version-$language.zip"
    (cd "$dir" && zip -q -X -D "$FILES/archives/$name-$version-$language.zip" manifest.xml \
        "$bundle.apx/Contents/Info.plist" "$bundle.apx/Contents/MacOS/$bundle" "$bundle $version $language.lcf")
}

mkdir -p "$FILES/archives" "$FILES/images"
for version in 18 19; do
    for language in INT GER; do
        archive StairMaker StairMaker $version $language
        archive DoorMaker DoorMaker $version $language
        archive RoofMaker RoofMaker $version $language
    done
done
archive FacadeMaker FacadeMaker 19 INT

# One-pixel PNG images, one colour per product.
echo iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR42mPojtIGAAKEARGtHjFHAAAAAElFTkSuQmCC | base64 -d >"$FILES/images/doormaker.png"
echo iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR42mPYYKAAAAKUAQG5SlfNAAAAAElFTkSuQmCC | base64 -d >"$FILES/images/roofmaker.png"
echo iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR42mNwKFgAAAJEAVGtPb4bAAAAAElFTkSuQmCC | base64 -d >"$FILES/images/facademaker.png"
