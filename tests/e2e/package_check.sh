# Opens a package with the support tool (dist/native/veltopkg). Shared by the
# end-to-end test and the demo.

VELTO_PKG_TOOL=${VELTO_PKG_TOOL:-$VELTO_ROOT/dist/native/veltopkg}

veltopkg_present() { [ -x "$VELTO_PKG_TOOL" ]; }

veltopkg_verify() {  # package
  timeout 120 "$VELTO_PKG_TOOL" verify "$1"
}

veltopkg_list() {  # package
  timeout 120 "$VELTO_PKG_TOOL" list "$1"
}

# The main report (GetInfoDir/Velto_Debug_Info.txt) as UTF-8 with LF line ends.
veltopkg_main_report() {  # package
  timeout 120 "$VELTO_PKG_TOOL" print "$1" | tr -d '\r'
}

# One text member as UTF-8 with LF line ends.
veltopkg_member() {  # package member-name
  timeout 120 "$VELTO_PKG_TOOL" print "$1" "$2" | tr -d '\r'
}

# Decrypts a package with OpenSSL alone (the DES key folded from the pass
# phrase, the trailing little-endian length) into a ZIP file: an oracle that
# shares no code with the program or veltopkg.
VELTO_DES_KEY=78E1CAD6C76C656F
openssl_unpack() {  # package output.zip
  local size body len
  size=$(stat -c %s "$1")
  [ "$size" -ge 4 ] && [ $(( (size - 4) % 8 )) -eq 0 ] || return 1
  body=$((size - 4))
  len=$(tail -c 4 "$1" | od -An -tu4 --endian=little | tr -d ' ')
  [ "$len" -le "$body" ] || return 1
  head -c "$body" "$1" |
    openssl enc -d -des-ecb -nopad -provider legacy -provider default -K "$VELTO_DES_KEY" |
    head -c "$len" > "$2"
}

openssl_unpack_and_test() {  # package output.zip
  openssl_unpack "$1" "$2" && timeout 60 unzip -tq "$2"
}
