# The winget manifests (schema 1.6.0) for a built, signed setup. Run as a script:
#   cmake -DSETUP=<setup exe> -DOUT_DIR=<dir> -DVERSION=<display version> -DURL=<https download>
#         -DHOMEPAGE_HOST=<host> -DYEAR=<year> -P cmake/winget.cmake
# The hash is taken here, from the file that ships, so run it after signing: signing changes it.
cmake_minimum_required(VERSION 3.20)

foreach(input SETUP OUT_DIR VERSION URL HOMEPAGE_HOST YEAR)
  if("${${input}}" STREQUAL "")
    message(FATAL_ERROR "winget.cmake: ${input} is not set")
  endif()
endforeach()
if(NOT EXISTS "${SETUP}" OR IS_DIRECTORY "${SETUP}")
  message(FATAL_ERROR "winget.cmake: no setup at ${SETUP}")
endif()
# winget refuses an installer that is not downloaded over https.
if(NOT URL MATCHES "^https://[^ ]+$")
  message(FATAL_ERROR "winget.cmake: URL must be an https address: ${URL}")
endif()

set(id Vantorel.Quorvane)
set(manifest_version 1.6.0)
file(SHA256 "${SETUP}" sha)
string(TOUPPER "${sha}" sha)

# Single-quoted YAML: nothing inside is special but the quote itself, so the colon, semicolon
# and © of the texts stay literal.
function(yaml out value)
  string(REPLACE "'" "''" value "${value}")
  set(${out} "'${value}'" PARENT_SCOPE)
endfunction()

foreach(name id VERSION URL sha)
  yaml(q_${name} "${${name}}")
endforeach()
yaml(q_publisher_url "https://${HOMEPAGE_HOST}/")
yaml(q_package_url "https://${HOMEPAGE_HOST}/quorvane")
yaml(q_copyright "© ${YEAR} Vantorel")
yaml(q_short "A small Windows tray utility that keeps physical memory free.")
yaml(q_description "Quorvane by Vantorel is a small Windows tray utility that keeps physical memory free. \
Once a second it measures physical memory, commit and file-cache use and shows them in its window; \
when a threshold or an interval is reached, or when you ask, it has Windows trim the file cache, \
empty the working sets, purge the standby lists, flush modified pages and combine identical pages.")

function(header out type)
  set(${out} "# yaml-language-server: $schema=https://aka.ms/winget-manifest.${type}.${manifest_version}.schema.json\n\n"
      PARENT_SCOPE)
endfunction()

header(version_text version)
string(APPEND version_text "\
PackageIdentifier: ${q_id}
PackageVersion: ${q_VERSION}
DefaultLocale: 'en-US'
ManifestType: 'version'
ManifestVersion: '${manifest_version}'
")

# The setup's exit codes, as it sets them; winget words its message from these.
header(installer_text installer)
string(APPEND installer_text "\
PackageIdentifier: ${q_id}
PackageVersion: ${q_VERSION}
InstallerType: 'nullsoft'
Scope: 'machine'
InstallModes:
  - 'interactive'
  - 'silent'
  - 'silentWithProgress'
InstallerSwitches:
  Silent: '/S'
  SilentWithProgress: '/S'
  InstallLocation: '/D=<INSTALLPATH>'
ExpectedReturnCodes:
  - InstallerReturnCode: 1
    ReturnResponse: 'cancelledByUser'
  - InstallerReturnCode: 2
    ReturnResponse: 'contactSupport'
  - InstallerReturnCode: 3
    ReturnResponse: 'installInProgress'
  - InstallerReturnCode: 4
    ReturnResponse: 'downgrade'
  - InstallerReturnCode: 5
    ReturnResponse: 'invalidParameter'
UpgradeBehavior: 'install'
AppsAndFeaturesEntries:
  - DisplayName: 'Quorvane'
    Publisher: 'Vantorel'
    DisplayVersion: ${q_VERSION}
    ProductCode: 'Quorvane'
ElevationRequirement: 'elevatesSelf'
Installers:
  - Architecture: 'x86'
    InstallerUrl: ${q_URL}
    InstallerSha256: ${q_sha}
ManifestType: 'installer'
ManifestVersion: '${manifest_version}'
")

header(locale_text defaultLocale)
string(APPEND locale_text "\
PackageIdentifier: ${q_id}
PackageVersion: ${q_VERSION}
PackageLocale: 'en-US'
Publisher: 'Vantorel'
PublisherUrl: ${q_publisher_url}
PackageName: 'Quorvane'
PackageUrl: ${q_package_url}
License: 'Freeware'
Copyright: ${q_copyright}
ShortDescription: ${q_short}
Description: ${q_description}
Moniker: 'quorvane'
Tags:
  - 'memory'
  - 'ram'
  - 'standby-list'
  - 'tray'
  - 'cache'
ManifestType: 'defaultLocale'
ManifestVersion: '${manifest_version}'
")

# A manifest left from another version would be submitted with these.
file(MAKE_DIRECTORY "${OUT_DIR}")
file(GLOB stale "${OUT_DIR}/*.yaml")
if(stale)
  file(REMOVE ${stale})
endif()
file(WRITE "${OUT_DIR}/${id}.yaml" "${version_text}")
file(WRITE "${OUT_DIR}/${id}.installer.yaml" "${installer_text}")
file(WRITE "${OUT_DIR}/${id}.locale.en-US.yaml" "${locale_text}")
message(STATUS "winget manifests for ${id} ${VERSION} in ${OUT_DIR} (SHA-256 ${sha})")
