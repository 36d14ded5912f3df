# Writes the files named in INPUTS into OUTPUT as C++ string constants, so the
# POSIX platform layer can read the resource script without finding it on disk.
set(body "// Generated from the resource script; do not edit.\n")
string(APPEND body "namespace posix {\nextern const char* const kEmbeddedResourceFiles[][2];\n")
string(APPEND body "const char* const kEmbeddedResourceFiles[][2] = {\n")
foreach(input IN LISTS INPUTS)
  file(READ ${input} text)
  get_filename_component(name ${input} NAME)
  string(APPEND body "  {\"${name}\", R\"__rc__(${text})__rc__\"},\n")
endforeach()
string(APPEND body "  {nullptr, nullptr}};\n}  // namespace posix\n")
file(WRITE ${OUTPUT} "${body}")
