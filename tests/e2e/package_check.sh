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
