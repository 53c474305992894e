# Writes the user guide that the Help menu shows: the README's sections for users, in the order
# below, each with its subsections but those left out. It starts with using Umbrata, and it leaves
# out what only a build from source needs, which the README keeps under "### From source".
# A section that the README lost stops the build rather than leaving a hole in the guide.
# On Windows the guide is Windows's own: its install and troubleshooting, never apt and udev.
# cmake -DREADME=README.md -DGUIDE=user_guide.md [-DPLATFORM=windows] -P user_guide.cmake
if(PLATFORM STREQUAL "windows")
  set(sections "Using Umbrata with your key" "Umbrata on Windows" "umbrata-cli" "The log")
  set(left_out "From source" "Troubleshooting")
else()
  set(sections "Using Umbrata with your key" "Install" "umbrata-cli" "The log")
  set(left_out "From source")
endif()

file(READ "${README}" readme)
set(guide "")
foreach(title IN LISTS sections)
  string(FIND "${readme}" "\n## ${title}\n" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${README} has no section \"## ${title}\" for the user guide")
  endif()
  math(EXPR start "${start} + 1")
  string(SUBSTRING "${readme}" ${start} -1 section)
  string(FIND "${section}" "\n## " end)
  string(SUBSTRING "${section}" 0 ${end} section)
  # A subsection ends where the next one starts, or with its section.
  foreach(subsection IN LISTS left_out)
    string(FIND "${section}" "\n### ${subsection}\n" cut)
    if(NOT cut EQUAL -1)
      string(SUBSTRING "${section}" 0 ${cut} kept)
      math(EXPR after "${cut} + 1")
      string(SUBSTRING "${section}" ${after} -1 rest)
      string(FIND "${rest}" "\n### " next)
      if(next EQUAL -1)
        set(section "${kept}")
      else()
        string(SUBSTRING "${rest}" ${next} -1 rest)
        set(section "${kept}${rest}")
      endif()
    endif()
  endforeach()
  string(APPEND guide "${section}\n")
endforeach()
# The README's screenshots are not compiled in.
string(REGEX REPLACE "\n!\\[[^\n]*\\)\n" "\n" guide "${guide}")
file(WRITE "${GUIDE}" "${guide}")
