#!/usr/bin/env bash
# Makes the control's packages from built files: the Windows Installer
# packages (wixl, from orvanta.wxs) and the CAB for web pages (gcab, with an
# INF that Internet Explorer follows). The build calls it for the packages
# of each tree; scripts/release.sh calls it again on signed copies.
#
#   package.sh msi x86 <version> <out.msi> <bin32>
#   package.sh msi x64 <version> <out.msi> <bin32> <bin64>
#   package.sh cab <version> <out.cab> <bin32>
#
# <binNN> is a folder holding ORVANTA.OCX and orvanta-survey.exe of that
# bitness; <version> is the project's three-part version.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

# The module's identifiers, from the IDL where they are written once: the
# uuid(...) of the attribute block just before each declaration.
idl_uuid() {
  tr '\n' ' ' <"$root/control/resources/orvanta.idl" |
    grep -oE "uuid\(([0-9A-Fa-f-]{36})\)[^]]*\][[:space:]]*$1[[:space:]{]" |
    sed -E 's/^uuid\(([^)]*)\).*/\1/'
}
ids() {
  local id name
  for name in ControlClsid:'coclass Orvanta' PropPageClsid:'coclass OrvantaPropPage' \
    LibId:'library ORVANTALib' DispatchIid:'dispinterface _DOrvanta' EventsIid:'dispinterface _DOrvantaEvents'; do
    id=$(idl_uuid "${name#*:}")
    [[ $id =~ ^[0-9A-Fa-f-]{36}$ ]] || { echo "package: no single uuid for ${name#*:} in orvanta.idl" >&2; exit 1; }
    printf '%s\n' "-D" "${name%%:*}=${id^^}"
  done
}

command=${1:?usage: package.sh msi|cab ...}
shift
case $command in
  msi)
    arch=$1 version=$2 out=$3 bin32=$4 bin64=${5:-}
    # wixl takes each file from a path relative to where it runs: the folders
    # of this package are linked into one place, as 32/, 64/ and docs/.
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' EXIT
    ln -s "$(cd "$bin32" && pwd)" "$stage/32"
    [[ $arch == x86 ]] || ln -s "$(cd "${bin64:?the x64 package needs the 64-bit files}" && pwd)" "$stage/64"
    ln -s "$root/docs" "$stage/docs"
    ln -s "$here" "$stage/installer"
    mapfile -t id_args < <(ids)
    out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
    (cd "$stage" && wixl -a "$arch" -D "Arch=$arch" -D "Version=$version" "${id_args[@]}" \
      -I "$here" -o "$out" "$here/orvanta.wxs")
    # The type library's help string, which RegisterTypeLib records as the
    # library's name: the library stores it in code page 932 (as the IDL's
    # build converts it), and RegisterTypeLib reads those bytes in the code
    # page of the library's locale, 0x409 (Windows-1252). wixl writes strings
    # in code page 0, which holds no such text, so the package is set to
    # code page 1252 and gets the string afterwards.
    help=$(tr '\n' ' ' <"$root/control/resources/orvanta.idl" |
      grep -oE 'helpstring\("[^"]*"\)[^]]*\][[:space:]]*library ORVANTALib' |
      sed -E 's/^helpstring\("([^"]*)"\).*/\1/' | iconv -f UTF-8 -t CP932 | iconv -f CP1252 -t UTF-8)
    [[ -n $help && $help != *"'"* ]] || { echo "package: no usable library help string in orvanta.idl" >&2; exit 1; }
    printf '\r\n\r\n1252\t_ForceCodepage\r\n' >"$stage/_ForceCodepage.idt"
    msibuild "$out" -i "$stage/_ForceCodepage.idt"
    msibuild "$out" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('TypeLibHelpString', '$help')"
    # The programs are versioned files: wixl leaves the File table's Version
    # and Language empty and hashes them as if they were not, and Windows
    # Installer would then let any versioned copy already on disk win over
    # them. Both come from each file's own version resource, and a versioned
    # file has no hash row.
    programs=(Ocx32:32/ORVANTA.OCX SurveyExe32:32/orvanta-survey.exe)
    [[ $arch == x86 ]] || programs+=(Ocx64:64/ORVANTA.OCX SurveyExe64:64/orvanta-survey.exe)
    for program in "${programs[@]}"; do
      read -r file_version language < <("$here/file_version.py" "$stage/${program#*:}") ||
        { echo "package: ${program#*:} has no version resource" >&2; exit 1; }
      msibuild "$out" -q "UPDATE \`File\` SET \`Version\` = '$file_version', \`Language\` = '$language' WHERE \`File\` = '${program%%:*}'"
      msibuild "$out" -q "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '${program%%:*}'"
    done
    # Another build of the same version replaces this one too (what WiX calls
    # AllowSameVersionUpgrades, which wixl lacks): the upgrade row's maximum,
    # this version, becomes inclusive (msidbUpgradeAttributesVersionMaxInclusive,
    # 512, beside wixl's MigrateFeatures, 1). Attributes is part of the row's
    # key, so the row is written anew.
    upgrade_code=$(msiinfo export "$out" Property | sed -nE 's/^UpgradeCode\t(\{[0-9A-F-]{36}\})\r?$/\1/p')
    [[ -n $upgrade_code ]] || { echo "package: no UpgradeCode in $out" >&2; exit 1; }
    msibuild "$out" -q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
    msibuild "$out" -q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')"
    ;;
  cab)
    version=$1 out=$2 bin32=$3
    stage=$(mktemp -d)
    trap 'rm -rf "$stage"' EXIT
    clsid=$(idl_uuid 'coclass Orvanta')
    cp "$bin32/ORVANTA.OCX" "$stage/"
    # Internet Explorer reads [Add.Code]: it compares FileVersion with the
    # registered control's and, when older or missing, installs the file
    # from this CAB and lets it register itself.
    cat >"$stage/ORVANTA.INF" <<INF
; Installs the Pelmora Control for a web page that names ORVANTA.CAB in the
; codebase of its <object> element.
[version]
signature="\$CHICAGO\$"
AdvancedINF=2.0

[Add.Code]
ORVANTA.OCX=ORVANTA.OCX

[ORVANTA.OCX]
file-win32-x86=thiscab
clsid={${clsid^^}}
FileVersion=${version//./,},0
RegisterServer=yes
INF
    sed -i 's/$/\r/' "$stage/ORVANTA.INF"
    rm -f "$out"
    gcab --create --nopath --zip "$out" "$stage/ORVANTA.OCX" "$stage/ORVANTA.INF"
    ;;
  *)
    echo "package: unknown command $command" >&2
    exit 2
    ;;
esac
