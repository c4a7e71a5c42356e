#!/bin/sh
# Makes the binary sample files that the stand-in serves from files/: the
# product archives of the demo listings and the product images. Their output
# is kept in the repository; run this again after changing it, from any
# folder:  sh tests/data/Web/service/make-files.sh
#
# Every archive is a product archive as the installer reads it: "manifest.xml"
# at the root, listing an add-on bundle (type "dll") with its inner folders, a
# library file (type "library"), a library part placed through an explicit
# "location" below the host's folder, and an extra file (type "extra"): a file
# for each kind of folder the host has. The texts inside name the product,
# host version and language, so that a test can tell which archive was
# installed. Times are fixed, so the same script makes the same bytes. Needs
# zip and python3.
#
# StairMaker-17.zip is padded with an archive comment to exactly 4292 bytes:
# the stand-in's byte-range tests count on that size.
set -eu
FILES=$(cd "$(dirname "$0")" && pwd)/files
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sample-files-XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM
export TZ=UTC

# archive <name> <bundle> <host version> <language> [<zip file name>]
archive() {
    name=$1 bundle=$2 version=$3 language=$4
    zipname=${5:-$name-$version-$language.zip}
    dir="$WORK/$name-$version-$language"
    mkdir -p "$dir/$bundle.apx/Contents/MacOS" "$dir/$bundle.apx/Contents/Resources"
    cat >"$dir/manifest.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<manifest>
	<file type="dll"><name>$bundle.apx</name></file>
	<file type="library"><name>$bundle $version $language.lcf</name></file>
	<file type="library"><name>$bundle Part.gsm</name><location>Library Parts/$bundle</location></file>
	<file type="extra"><name>$bundle Read Me.txt</name></file>
</manifest>
XML
    printf '%s add-on for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle.apx/Contents/MacOS/$bundle"
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>CFBundleName</key><string>%s</string></dict></plist>\n' \
        "$bundle" >"$dir/$bundle.apx/Contents/Info.plist"
    printf '"title" = "%s";\n' "$bundle" >"$dir/$bundle.apx/Contents/Resources/Localizable.strings"
    printf '%s library for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle $version $language.lcf"
    printf '%s library part for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle Part.gsm"
    printf 'Read me: %s for ArchiCAD %s, %s\n' "$bundle" "$version" "$language" >"$dir/$bundle Read Me.txt"
    find "$dir" -exec touch -t 201506010000 {} +
    rm -f "$FILES/archives/$zipname"
    (cd "$dir" && zip -q -X -D "$FILES/archives/$zipname" manifest.xml \
        "$bundle.apx/Contents/Info.plist" "$bundle.apx/Contents/MacOS/$bundle" \
        "$bundle.apx/Contents/Resources/Localizable.strings" "$bundle $version $language.lcf" \
        "$bundle Part.gsm" "$bundle Read Me.txt")
}

# pad <zip file> <size>: an archive comment brings the file to size bytes. zip
# may add bytes of its own when it writes a comment, so the length is
# measured and the comment written again once.
pad() {
    length=$(($2 - $(wc -c <"$1")))
    head -c $length /dev/zero | tr '\0' '-' | zip -q -z "$1" >/dev/null
    length=$((length - $(wc -c <"$1") + $2))
    head -c $length /dev/zero | tr '\0' '-' | zip -q -z "$1" >/dev/null
    test "$(wc -c <"$1")" -eq "$2"
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
archive StairMaker StairMaker 17 INT StairMaker-17.zip
pad "$FILES/archives/StairMaker-17.zip" 4292

# The product pictures: 100 x 100 icons drawn by make-images.py.
python3 "$(dirname "$0")/make-images.py"
