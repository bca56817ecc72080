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

# The member name of the main report, as the tool's listing spells it.
veltopkg_report_member() {  # package
  veltopkg_list "$1" | tr -d '\r' | grep -E -o '[^ ]*GetInfoDir[/\\]Velto_Debug_Info\.txt$' | head -1
}

# The main report as UTF-8 text with LF line ends. The tool's "print" gives it
# as UTF-8; a raw member ("cat") is UTF-16LE with a BOM.
veltopkg_main_report() {  # package
  local member help
  help=$(timeout 20 "$VELTO_PKG_TOOL" --help 2>&1 || true)
  if grep -q '^ *print ' <<<"$help"; then
    timeout 120 "$VELTO_PKG_TOOL" print "$1"
  else
    member=$(veltopkg_report_member "$1") && [ -n "$member" ] || return 1
    timeout 120 "$VELTO_PKG_TOOL" cat "$1" "$member"
  fi | python3 -c '
import sys
data = sys.stdin.buffer.read()
for bom, codec in ((b"\xff\xfe", "utf-16-le"), (b"\xef\xbb\xbf", "utf-8")):
    if data.startswith(bom):
        data = data[len(bom):].decode(codec, "replace")
        break
else:
    data = data.decode("utf-8", "replace")
sys.stdout.write(data.replace("\r\n", "\n"))'
}
